// Connection, prepared-statement cache, batches and the forward recordset
// over SQLite's C API.
#include "store/connection.h"

#include <sqlite3.h>

#include <charconv>
#include <list>
#include <optional>
#include <unordered_map>

#include "component/error.h"
#include "component/errors_ours.h"
#include "component/files.h"
#include "component/text.h"
#include "store/statements_store.h"

namespace Kestrel20ImpExp::store {
namespace {

using text::EqualNoCase;

// A second process (the bulk loader, another import) waits this long for the
// store instead of failing at once.
constexpr int kBusyTimeoutMs = 60000;
// Idle prepared statements kept per connection.
constexpr size_t kCacheSize = 128;
// Select texts whose shape is remembered (all are forgotten when it is full).
constexpr size_t kShapeCacheSize = 512;

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// The tokens of a select that tell which table it reads: words, quoted texts
// and single punctuation characters, each with its bracket depth.
struct Token {
  std::string_view text;
  size_t pos;
  int depth;
  bool word;
};

std::vector<Token> Tokenize(std::string_view s) {
  std::vector<Token> out;
  int depth = 0;
  size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
    } else if (c == '\'' || c == '"' || c == '[' || c == '`') {
      char close = c == '[' ? ']' : c;
      size_t j = i + 1;
      while (j < s.size()) {
        if (s[j] == close) {
          if (close != ']' && j + 1 < s.size() && s[j + 1] == close) {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      size_t end = j < s.size() ? j + 1 : j;
      // A quoted name counts as a word (without its quotes); a text does not.
      if (c == '\'')
        out.push_back({s.substr(i, end - i), i, depth, false});
      else
        out.push_back({s.substr(i + 1, (j > i + 1 ? j - i - 1 : 0)), i, depth, true});
      i = end;
    } else if (IsWordChar(c)) {
      size_t j = i;
      while (j < s.size() && IsWordChar(s[j])) ++j;
      out.push_back({s.substr(i, j - i), i, depth, true});
      i = j;
    } else {
      if (c == ')') --depth;
      out.push_back({s.substr(i, 1), i, depth, false});
      if (c == '(') ++depth;
      ++i;
    }
  }
  return out;
}

// What a select reads: its one table (empty when none or several), whether it
// names several, and where its "*" stands when it is "select * from ...".
// A "select * from T ..." also fetches the rowid, unseen, so that a found row
// can be changed in place: `with_rowid` is that text ("" for other selects).
// `rowid_refused` is learnt later: the table has no rowid to fetch.
struct SelectShape {
  std::string table;
  bool several = false;
  std::optional<size_t> star;
  std::string with_rowid;
  bool rowid_refused = false;
};

SelectShape ShapeOf(std::string_view statement) {
  SelectShape shape;
  std::vector<Token> t = Tokenize(statement);
  if (t.empty() || !t[0].word || !EqualNoCase(t[0].text, "select")) return shape;
  if (t.size() > 2 && t[1].text == "*" && t[2].word && EqualNoCase(t[2].text, "from")) shape.star = t[1].pos;
  for (size_t i = 1; i < t.size(); ++i) {
    if (t[i].depth != 0 || !t[i].word || !EqualNoCase(t[i].text, "from")) continue;
    if (i + 1 >= t.size() || !t[i + 1].word) {
      shape.several = true;  // a sub-select or nothing: no one table
      return shape;
    }
    shape.table = std::string(t[i + 1].text);
    for (size_t k = i + 2; k < t.size(); ++k) {
      if (t[k].depth != 0) continue;
      if (t[k].text == ",") shape.several = true;
      if (t[k].word && (EqualNoCase(t[k].text, "join") || EqualNoCase(t[k].text, "union") ||
                        EqualNoCase(t[k].text, "intersect") || EqualNoCase(t[k].text, "except")))
        shape.several = true;
    }
    if (shape.several) shape.table.clear();
    if (shape.star && !shape.table.empty()) {
      shape.with_rowid = statement.substr(0, *shape.star + 1);
      shape.with_rowid += ",rowid";
      shape.with_rowid.append(statement.substr(*shape.star + 1));
    }
    return shape;
  }
  return shape;
}

// Column affinity from a declared type, as SQLite decides it.
bool DeclaredText(const char* decl) {
  if (decl == nullptr) return false;
  std::string_view d(decl);
  if (text::ContainsNoCase(d, "INT")) return false;
  return text::ContainsNoCase(d, "CHAR") || text::ContainsNoCase(d, "CLOB") || text::ContainsNoCase(d, "TEXT");
}

bool DeclaredBlob(const char* decl) { return decl != nullptr && EqualNoCase(decl, "BLOB"); }

// Heterogeneous look-up of statement texts.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

void AppendInteger(std::string& out, int64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

}  // namespace

// The columns a select returns: names, and which are declared BLOB or have
// text affinity (for rows that are added or changed).
struct ResultColumns {
  std::vector<std::string> names;
  std::vector<bool> binary;
  std::vector<bool> textual;
};

// ---------------------------------------------------------------------------
// Connection

struct Connection::Impl {
  struct Idle {
    std::string text;
    sqlite3_stmt* stmt;
  };
  std::list<Idle> idle;  // most recently released first
  std::unordered_multimap<std::string_view, std::list<Idle>::iterator> index;
  enum class BatchKind { Transaction, Savepoint };
  std::vector<BatchKind> batches;
  // What each select text reads, worked out once per text: a statement run
  // for every object or row is not taken apart again each time.
  std::unordered_map<std::string, SelectShape, TextHash, std::equal_to<>> shapes;
  // The result columns of each prepared statement that a recordset read,
  // until the statement is finalized; `reprepares` tells a statement that
  // SQLite compiled again after a schema change.
  struct KnownColumns {
    std::shared_ptr<const ResultColumns> columns;
    int reprepares = 0;
  };
  std::unordered_map<sqlite3_stmt*, KnownColumns> columns;

  void Finalize(sqlite3_stmt* stmt) noexcept {
    columns.erase(stmt);
    sqlite3_finalize(stmt);
  }
};

Connection::Connection(sqlite3* db, std::string path)
    : db_(db), path_(std::move(path)), impl_(std::make_unique<Impl>()) {}

Connection::~Connection() {
  for (auto& e : impl_->idle) sqlite3_finalize(e.stmt);
  impl_->index.clear();
  impl_->idle.clear();
  sqlite3_close_v2(db_);
}

namespace {

// SQLite counts the memory it holds under a lock on every allocation; the
// component never asks for those counts. Set once, before SQLite starts (once
// started, SQLite refuses the setting and nothing changes).
void ConfigureSqliteOnce() {
  static const bool configured = [] {
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    return true;
  }();
  (void)configured;
}

sqlite3* OpenHandle(const std::string& path, int flags) {
  ConfigureSqliteOnce();
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    int code = db ? sqlite3_extended_errcode(db) : rc;
    std::string text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    throw ComError(code, text + ": " + path);
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  return db;
}

}  // namespace

std::shared_ptr<Connection> Connection::Open(const std::string& path) {
  // The store's own message names the path: a missing store is a setup fault.
  if (!files::FileExists(path))
    throw ComError(rt::FileNotFound, std::string(RuntimeErrorText(rt::FileNotFound)) + ": " + path);
  sqlite3* db = OpenHandle(path, SQLITE_OPEN_READWRITE);
  std::shared_ptr<Connection> c(new Connection(db, path));
  try {
    // Reading the schema proves that the file is a store.
    c->Execute("pragma schema_version");
  } catch (const ComError& e) {
    throw ComError(e.number(), e.description() + ": " + path);
  }
  c->Execute("pragma synchronous=NORMAL");
  return c;
}

std::shared_ptr<Connection> Connection::Create(const std::string& path) {
  if (files::FileExists(path) || files::FolderExists(path))
    throw ComError(rt::FileAlreadyExists, std::string(RuntimeErrorText(rt::FileAlreadyExists)) + ": " + path);
  sqlite3* db = OpenHandle(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  std::shared_ptr<Connection> c(new Connection(db, path));
  c->Execute("pragma journal_mode=WAL");
  c->Execute("pragma synchronous=NORMAL");
  return c;
}

void Connection::RaiseLast() const {
  throw ComError(sqlite3_extended_errcode(db_), sqlite3_errmsg(db_));
}

sqlite3_stmt* Connection::Acquire(std::string_view statement, bool* has_tail) {
  auto it = impl_->index.find(statement);
  if (it != impl_->index.end()) {
    auto pos = it->second;
    sqlite3_stmt* s = pos->stmt;
    impl_->index.erase(it);
    impl_->idle.erase(pos);
    if (has_tail) *has_tail = false;
    return s;
  }
  sqlite3_stmt* s = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(db_, statement.data(), static_cast<int>(statement.size()), &s, &tail);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(s);
    RaiseLast();
  }
  if (s == nullptr) Raise(Ours::StatementNotSingle, "The statement is empty");
  bool tail_left = false;
  for (const char* p = tail; p && p < statement.data() + statement.size(); ++p)
    if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n' && *p != ';') tail_left = true;
  if (has_tail) *has_tail = tail_left;
  return s;
}

void Connection::Release(std::string_view statement, sqlite3_stmt* stmt) noexcept {
  if (stmt == nullptr) return;
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  try {
    impl_->idle.push_front({std::string(statement), stmt});
    auto pos = impl_->idle.begin();
    impl_->index.emplace(std::string_view(pos->text), pos);
    while (impl_->idle.size() > kCacheSize) {
      auto last = std::prev(impl_->idle.end());
      auto range = impl_->index.equal_range(std::string_view(last->text));
      for (auto r = range.first; r != range.second; ++r)
        if (r->second == last) {
          impl_->index.erase(r);
          break;
        }
      impl_->Finalize(last->stmt);
      impl_->idle.erase(last);
    }
  } catch (...) {
    impl_->Finalize(stmt);
  }
}

Statement Connection::Prepare(std::string_view statement) {
  bool tail = false;
  sqlite3_stmt* s = Acquire(statement, &tail);
  if (tail) {
    impl_->Finalize(s);
    Raise(Ours::StatementNotSingle);
  }
  return Statement(*this, std::string(statement), s);
}

int64_t Connection::Execute(std::string_view statement) {
  Statement s = Prepare(statement);
  return s.Run();
}

void Connection::ExecuteScript(const std::string& statements) {
  char* err = nullptr;
  if (sqlite3_exec(db_, statements.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::string text = err ? err : sqlite3_errmsg(db_);
    sqlite3_free(err);
    throw ComError(sqlite3_extended_errcode(db_), text);
  }
}

std::unique_ptr<Recordset> Connection::OpenRecordset(std::string_view statement, CursorType, LockType) {
  return std::unique_ptr<Recordset>(new Recordset(*this, statement, {}));
}

std::unique_ptr<Recordset> Connection::OpenRecordset(const Query& query, CursorType, LockType) {
  return std::unique_ptr<Recordset>(new Recordset(*this, query.text, query.values));
}

bool Connection::InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

void Connection::BeginBatch() {
  if (impl_->batches.empty() && !InTransaction()) {
    Execute("begin immediate");
    impl_->batches.push_back(Impl::BatchKind::Transaction);
  } else {
    Execute("savepoint kestrel_batch_" + std::to_string(impl_->batches.size()));
    impl_->batches.push_back(Impl::BatchKind::Savepoint);
  }
}

void Connection::CommitBatch() {
  if (impl_->batches.empty()) Raise(Ours::Internal, "CommitBatch without BeginBatch");
  Impl::BatchKind kind = impl_->batches.back();
  impl_->batches.pop_back();
  if (kind == Impl::BatchKind::Transaction)
    Execute("commit");
  else
    Execute("release kestrel_batch_" + std::to_string(impl_->batches.size()));
}

void Connection::RollbackBatch() {
  if (impl_->batches.empty()) Raise(Ours::Internal, "RollbackBatch without BeginBatch");
  Impl::BatchKind kind = impl_->batches.back();
  impl_->batches.pop_back();
  if (kind == Impl::BatchKind::Transaction) {
    if (InTransaction()) Execute("rollback");
  } else {
    std::string name = "kestrel_batch_" + std::to_string(impl_->batches.size());
    Execute("rollback to " + name);
    Execute("release " + name);
  }
}

void Connection::CommitHeld() {
  if (!InTransaction()) return;
  Execute("commit");
  // "begin" is deferred: nothing is locked until the next read or write.
  Execute("begin");
  for (size_t i = 0; i < impl_->batches.size(); ++i)
    if (impl_->batches[i] == Impl::BatchKind::Savepoint) Execute("savepoint kestrel_batch_" + std::to_string(i));
}

// ---------------------------------------------------------------------------
// Statement

Statement::Statement(Connection& c, std::string text, sqlite3_stmt* stmt)
    : conn_(&c), text_(std::move(text)), stmt_(stmt) {}

Statement::Statement(Statement&& o) noexcept : conn_(o.conn_), text_(std::move(o.text_)), stmt_(o.stmt_) {
  o.stmt_ = nullptr;
}

Statement::~Statement() {
  if (stmt_) conn_->Release(text_, stmt_);
}

void Statement::Bind(int index, const Value& v, bool as_blob) { BindValue(index, v, as_blob, true); }

void Statement::BindKept(int index, const Value& v) { BindValue(index, v, false, false); }

void Statement::BindValue(int index, const Value& v, bool as_blob, bool copy) {
  const auto lifetime = copy ? SQLITE_TRANSIENT : SQLITE_STATIC;
  int rc;
  if (v.IsNull()) {
    rc = sqlite3_bind_null(stmt_, index);
  } else if (v.IsInteger()) {
    rc = sqlite3_bind_int64(stmt_, index, *v.AsInteger());
  } else if (v.IsDouble()) {
    rc = sqlite3_bind_double(stmt_, index, *v.AsDouble());
  } else {
    const std::string& s = *v.AsText();
    rc = as_blob ? sqlite3_bind_blob64(stmt_, index, s.data(), s.size(), lifetime)
                 : sqlite3_bind_text64(stmt_, index, s.data(), s.size(), lifetime, SQLITE_UTF8);
  }
  if (rc != SQLITE_OK) conn_->RaiseLast();
}

bool Statement::Step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  ComError e(sqlite3_extended_errcode(conn_->handle()), sqlite3_errmsg(conn_->handle()));
  sqlite3_reset(stmt_);
  throw e;
}

int64_t Statement::Run() {
  while (Step()) {
  }
  sqlite3_reset(stmt_);
  return sqlite3_stmt_readonly(stmt_) ? 0 : sqlite3_changes64(conn_->handle());
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

// ---------------------------------------------------------------------------
// Recordset

// A row being added (NewRow) or a found row being changed (CurrentRow): the
// values put so far, which of them are not saved yet, and the rowid once the
// row is known to the table.
//
// A loader adds row after row with the same columns: the values keep their
// storage from row to row (a flag tells which belong to the row), and the
// statement that saved the last row is kept while the same columns are saved.
struct Recordset::Edit {
  enum class Kind { None, NewRow, CurrentRow } kind = Kind::None;
  std::vector<Value> values;
  std::vector<uint8_t> put;      // values[i] was put since the row began
  std::vector<uint8_t> changed;  // ... and is not saved yet
  bool dirty = false;
  bool has_rowid = false;
  int64_t rowid = 0;

  std::vector<size_t> columns;    // the columns being saved (scratch)
  std::optional<Statement> saver;  // the statement that saved the last row
  std::vector<size_t> saver_columns;
  bool saver_inserts = false;

  void Start(Kind k, size_t n) {
    kind = k;
    if (values.size() != n) values.resize(n);
    put.assign(n, 0);
    changed.assign(n, 0);
    dirty = false;
    has_rowid = false;
  }
  const Value* PutValue(size_t i) const { return kind != Kind::None && put[i] ? &values[i] : nullptr; }
};

Recordset::Recordset(Connection& c, std::string_view statement, const std::vector<Value>& values)
    : conn_(c), edit_(std::make_unique<Edit>()) {
  auto& shapes = conn_.impl_->shapes;
  auto known = shapes.find(statement);
  if (known == shapes.end()) {
    if (shapes.size() >= kShapeCacheSize) shapes.clear();
    known = shapes.emplace(std::string(statement), ShapeOf(statement)).first;
  }
  SelectShape& shape = known->second;
  table_ = shape.table;
  several_tables_ = shape.several;
  if (!shape.with_rowid.empty() && !shape.rowid_refused) {
    try {
      stmt_ = std::make_unique<Statement>(conn_.Prepare(shape.with_rowid));
      hidden_rowid_ = true;
    } catch (const ComError&) {
      stmt_.reset();
    }
  }
  if (!stmt_) {
    stmt_ = std::make_unique<Statement>(conn_.Prepare(statement));
    // The plain text runs: the table itself has no rowid.
    if (!shape.with_rowid.empty()) shape.rowid_refused = true;
  }
  if (sqlite3_bind_parameter_count(stmt_->get()) != static_cast<int>(values.size()))
    Raise(Ours::Internal, "The statement has " + std::to_string(sqlite3_bind_parameter_count(stmt_->get())) +
                              " parameters for " + std::to_string(values.size()) + " values");
  // The recordset keeps the values: its statement goes back to the cache,
  // its bindings cleared, before they are destroyed.
  values_ = values;
  for (size_t i = 0; i < values_.size(); ++i) stmt_->BindKept(static_cast<int>(i + 1), values_[i]);

  Step();
  bof_ = eof_;
  // Read after the first step: a statement that SQLite compiled again for a
  // changed schema tells its new columns only then.
  sqlite3_stmt* s = stmt_->get();
  auto& seen = conn_.impl_->columns[s];
  const int reprepares = sqlite3_stmt_status(s, SQLITE_STMTSTATUS_REPREPARE, 0);
  if (!seen.columns || seen.reprepares != reprepares) {
    auto columns = std::make_shared<ResultColumns>();
    int n = sqlite3_column_count(s) - (hidden_rowid_ ? 1 : 0);
    columns->names.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      const char* name = sqlite3_column_name(s, i);
      const char* decl = sqlite3_column_decltype(s, i);
      columns->names.emplace_back(name ? name : "");
      columns->binary.push_back(DeclaredBlob(decl));
      columns->textual.push_back(DeclaredText(decl));
    }
    seen.columns = std::move(columns);
    seen.reprepares = reprepares;
  }
  columns_ = seen.columns;
}

Recordset::~Recordset() {
  try {
    Close();
  } catch (...) {
  }
}

void Recordset::Step() {
  if (stmt_->Step()) {
    eof_ = false;
  } else {
    eof_ = true;
    // Done: release the read at once so that writers are not kept waiting.
    stmt_->Reset();
  }
}

void Recordset::MoveNext() {
  if (closed_) Raise(Ours::NoCurrentRow);
  SaveEdit();
  edit_->kind = Edit::Kind::None;
  if (eof_) Raise(Ours::NoCurrentRow);
  Step();
}

void Recordset::Close() {
  if (closed_) return;
  closed_ = true;
  DiscardEdit();
  edit_->saver.reset();
  eof_ = true;
  stmt_.reset();
}

int Recordset::FieldCount() const { return static_cast<int>(columns_->names.size()); }

const std::string& Recordset::FieldName(int index) const {
  if (index < 0 || index >= FieldCount())
    Raise(Ours::FieldNotFound, std::string(DefaultText(Ours::FieldNotFound)) + ": " + std::to_string(index));
  return columns_->names[static_cast<size_t>(index)];
}

int Recordset::IndexOf(std::string_view name) const {
  const auto& names = columns_->names;
  for (size_t i = 0; i < names.size(); ++i)
    if (EqualNoCase(names[i], name)) return static_cast<int>(i);
  Raise(Ours::FieldNotFound, std::string(DefaultText(Ours::FieldNotFound)) + ": " + std::string(name));
}

void Recordset::RequireRow() const {
  if (closed_ || eof_) Raise(Ours::NoCurrentRow);
}

Value Recordset::Fields(std::string_view name) const { return Fields(IndexOf(name)); }

Value Recordset::Fields(int index) const {
  FieldName(index);  // checks the index
  size_t i = static_cast<size_t>(index);
  if (edit_->kind != Edit::Kind::None) {
    if (const Value* v = edit_->PutValue(i)) return *v;
    if (edit_->kind == Edit::Kind::NewRow) return Value();
  }
  RequireRow();
  sqlite3_stmt* s = stmt_->get();
  switch (sqlite3_column_type(s, index)) {
    case SQLITE_NULL: return Value();
    case SQLITE_INTEGER: return Value(static_cast<int64_t>(sqlite3_column_int64(s, index)));
    case SQLITE_FLOAT: return Value(sqlite3_column_double(s, index));
    case SQLITE_BLOB: {
      const char* p = static_cast<const char*>(sqlite3_column_blob(s, index));
      return Value(std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(s, index))));
    }
    default: {
      const char* p = reinterpret_cast<const char*>(sqlite3_column_text(s, index));
      return Value(std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(s, index))));
    }
  }
}

