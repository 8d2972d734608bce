// Table definitions of the profile store and the script that creates them.
#include "store/schema.h"

#include <array>
#include <cstdio>

#include "base/error.h"
#include "store/open.h"
#include "store/sql.h"
#include "store/statements_store.h"

namespace kestrel::store {
namespace {

constexpr ColumnType I = ColumnType::Integer;
constexpr ColumnType T = ColumnType::Text;
constexpr ColumnType B = ColumnType::Binary;

// The columns every profile-owned rule table starts with.
std::vector<ColumnDef> Keyed(std::initializer_list<ColumnDef> rest) {
  std::vector<ColumnDef> cols{{"mprf", I}, {"vers", T}, {"rele", T}, {"cust", T}};
  cols.insert(cols.end(), rest);
  return cols;
}

std::vector<TableDef> BuildTables() {
  // Rule tables are read by profile list and by mapping object: one index on
  // the profile number followed by the object's three columns serves both.
  const std::vector<std::pair<std::string_view, std::string_view>> by_object{{"mprf_object", "mprf, tcpac, tcmod, tflno"}};
  const std::vector<std::pair<std::string_view, std::string_view>> by_appl{{"appl", "appl"}};
  std::vector<TableDef> t;

  // Profile header, hierarchy and development VRC.
  t.push_back({"qzmap100",
               {{"mprf", I}, {"sapp", T}, {"tapp", T}, {"vers", T}, {"rele", T}, {"cust", T}, {"verf", T},
                {"relf", T}, {"cusf", T}, {"dsca", T}, {"scme", T}, {"deph", I}, {"ownr", B}, {"bsen", T},
                {"rhos", T}, {"busr", T}, {"pswd", T}, {"apln", T}},
               "primary key (mprf), unique (vers, rele, cust)",
               {{"applications", "sapp, tapp"}}});
  t.push_back({"qzmap101",
               {{"mprf", I}, {"levl", I}, {"vers", T}, {"rele", T}, {"cust", T}, {"pprf", I}},
               "unique (mprf, levl)",
               {{"pprf", "pprf"}}});
  t.push_back({"qzmap105",
               Keyed({{"dver", T}, {"drel", T}, {"dcus", T}}),
               "unique (mprf)",
               {}});

  // Rules and their revision twins.
  t.push_back({"qzmap110",
               Keyed({{"tcpac", T}, {"tcmod", T}, {"tflno", T}, {"revi", I}, {"rinf", T}, {"isid", T},
                      {"sdat", T}, {"pexp", I}, {"logn", T}}),
               "", by_object});
  t.push_back({"qzmap120",
               Keyed({{"tcpac", T}, {"tcmod", T}, {"tflno", T}, {"txtn", T}, {"prtx", T}, {"stat", T},
                      {"vari", T}, {"stbl", T}, {"comt", T}, {"isms", T}, {"ldat", T}, {"logn", T}, {"lusr", T}}),
               "", by_object});
  t.push_back({"qzmap125",
               Keyed({{"tcpac", T}, {"tcmod", T}, {"tflno", T}, {"revi", I}, {"txtn", T}, {"prtx", T},
                      {"vari", T}, {"csta", T}, {"stbl", T}, {"isms", T}, {"comt", T}, {"logn", T}}),
               "", by_object});
  t.push_back({"qzmap130",
               Keyed({{"tcpac", T}, {"tcmod", T}, {"tflno", T}, {"scpac", T}, {"scmod", T}, {"sflno", T},
                      {"icod", T}, {"qury", T}, {"txtn", T}}),
               "", by_object});
  t.push_back({"qzmap135",
               Keyed({{"tcpac", T}, {"tcmod", T}, {"tflno", T}, {"scpac", T}, {"scmod", T}, {"sflno", T},
                      {"icod", T}, {"revi", I}, {"qury", T}, {"logn", T}, {"csta", T}, {"txtn", T}}),
               "", by_object});
  t.push_back({"qzmap140",
               Keyed({{"tcpac", T}, {"tcmod", T}, {"tflno", T}, {"dnum", I}, {"fdnm", T}, {"mrul", T},
                      {"type", I}, {"stat", T}, {"txtn", T}}),
               "", by_object});
  t.push_back({"qzmap145",
               Keyed({{"tcpac", T}, {"tcmod", T}, {"tflno", T}, {"dnum", I}, {"fdnm", T}, {"revi", I},
                      {"mrul", T}, {"type", I}, {"logn", T}, {"stat", T}, {"csta", T}, {"txtn", T}}),
               "", by_object});
  t.push_back({"qzmap150", {{"func", T}, {"defn", T}, {"help", T}}, "unique (func)", {}});
  t.push_back({"qzmap160",
               Keyed({{"tcpac", T}, {"tcmod", T}, {"tflno", T}, {"func", T}, {"txtn", T}}),
               "", by_object});
  t.push_back({"qzmap165",
               Keyed({{"tcpac", T}, {"tcmod", T}, {"tflno", T}, {"revi", I}, {"func", T}, {"logn", T},
                      {"csta", T}, {"txtn", T}}),
               "", by_object});
  t.push_back({"qzmap170",
               Keyed({{"bpac", T}, {"bmod", T}, {"bflno", T}, {"cpac", T}, {"cmod", T}, {"cflno", T}}),
               "", {{"mprf_object", "mprf, cpac, cmod, cflno"}}});
  t.push_back({"qzmap175",
               Keyed({{"bpac", T}, {"bmod", T}, {"bflno", T}, {"revi", I}, {"cpac", T}, {"cmod", T},
                      {"cflno", T}, {"logn", T}}),
               "", {{"mprf_object", "mprf, bpac, bmod, bflno"}}});

  // Function library of the profiles and its revisions.
  t.push_back({"qzlib100",
               Keyed({{"fnam", T}, {"dsca", T}, {"lurn", T}, {"ldat", T}, {"fdef", T}, {"curn", T},
                      {"stat", T}, {"comt", T}}),
               "", {{"mprf_fnam", "mprf, fnam"}}});
  t.push_back({"qzlib105",
               Keyed({{"fnam", T}, {"revi", I}, {"rinf", T}, {"isid", T}, {"cdat", T}, {"pexp", I},
                      {"usrn", T}, {"fdef", T}, {"comt", T}}),
               "", {{"mprf_fnam", "mprf, fnam, revi"}}});

  // Users and their assignment to profiles; both binary, compared through casts.
  t.push_back({"qzusr100", {{"usrn", B}, {"dsca", T}}, "", {}});
  // Its index is on the number the binary mprf holds (SchemaScript renders a
  // binary column of an index so): every statement compares that number.
  t.push_back({"qzusr110", {{"usrn", B}, {"mprf", B}}, "", {{"mprf", "mprf"}}});

  // Application definitions. qzddi100's last column is extn (the pack details
  // read it from the last field); in no table is appl the last column.
  t.push_back({"qzddi100", {{"appl", T}, {"dsca", T}, {"aver", T}, {"crdt", T}, {"extn", I}}, "unique (appl)", {}});
  t.push_back({"qzddi101",
               {{"appl", T}, {"cpac", T}, {"cmod", T}, {"flno", T}, {"dsca", T}, {"rlen", T}}, "", by_appl});
  t.push_back({"qzddi140",
               {{"appl", T}, {"cpac", T}, {"cmod", T}, {"flno", T}, {"dsca", T}, {"ftyp", T}}, "", by_appl});
  t.push_back({"qzddi150",
               {{"appl", T}, {"cpac", T}, {"cmod", T}, {"flno", T}, {"fldn", T}, {"fdsc", T}, {"ftyp", T},
                {"flen", T}},
               "", by_appl});
  t.push_back({"qzddi160", {{"appl", T}, {"domn", T}, {"dval", T}, {"dsca", T}}, "", by_appl});
  t.push_back({"qzddi200",
               {{"appl", T}, {"cpac", T}, {"cmod", T}, {"flno", T}, {"kseq", T}, {"fldn", T}}, "", by_appl});
  t.push_back({"qzddi220",
               {{"appl", T}, {"cpac", T}, {"cmod", T}, {"flno", T}, {"rpac", T}, {"rmod", T}, {"rfln", T}},
               "", by_appl});
  t.push_back({"qzddi230",
               {{"appl", T}, {"grpn", T}, {"cpac", T}, {"cmod", T}, {"flno", T}, {"seqn", T}}, "", by_appl});

  // Lookup codes shared by all applications, then the base applications' tables.
  t.push_back({"qzlgy115", {{"code", T}, {"dsca", T}, {"ival", T}, {"oval", T}}, "", {}});
  t.push_back({"qzlgy140",
               {{"appl", T}, {"cpac", T}, {"cmod", T}, {"flno", T}, {"dsca", T}, {"ftyp", T}}, "", by_appl});
  t.push_back({"qzlgy141",
               {{"appl", T}, {"cpac", T}, {"cmod", T}, {"flno", T}, {"fldn", T}, {"fdsc", T}, {"flen", T}},
               "", by_appl});
  t.push_back({"qzlgy150", {{"appl", T}, {"grpn", T}, {"dsca", T}, {"seqn", T}}, "", by_appl});
  return t;
}

constexpr std::array<std::string_view, 17> kProfileTables = {
    "qzmap110", "qzmap120", "qzmap125", "qzmap130", "qzmap135", "qzmap140", "qzmap145", "qzmap160", "qzmap165",
    "qzmap170", "qzmap175", "qzlib100", "qzlib105", "qzmap100", "qzmap101", "qzmap105", "qzusr110"};

constexpr std::array<std::string_view, 11> kApplicationTables = {
    "qzddi100", "qzddi101", "qzddi140", "qzddi150", "qzddi160", "qzddi200",
    "qzddi220", "qzddi230", "qzlgy140", "qzlgy141", "qzlgy150"};

constexpr std::array<std::string_view, 11> kRuleTables = {"qzmap110", "qzmap120", "qzmap125", "qzmap130",
                                                          "qzmap135", "qzmap140", "qzmap145", "qzmap160",
                                                          "qzmap165", "qzmap170", "qzmap175"};

std::string_view TypeName(Dialect d, ColumnType t) {
  switch (t) {
    case ColumnType::Integer: return "integer";
    case ColumnType::Binary: return d == Dialect::Postgres ? "bytea" : "blob";
    case ColumnType::Text: break;
  }
  // Texts compare byte by byte, as SQLite compares them, whatever the
  // database's own collation: keys, indexes and every order by agree with an
  // embedded store's.
  return d == Dialect::Postgres ? "text collate \"C\"" : "text";
}

}  // namespace

std::vector<std::string_view> TableDef::ColumnNames() const {
  std::vector<std::string_view> out;
  out.reserve(columns.size());
  for (const auto& c : columns) out.push_back(c.name);
  return out;
}

const std::vector<TableDef>& Tables() {
  static const std::vector<TableDef> tables = BuildTables();
  return tables;
}

const TableDef* FindTable(std::string_view name) {
  for (const auto& t : Tables())
    if (t.name == name) return &t;
  return nullptr;
}

std::span<const std::string_view> ProfileTables() { return kProfileTables; }
std::span<const std::string_view> ApplicationTables() { return kApplicationTables; }
std::span<const std::string_view> RuleTables() { return kRuleTables; }

std::string_view ProfileIndexColumns(const TableDef& t) {
  for (const auto& index : t.indexes)
    if (index.second.starts_with("mprf")) return index.second;
  // A key constraint such as "unique (mprf, levl)" or "primary key (mprf), ...".
  const size_t open = t.constraints.find("(mprf");
  if (open == std::string_view::npos) return {};
  const size_t close = t.constraints.find(')', open);
  return t.constraints.substr(open + 1, close - open - 1);
}

namespace {

// The columns of an index as the dialect writes them: a binary column is
// indexed by the number it holds, as the statements compare it.
std::string IndexColumns(Dialect d, const TableDef& t, std::string_view cols) {
  std::string out;
  size_t start = 0;
  while (start <= cols.size()) {
    size_t end = cols.find(',', start);
    if (end == std::string_view::npos) end = cols.size();
    std::string_view name = cols.substr(start, end - start);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    if (!out.empty()) out += ", ";
    bool binary = false;
    for (const auto& c : t.columns)
      if (c.name == name && c.type == ColumnType::Binary) binary = true;
    out += binary ? sql::CastToInt(d, name) : std::string(name);
    start = end + 1;
  }
  return out;
}

}  // namespace

std::string SchemaScript(Dialect d) {
  std::string s;
  for (const auto& t : Tables()) {
    s += "create table ";
    s += t.name;
    s += " (";
    for (size_t i = 0; i < t.columns.size(); ++i) {
      if (i) s += ", ";
      s += t.columns[i].name;
      s += ' ';
      s += TypeName(d, t.columns[i].type);
    }
    if (d == Dialect::Postgres) {
      s += ", ";
      s += sql::kInsertionOrderColumn;
      s += " bigint generated always as identity";
    }
    if (!t.constraints.empty()) {
      s += ", ";
      s += t.constraints;
    }
    s += ");\n";
    for (const auto& [suffix, cols] : t.indexes) {
      s += "create index ";
      s += t.name;
      s += '_';
      s += suffix;
      s += " on ";
      s += t.name;
      s += " (";
      // On PostgreSQL the index also holds the stored order (empty values
      // first, then the order rows were added in): the export's reads in
      // that order walk it instead of sorting their rows.
      s += d == Dialect::Postgres ? sql::StoredOrderKeys(d, t.name, cols) : IndexColumns(d, t, cols);
      s += ");\n";
    }
  }
  return s;
}

void CreateSchema(Connection& c) {
  Batch b(c);
  c.ExecuteScript(SchemaScript(c.dialect()));
  b.Commit();
}

std::vector<std::pair<std::string_view, int64_t>> RowCounts(Connection& c) {
  std::vector<std::pair<std::string_view, int64_t>> out;
  for (const auto& t : Tables()) out.emplace_back(t.name, c.OpenRecordset(CountRows(t.name))->Fields(0).Integer());
  return out;
}

std::shared_ptr<Connection> CreateStore(const std::string& path) {
  auto c = store::Create(path);
  CreateSchema(*c);
  return c;
}

std::string DropSchemaScript() {
  std::string s;
  for (const auto& t : Tables()) {
    s += "drop table if exists ";
    s += t.name;
    s += ";\n";
  }
  return s;
}

void DiscardNewStore(const std::string& given) {
  // The store the name stood for when it was created, never a file of the
  // name's own.
  const std::string location = Resolved(given);
  if (!IsServerLocation(location)) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((location + suffix).c_str());
    return;
  }
  auto c = store::Open(location);
  Batch b(*c);
  c->ExecuteScript(DropSchemaScript());
  b.Commit();
}

}  // namespace kestrel::store
