// The idle statements of a handle, least recently used finalized first.
#include "store/sqlite/statement_cache.h"
#include "store/sqlite/store_error.h"

#include "base/error.h"
#include "base/errors_ours.h"

namespace kestrel::store::sqlite {
namespace {

// Idle prepared statements kept per connection.
constexpr size_t kCacheSize = 128;

}  // namespace

StatementCache::StatementCache(sqlite3* db, std::function<void(sqlite3_stmt*)> forget)
    : db_(db), forget_(std::move(forget)) {}

StatementCache::~StatementCache() { Clear(); }

void StatementCache::Clear() noexcept {
  index_.clear();
  for (auto& e : idle_) Finalize(e.stmt);
  idle_.clear();
}

void StatementCache::Finalize(sqlite3_stmt* stmt) noexcept {
  forget_(stmt);
  sqlite3_finalize(stmt);
}

sqlite3_stmt* StatementCache::Acquire(std::string_view statement, bool* has_tail) {
  auto it = index_.find(statement);
  if (it != index_.end()) {
    auto pos = it->second;
    sqlite3_stmt* s = pos->stmt;
    index_.erase(it);
    idle_.erase(pos);
    if (has_tail) *has_tail = false;
    return s;
  }
  sqlite3_stmt* s = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(db_, statement.data(), static_cast<int>(statement.size()), &s, &tail);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(s);
    throw StoreError(db_);
  }
  if (s == nullptr) Raise(Ours::StatementNotSingle, "The statement is empty");
  bool tail_left = false;
  for (const char* p = tail; p && p < statement.data() + statement.size(); ++p)
    if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n' && *p != ';') tail_left = true;
  if (has_tail) *has_tail = tail_left;
  return s;
}

void StatementCache::Release(std::string_view statement, sqlite3_stmt* stmt) noexcept {
  if (stmt == nullptr) return;
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  try {
    idle_.push_front({std::string(statement), stmt});
    auto pos = idle_.begin();
    index_.emplace(std::string_view(pos->text), pos);
    while (idle_.size() > kCacheSize) {
      auto last = std::prev(idle_.end());
      auto range = index_.equal_range(std::string_view(last->text));
      for (auto r = range.first; r != range.second; ++r)
        if (r->second == last) {
          index_.erase(r);
          break;
        }
      Finalize(last->stmt);
      idle_.erase(last);
    }
  } catch (...) {
    Finalize(stmt);
  }
}

}  // namespace kestrel::store::sqlite
