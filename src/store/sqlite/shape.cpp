// The result columns of SQLite statements, and column kinds by declared type.
#include "store/sqlite/shape.h"

#include <string_view>

#include "base/text.h"

namespace kestrel::store::sqlite {

// Column affinity from a declared type, as SQLite decides it.
bool DeclaredText(const char* decl) {
  if (decl == nullptr) return false;
  std::string_view d(decl);
  if (text::ContainsNoCase(d, "INT")) return false;
  return text::ContainsNoCase(d, "CHAR") || text::ContainsNoCase(d, "CLOB") || text::ContainsNoCase(d, "TEXT");
}

bool DeclaredBlob(const char* decl) { return decl != nullptr && text::EqualNoCase(decl, "BLOB"); }

std::shared_ptr<const ResultColumns> Shapes::ColumnsOf(sqlite3_stmt* s) {
  auto& seen = columns_[s];
  const int reprepares = sqlite3_stmt_status(s, SQLITE_STMTSTATUS_REPREPARE, 0);
  if (!seen.columns || seen.reprepares != reprepares) {
    auto columns = std::make_shared<ResultColumns>();
    const int n = sqlite3_column_count(s);
    columns->names.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      const char* name = sqlite3_column_name(s, i);
      columns->names.emplace_back(name ? name : "");
    }
    seen.columns = std::move(columns);
    seen.reprepares = reprepares;
  }
  return seen.columns;
}

}  // namespace kestrel::store::sqlite