void Recordset::AppendField(std::string& out, int index) const {
  if (edit_->kind != Edit::Kind::None) {
    Value v = Fields(index);
    out += v.TextOrEmpty();
    return;
  }
  sqlite3_stmt* s = stmt_->get();
  switch (sqlite3_column_type(s, index)) {
    case SQLITE_NULL: return;
    case SQLITE_INTEGER: AppendInteger(out, sqlite3_column_int64(s, index)); return;
    case SQLITE_FLOAT: out += FormatDouble(sqlite3_column_double(s, index)); return;
    case SQLITE_BLOB: {
      const char* p = static_cast<const char*>(sqlite3_column_blob(s, index));
      if (p) out.append(p, static_cast<size_t>(sqlite3_column_bytes(s, index)));
      return;
    }
    default: {
      const char* p = reinterpret_cast<const char*>(sqlite3_column_text(s, index));
      if (p) out.append(p, static_cast<size_t>(sqlite3_column_bytes(s, index)));
      return;
    }
  }
}

bool Recordset::ViewText(int index, std::string_view& out) const {
  if (edit_->kind != Edit::Kind::None || closed_ || eof_ || index < 0 || index >= FieldCount()) return false;
  sqlite3_stmt* s = stmt_->get();
  const char* p;
  switch (sqlite3_column_type(s, index)) {
    case SQLITE_TEXT: p = reinterpret_cast<const char*>(sqlite3_column_text(s, index)); break;
    case SQLITE_BLOB: p = static_cast<const char*>(sqlite3_column_blob(s, index)); break;
    default: return false;
  }
  out = std::string_view(p ? p : "", p ? static_cast<size_t>(sqlite3_column_bytes(s, index)) : 0);
  return true;
}

