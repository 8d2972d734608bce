// What SQLite says about the statements a connection reads: the names of
// their result columns, worked out once per compiled statement (a statement
// run for every object or row is not examined again each time), and the
// kinds of a column by its declared type.
//
// Callers guarantee: a Shapes lives as long as the handle it was made for and
// is told (Forget) of every statement finalized.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrel::store::sqlite {

// Whether a column declared `decl` (null: none) has text affinity, and
// whether it is declared BLOB.
bool DeclaredText(const char* decl);
bool DeclaredBlob(const char* decl);

// The names of the columns a select returns.
struct ResultColumns {
  std::vector<std::string> names;
};

class Shapes {
 public:
  Shapes() = default;
  Shapes(const Shapes&) = delete;
  Shapes& operator=(const Shapes&) = delete;

  // The result columns of a compiled statement that has been stepped once
  // (SQLite tells the columns of a statement compiled again for a changed
  // schema only then).
  std::shared_ptr<const ResultColumns> ColumnsOf(sqlite3_stmt* stmt);
  void Forget(sqlite3_stmt* stmt) noexcept { columns_.erase(stmt); }

 private:
  struct KnownColumns {
    std::shared_ptr<const ResultColumns> columns;
    int reprepares = 0;
  };
  std::unordered_map<sqlite3_stmt*, KnownColumns> columns_;
};

}  // namespace kestrel::store::sqlite
