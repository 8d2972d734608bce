// What SQLite says about the selects a connection reads: the table their
// rows come from (so that a recordset can add and change rows there) and the
// names and kinds of their result columns. Worked out once per select text
// and once per compiled statement: a statement run for every object or row is
// not examined again each time.
//
// Callers guarantee: a Shapes lives as long as the handle it was made for and
// is told (Forget) of every statement finalized.
#pragma once

#include <sqlite3.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestrel::store::sqlite {

// The columns a select returns: names, and which are declared BLOB or have
// text affinity (for rows that are added or changed).
struct ResultColumns {
  std::vector<std::string> names;
  std::vector<bool> binary;
  std::vector<bool> textual;
};

// The one table whose rows a select returns (empty when none or several) and
// whether there were several. A "select * from T ..." also fetches the rowid,
// unseen, so that a found row can be changed in place: `with_rowid` is that
// text ("" for other selects). `rowid_refused` is learnt later: the table has
// no rowid to fetch.
struct SelectShape {
  std::string table;
  bool several = false;
  std::string with_rowid;
  bool rowid_refused = false;
};

class Shapes {
 public:
  // Watches what the handle's statements read from now on.
  explicit Shapes(sqlite3* db);
  Shapes(const Shapes&) = delete;
  Shapes& operator=(const Shapes&) = delete;

  // The shape of a select text; compiling it fails with SQLite's error (and
  // nothing is remembered, so the text is examined again next time).
  SelectShape& Of(std::string_view statement);
  // The result columns of a compiled statement that has been stepped once
  // (SQLite tells the columns of a statement compiled again for a changed
  // schema only then); the last `hidden` columns are left out.
  std::shared_ptr<const ResultColumns> ColumnsOf(sqlite3_stmt* stmt, int hidden);
  void Forget(sqlite3_stmt* stmt) noexcept { columns_.erase(stmt); }

 private:
  struct Probe;
  static int Authorize(void* self, int action, const char* table, const char* column, const char*, const char*);
  SelectShape Read(std::string_view statement);

  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
  };
  struct KnownColumns {
    std::shared_ptr<const ResultColumns> columns;
    int reprepares = 0;
  };
  sqlite3* db_;
  Probe* probe_ = nullptr;  // set only while a select is being examined
  std::unordered_map<std::string, SelectShape, TextHash, std::equal_to<>> selects_;
  std::unordered_map<sqlite3_stmt*, KnownColumns> columns_;
};

}  // namespace kestrel::store::sqlite