std::string Recordset::GetString(long n, std::string_view column_sep, std::string_view row_sep) {
  std::string out;
  AppendString(out, n, column_sep, row_sep);
  return out;
}

long Recordset::AppendString(std::string& out, long n, std::string_view column_sep, std::string_view row_sep) {
  if (closed_) Raise(Ours::NoCurrentRow);
  long rows = 0;
  const int columns = FieldCount();
  while (!eof_ && (n < 0 || rows < n)) {
    for (int i = 0; i < columns; ++i) {
      if (i > 0) out.append(column_sep);
      AppendField(out, i);
    }
    out.append(row_sep);
    ++rows;
    MoveNext();
  }
  return rows;
}

void Recordset::AddNew() {
  if (closed_) Raise(Ours::NoCurrentRow);
  if (table_.empty())
    Raise(Ours::RowsNotChangeable, std::string(DefaultText(Ours::RowsNotChangeable)) +
                                       (several_tables_ ? ": the statement reads several tables"
                                                        : ": the statement reads no table"));
  SaveEdit();
  edit_->Start(Edit::Kind::NewRow, columns_->names.size());
}

void Recordset::Put(std::string_view name, const Value& v) { Put(IndexOf(name), v); }

void Recordset::Put(int index, const Value& v) {
  FieldName(index);  // checks the index
  if (edit_->kind == Edit::Kind::None) {
    RequireRow();
    edit_->Start(Edit::Kind::CurrentRow, columns_->names.size());
  }
  size_t i = static_cast<size_t>(index);
  edit_->values[i] = v;  // a text reuses the storage of the one put before
  edit_->put[i] = 1;
  edit_->changed[i] = 1;
  edit_->dirty = true;
}

