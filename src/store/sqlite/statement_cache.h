// Idle prepared statements of one SQLite handle, found again by their text:
// a statement run once per object or row is compiled once.
//
// Callers guarantee: a statement handed out by Acquire comes back through
// Release or Finalize exactly once; Clear runs before the handle is closed.
#pragma once

#include <sqlite3.h>

#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kestrel::store::sqlite {

class StatementCache {
 public:
  // `forget` is told of every statement finalized, before it goes.
  StatementCache(sqlite3* db, std::function<void(sqlite3_stmt*)> forget);
  ~StatementCache();
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  // An idle statement of that text, or one compiled now. `has_tail` tells
  // whether the text goes on after its first statement (only for a statement
  // compiled now: a cached one never has). An empty text raises
  // Ours::StatementNotSingle; a text SQLite refuses, its error.
  sqlite3_stmt* Acquire(std::string_view statement, bool* has_tail);
  // Resets the statement and keeps it idle; the least recently used idle
  // statements beyond the cache's size are finalized.
  void Release(std::string_view statement, sqlite3_stmt* stmt) noexcept;
  void Finalize(sqlite3_stmt* stmt) noexcept;
  // Finalizes every idle statement.
  void Clear() noexcept;

 private:
  struct Idle {
    std::string text;
    sqlite3_stmt* stmt;
  };
  sqlite3* db_;
  std::function<void(sqlite3_stmt*)> forget_;
  std::list<Idle> idle_;  // most recently released first
  std::unordered_multimap<std::string_view, std::list<Idle>::iterator> index_;
};

}  // namespace kestrel::store::sqlite