void Recordset::Update() {
  if (closed_) Raise(Ours::NoCurrentRow);
  SaveEdit();
}

void Recordset::DiscardEdit() { edit_->kind = Edit::Kind::None; }

void Recordset::SaveEdit() {
  Edit& e = *edit_;
  if (e.kind == Edit::Kind::None || !e.dirty) return;
  if (table_.empty()) Raise(Ours::RowsNotChangeable);

  // The statement text depends only on the table and the columns put, so a
  // loader that adds row after row keeps one statement for all of them.
  e.columns.clear();
  for (size_t i = 0; i < e.changed.size(); ++i)
    if (e.changed[i]) e.columns.push_back(i);
  const bool insert = e.kind == Edit::Kind::NewRow && !e.has_rowid;
  if (!insert && !e.has_rowid) {
    if (!hidden_rowid_ || eof_)
      Raise(Ours::RowsNotChangeable,
            std::string(DefaultText(Ours::RowsNotChangeable)) + ": the found row has no rowid");
    e.rowid = sqlite3_column_int64(stmt_->get(), FieldCount());
    e.has_rowid = true;
  }
  if (!e.saver || e.saver_inserts != insert || e.saver_columns != e.columns) {
    e.saver.reset();
    std::vector<std::string_view> names;
    for (size_t i : e.columns) names.push_back(columns_->names[i]);
    e.saver.emplace(conn_.Prepare(insert ? InsertRowWithParameters(table_, names) : UpdateRowByRowid(table_, names)));
    e.saver_columns = e.columns;
    e.saver_inserts = insert;
  }

  // The values stay put until the statement has run: SQLite need not copy them.
  Statement& st = *e.saver;
  int p = 1;
  for (size_t i : e.columns) {
    const Value& v = e.values[i];
    if (v.IsDouble() && columns_->textual[i])
      st.Bind(p, Value(FormatDouble(*v.AsDouble())));
    else if (columns_->binary[i] && v.IsText())
      st.Bind(p, v, true);
    else
      st.BindKept(p, v);
    ++p;
  }
  if (!insert) st.Bind(p, Value(e.rowid));
  st.Run();
  if (insert) {
    e.rowid = sqlite3_last_insert_rowid(conn_.handle());
    e.has_rowid = true;
  }
  e.changed.assign(e.changed.size(), 0);
  e.dirty = false;
}

}  // namespace Kestrel20ImpExp::store
