// The canonical demo data and the copy of shared reference data between
// stores. Rows are written through an inserter per table inside one
// transaction; every value has the form the import gives it (integers where
// the loaders convert, dates "YYYY-MM-DD HH:MM:SS", the owner enciphered).
#include "store/demo_data.h"

#include <fmt/format.h>

#include <array>

#include "base/cipher.h"
#include "base/datetime.h"
#include "base/error.h"
#include "base/errors_ours.h"
#include "store/schema.h"
#include "store/statements_store.h"

namespace kestrel::store {
namespace {

const std::string kCrLf = "\r\n";

// Adds whole rows to one table; columns a row does not name are NULL. The
// demo data writes many tables in turns, a few rows each: a table's rows
// wait in groups and go through its inserter together, so that the store
// groups them (a server by COPY) instead of switching tables every few rows.
class RowWriter {
 public:
  RowWriter(Connection& c, std::string_view table) : c_(c), def_(Find(table)), names_(def_.ColumnNames()) {}

  void Add(std::initializer_list<std::pair<std::string_view, Value>> fields) {
    std::vector<Value> row(names_.size());
    for (const auto& [name, value] : fields) row[IndexOf(name)] = value;
    Wait(std::move(row));
  }

  // A row given column by column in the table's order.
  void AddValues(const std::vector<Value>& values) { Wait(values); }

  // Sends the rows waiting; every writer flushes before the batch commits.
  void Flush() {
    if (waiting_.empty()) return;
    if (!inserter_) inserter_ = c_.Insert(def_.name, names_);
    for (const auto& row : waiting_) inserter_->Add(row);
    inserter_->Flush();
    waiting_.clear();
  }

  const TableDef& def() const { return def_; }

 private:
  static constexpr size_t kRowsPerGroup = 1000;

  static const TableDef& Find(std::string_view table) {
    const TableDef* t = FindTable(table);
    if (!t) Raise(Ours::Internal, "No such table in the schema: " + std::string(table));
    return *t;
  }
  size_t IndexOf(std::string_view name) const {
    for (size_t i = 0; i < names_.size(); ++i)
      if (names_[i] == name) return i;
    Raise(Ours::Internal, "No column " + std::string(name) + " in " + std::string(def_.name));
  }
  void Wait(std::vector<Value> row) {
    row.resize(names_.size());
    waiting_.push_back(std::move(row));
    if (waiting_.size() >= kRowsPerGroup) Flush();
  }

  Connection& c_;
  const TableDef& def_;
  std::vector<std::string_view> names_;
  std::unique_ptr<Inserter> inserter_;
  std::vector<std::vector<Value>> waiting_;
};

// A date in the canonical form, spread over a year so that rows differ.
std::string Stamp(int i) {
  DateTime d;
  d.Year = 2024;
  d.Month = 1 + i % 12;
  d.Day = 1 + (i * 5) % 28;
  d.Hour = 7 + i % 11;
  d.Minute = (i * 7) % 60;
  d.Second = (i * 13) % 60;
  return FormatDateTime(d);
}

std::string Enciphered(const std::string& owner) {
  std::string out;
  EncipherForStore(owner, out);
  return out;
}

DemoFacts MakeFacts() {
  DemoFacts f;
  f.base_appl = "ACC10";
  f.extension_appl = "ACCX2";
  f.users = {"jmartin", "akowalski", "s\xf8rensen", "bwu"};
  f.last_modified_user = "importer";
  f.apln = "Finance";
  f.objects_per_unit = 8;
  f.objects_without_rules_per_unit = 1;
  // Derived profiles are update profiles: "U" as the fourth character of vers.
  // The development VRC is "d" + vers without its first character, the same
  // rele, and "d" + cust without its first character.
  f.profiles = {
      {10, "X40", "R1", "base", "", "", "", "d40", "R1", "dase", 1, "jmartin",
       "Ledger to extension, base rules"},
      {20, "X41U", "R1", "cu01", "X40", "R1", "base", "d41U", "R1", "du01", 2, "akowalski",
       "Customer update for M\xfcller & S\xf6hne"},
      {30, "X42U", "R1", "cu02", "X41U", "R1", "cu01", "d42U", "R1", "du02", 3, "s\xf8rensen",
       "Second customer update, caf\xe9 accounts"},
  };
  return f;
}

// The modules of the mapping objects of both applications.
constexpr std::array<const char*, 8> kExtensionModules = {"GLACC", "GLBAL", "APINV", "ARREC",
                                                          "FAAST", "COCTR", "HRPAY", "MMMAT"};
constexpr std::array<const char*, 6> kBaseModules = {"LEDGR", "JOURN", "VENDR", "CUSTM", "ASSET", "COSTC"};

struct Object {
  std::string pac, mod, flno;
  std::string Name() const { return pac + mod + flno; }
};

Object ExtensionObject(int unit, int j) {
  return {fmt::format("P{:03}", unit + 1), kExtensionModules[static_cast<size_t>(j)], fmt::format("{:03}", (j + 1) * 7)};
}

Object BaseObject(int unit, int j) {
  return {fmt::format("L{:03}", unit + 1), kBaseModules[static_cast<size_t>(j)], fmt::format("{:03}", (j + 1) * 5)};
}

// Which profile levels (0 root, 1 child, 2 grandchild) define rules for
// extension object j: some only at the root, some redefined below, some only
// below, and the last one nowhere.
bool HasRules(int j, size_t level) {
  static constexpr std::array<std::array<bool, 3>, 8> kRoles = {{
      {true, false, false},
      {true, false, false},
      {true, true, false},
      {true, true, true},
      {false, true, false},
      {false, false, true},
      {true, false, true},
      {false, false, false},
  }};
  return kRoles[static_cast<size_t>(j)][level];
}

// Object 1 has rules but no revision history.
bool HasRevisions(int j) { return j != 1; }

struct Writers {
  explicit Writers(Connection& c)
      : m100(c, "qzmap100"), m101(c, "qzmap101"), m105(c, "qzmap105"), m110(c, "qzmap110"),
        m120(c, "qzmap120"), m125(c, "qzmap125"), m130(c, "qzmap130"), m135(c, "qzmap135"),
        m140(c, "qzmap140"), m145(c, "qzmap145"), m150(c, "qzmap150"), m160(c, "qzmap160"),
        m165(c, "qzmap165"), m170(c, "qzmap170"), m175(c, "qzmap175"), lib100(c, "qzlib100"),
        lib105(c, "qzlib105"), usr100(c, "qzusr100"), usr110(c, "qzusr110"), ddi100(c, "qzddi100"),
        ddi101(c, "qzddi101"), ddi140(c, "qzddi140"), ddi150(c, "qzddi150"), ddi160(c, "qzddi160"),
        ddi200(c, "qzddi200"), ddi220(c, "qzddi220"), ddi230(c, "qzddi230"), lgy115(c, "qzlgy115"),
        lgy140(c, "qzlgy140"), lgy141(c, "qzlgy141"), lgy150(c, "qzlgy150") {}
  void Flush() {
    for (RowWriter* w : {&m100, &m101, &m105, &m110, &m120, &m125, &m130, &m135, &m140, &m145, &m150, &m160, &m165,
                         &m170, &m175, &lib100, &lib105, &usr100, &usr110, &ddi100, &ddi101, &ddi140, &ddi150,
                         &ddi160, &ddi200, &ddi220, &ddi230, &lgy115, &lgy140, &lgy141, &lgy150})
      w->Flush();
  }
  RowWriter m100, m101, m105, m110, m120, m125, m130, m135, m140, m145, m150, m160, m165, m170, m175;
  RowWriter lib100, lib105, usr100, usr110;
  RowWriter ddi100, ddi101, ddi140, ddi150, ddi160, ddi200, ddi220, ddi230;
  RowWriter lgy115, lgy140, lgy141, lgy150;
};

void WriteSharedData(Writers& w, const DemoFacts& f) {
  const std::array<std::array<const char*, 4>, 8> codes = {{
      {"CUR", "W\xe4hrung Euro", "EUR", "978"},
      {"CUR", "US-Dollar", "USD", "840"},
      {"CTY", "Deutschland", "DE", "276"},
      {"CTY", "\xd6sterreich", "AT", "040"},
      {"UOM", "St\xfc" "ck", "ST", "PCE"},
      {"UOM", "Kilogramm", "KG", "KGM"},
      {"PAY", "Zahlung in 30 Tagen", "Z30", "30"},
      {"PAY", "Sofort f\xe4llig", "Z00", "0"},
  }};
  for (const auto& c : codes) w.lgy115.Add({{"code", c[0]}, {"dsca", c[1]}, {"ival", c[2]}, {"oval", c[3]}});

  const std::array<const char*, 4> user_texts = {"Julia Martin, finance", "Adam Kowalski, controlling",
                                                 "S\xf8ren S\xf8rensen, consultant", "Bo Wu, support"};
  for (size_t i = 0; i < f.users.size(); ++i) w.usr100.Add({{"usrn", f.users[i]}, {"dsca", user_texts[i]}});

  // Shared functions: block texts over several lines; one without help.
  struct Fn {
    const char* func;
    std::string defn;
    std::string help;
  };
  const std::vector<Fn> functions = {
      {"TRIM", "Function TRIM(s)" + kCrLf + "  Return STRIP(s, 'B')" + kCrLf + "End Function",
       "Removes blanks at both ends of a text."},
      {"LPAD", "Function LPAD(s, n, c)" + kCrLf + "  Return RIGHT(REPEAT(c, n) || s, n)" + kCrLf + "End Function",
       "Pads a text on the left to n characters." + kCrLf + "Example: LPAD('7', 3, '0') gives '007'."},
      {"TODATE", "Function TODATE(s)" + kCrLf + "  Return DATE(SUBSTR(s, 1, 10))" + kCrLf + "End Function",
       "Reads a date written YYYY-MM-DD."},
      {"NVL", "Function NVL(a, b)" + kCrLf + "  If a Is Null Then Return b" + kCrLf + "  Return a" + kCrLf +
                  "End Function",
       ""},
      {"UMLAUT", "Function UMLAUT(s)" + kCrLf + "  Return TRANSLATE(s, '\xe4\xf6\xfc', 'aou')" + kCrLf + "End Function",
       "Replaces \xe4, \xf6 and \xfc."},
  };
  for (const auto& fn : functions) w.m150.Add({{"func", fn.func}, {"defn", fn.defn}, {"help", fn.help}});
}

void WriteApplications(Writers& w, const DemoFacts& f, int scale) {
  w.ddi100.Add({{"appl", f.base_appl}, {"dsca", "Hauptbuch Basis"}, {"aver", "10.2"}, {"crdt", Stamp(1)},
                {"extn", int64_t{0}}});
  w.ddi100.Add({{"appl", f.extension_appl}, {"dsca", "Hauptbuch Erweiterung f\xfcr Kunden"}, {"aver", "2.0"},
                {"crdt", Stamp(2)}, {"extn", int64_t{1}}});

  for (int unit = 0; unit < scale; ++unit) {
    // The base application: its objects, their fields and its groups.
    for (int j = 0; j < static_cast<int>(kBaseModules.size()); ++j) {
      Object o = BaseObject(unit, j);
      const std::string text = "Basisdatei " + o.mod + " (" + o.pac + ")";
      w.ddi101.Add({{"appl", f.base_appl}, {"cpac", o.pac}, {"cmod", o.mod}, {"flno", o.flno}, {"dsca", text},
                    {"rlen", std::to_string(120 + 8 * j)}});
      w.lgy140.Add({{"appl", f.base_appl}, {"cpac", o.pac}, {"cmod", o.mod}, {"flno", o.flno}, {"dsca", text},
                    {"ftyp", j % 2 ? "V" : "F"}});
      for (int k = 1; k <= 3; ++k)
        w.lgy141.Add({{"appl", f.base_appl}, {"cpac", o.pac}, {"cmod", o.mod}, {"flno", o.flno},
                      {"fldn", fmt::format("F{}{:02}", o.mod.substr(0, 2), k)},
                      {"fdsc", k == 2 ? std::string("Betrag \xe0 payer") : fmt::format("Feld {}", k)},
                      {"flen", std::to_string(4 * k + 2)}});
    }
    for (int g = 0; g < 2; ++g)
      w.lgy150.Add({{"appl", f.base_appl}, {"grpn", fmt::format("G{:03}{}", unit + 1, g)},
                    {"dsca", g ? "Stammdaten" : "Bewegungsdaten"}, {"seqn", std::to_string(g + 1)}});

    // The extension application: the mapping objects and what belongs to them.
    for (int j = 0; j < f.objects_per_unit; ++j) {
      Object o = ExtensionObject(unit, j);
      w.ddi140.Add({{"appl", f.extension_appl}, {"cpac", o.pac}, {"cmod", o.mod}, {"flno", o.flno},
                    {"dsca", "Zieldatei " + o.mod + " f\xfcr " + o.pac}, {"ftyp", j % 3 ? "T" : "M"}});
      for (int k = 1; k <= 4; ++k)
        w.ddi150.Add({{"appl", f.extension_appl}, {"cpac", o.pac}, {"cmod", o.mod}, {"flno", o.flno},
                      {"fldn", fmt::format("X{}{:02}", o.mod.substr(0, 2), k)},
                      {"fdsc", k == 1 ? std::string("Schl\xfcssel") : fmt::format("Wert {}", k)},
                      {"ftyp", k % 2 ? "C" : "N"}, {"flen", std::to_string(k * 5)}});
      w.ddi200.Add({{"appl", f.extension_appl}, {"cpac", o.pac}, {"cmod", o.mod}, {"flno", o.flno},
                    {"kseq", "1"}, {"fldn", fmt::format("X{}01", o.mod.substr(0, 2))}});
      Object next = ExtensionObject(unit, (j + 1) % f.objects_per_unit);
      w.ddi220.Add({{"appl", f.extension_appl}, {"cpac", o.pac}, {"cmod", o.mod}, {"flno", o.flno},
                    {"rpac", next.pac}, {"rmod", next.mod}, {"rfln", next.flno}});
      w.ddi230.Add({{"appl", f.extension_appl}, {"grpn", fmt::format("XG{:03}{}", unit + 1, j % 3)},
                    {"cpac", o.pac}, {"cmod", o.mod}, {"flno", o.flno}, {"seqn", std::to_string(j + 1)}});
    }
    for (int k = 0; k < 3; ++k)
      w.ddi160.Add({{"appl", f.extension_appl}, {"domn", fmt::format("DOM{:03}", unit + 1)},
                    {"dval", std::string(1, static_cast<char>('A' + k))},
                    {"dsca", k == 0 ? "Aktiv" : k == 1 ? "Gesperrt" : "Gel\xf6scht"}});
  }
}

void WriteProfiles(Writers& w, const DemoFacts& f) {
  for (size_t i = 0; i < f.profiles.size(); ++i) {
    const DemoProfile& p = f.profiles[i];
    w.m100.Add({{"mprf", p.mprf}, {"sapp", f.base_appl}, {"tapp", f.extension_appl}, {"vers", p.vers},
                {"rele", p.rele}, {"cust", p.cust}, {"verf", p.verf}, {"relf", p.relf}, {"cusf", p.cusf},
                {"dsca", p.dsca}, {"scme", "Y"}, {"deph", p.deph}, {"ownr", Enciphered(p.owner)},
                {"apln", f.apln}});
    w.m105.Add({{"mprf", p.mprf}, {"vers", p.vers}, {"rele", p.rele}, {"cust", p.cust}, {"dver", p.dver},
                {"drel", p.drel}, {"dcus", p.dcus}});
    // The chain: level 1 is the profile itself, then each ancestor.
    for (size_t level = 0; level <= i; ++level) {
      const DemoProfile& a = f.profiles[i - level];
      w.m101.Add({{"mprf", p.mprf}, {"levl", static_cast<int64_t>(level + 1)}, {"vers", a.vers},
                  {"rele", a.rele}, {"cust", a.cust}, {"pprf", a.mprf}});
    }
    w.usr110.Add({{"usrn", p.owner}, {"mprf", std::to_string(p.mprf)}});
  }
}

// The current rules of one mapping object at one profile level, under the
// VRC (vers, rele, cust) given. In a development VRC there are only a rule
// and a query.
void WriteRules(Writers& w, const DemoFacts& f, const DemoProfile& p, const std::string& vers,
                const std::string& rele, const std::string& cust, const Object& o, const Object& source, int n,
                bool development) {
  const std::string at = o.Name() + " (" + vers + ")";
  for (int r = 0; r < (development ? 1 : 2); ++r) {
    const std::string field = fmt::format("X{}{:02}", o.mod.substr(0, 2), r + 1);
    Value comt = r == 1 && n % 2 ? Value()
                                 : Value(fmt::format("Gepr\xfc" "ft mit der Buchhaltung{}Ticket {}, Stand {}", kCrLf,
                                                     4700 + n, vers));
    w.m120.Add({{"mprf", p.mprf}, {"vers", vers}, {"rele", rele}, {"cust", cust}, {"tcpac", o.pac},
                {"tcmod", o.mod}, {"tflno", o.flno},
                {"txtn", fmt::format("Regel {} f\xfcr {}{}", r + 1, at, r ? kCrLf + "mit Rundung" : "")},
                {"prtx", "IF SRC.STATUS = 'A' THEN" + kCrLf + "  TGT." + field + " = TRIM(SRC." + source.mod +
                             ")" + kCrLf + "END IF" + kCrLf + "' Stra\xdf" "e und Gr\xf6\xdf" "e"},
                {"stat", r ? "I" : "A"}, {"vari", fmt::format("V{}", r + 1)}, {"stbl", "TB" + o.flno},
                {"comt", comt}, {"isms", r ? "1" : "0"}, {"ldat", Stamp(n + r)},
                {"lusr", f.last_modified_user}});
  }
  w.m130.Add({{"mprf", p.mprf}, {"vers", vers}, {"rele", rele}, {"cust", cust}, {"tcpac", o.pac},
              {"tcmod", o.mod}, {"tflno", o.flno}, {"scpac", source.pac}, {"scmod", source.mod},
              {"sflno", source.flno}, {"icod", fmt::format("IC{}", n % 4 + 1)},
              {"qury", "SELECT *" + kCrLf + "FROM " + source.mod + kCrLf + "WHERE PAC = '" + source.pac + "'"},
              {"txtn", "Quelle f\xfcr " + at}});
  if (development) return;
  for (int r = 0; r < 2; ++r)
    w.m140.Add({{"mprf", p.mprf}, {"vers", vers}, {"rele", rele}, {"cust", cust}, {"tcpac", o.pac},
                {"tcmod", o.mod}, {"tflno", o.flno}, {"dnum", int64_t{r + 1}},
                {"fdnm", r ? "BETRAG" : "KONTO"},
                {"mrul", "MOVE " + std::string(r ? "AMT" : "ACCT") + kCrLf + "ROUND 2"},
                {"type", int64_t{r + 1}}, {"stat", "A"}, {"txtn", fmt::format("Feldregel {}", r + 1)}});
  w.m160.Add({{"mprf", p.mprf}, {"vers", vers}, {"rele", rele}, {"cust", cust}, {"tcpac", o.pac},
              {"tcmod", o.mod}, {"tflno", o.flno}, {"func", "LPAD(SRC." + source.mod + ", 10, '0')"},
              {"txtn", n % 3 ? "Funktion f\xfcr " + at : ""}});
  w.m170.Add({{"mprf", p.mprf}, {"vers", vers}, {"rele", rele}, {"cust", cust}, {"bpac", o.pac},
              {"bmod", o.mod}, {"bflno", o.flno}, {"cpac", o.pac}, {"cmod", o.mod}, {"cflno", o.flno}});
}

// The revision history of one mapping object at one profile level.
void WriteRevisions(Writers& w, const DemoProfile& p, const Object& o, const Object& source, int n) {
  const std::string& v = p.vers;
  w.m110.Add({{"mprf", p.mprf}, {"vers", v}, {"rele", p.rele}, {"cust", p.cust}, {"tcpac", o.pac},
              {"tcmod", o.mod}, {"tflno", o.flno}, {"revi", int64_t{1}},
              {"rinf", fmt::format("Erste Fassung{}aus dem Workshop {}", kCrLf, n % 5 + 1)},
              {"isid", fmt::format("IS-{:04}", n)}, {"sdat", Stamp(n + 3)}, {"pexp", int64_t{n % 2}},
              {"logn", p.owner}});
  for (int r = 1; r <= 2; ++r)
    w.m125.Add({{"mprf", p.mprf}, {"vers", v}, {"rele", p.rele}, {"cust", p.cust}, {"tcpac", o.pac},
                {"tcmod", o.mod}, {"tflno", o.flno}, {"revi", int64_t{r}},
                {"txtn", fmt::format("Fassung {}", r)},
                {"prtx", fmt::format("TGT.KONTO = SRC.{}{}' Revision {}", source.mod, kCrLf, r)},
                {"vari", fmt::format("V{}", r)}, {"csta", r == 2 ? "C" : "O"}, {"stbl", "TB" + o.flno},
                {"isms", "0"}, {"comt", fmt::format("\xc4nderung {}{}freigegeben", r, kCrLf)},
                {"logn", p.owner}});
  w.m135.Add({{"mprf", p.mprf}, {"vers", v}, {"rele", p.rele}, {"cust", p.cust}, {"tcpac", o.pac},
              {"tcmod", o.mod}, {"tflno", o.flno}, {"scpac", source.pac}, {"scmod", source.mod},
              {"sflno", source.flno}, {"icod", "IC1"}, {"revi", int64_t{1}},
              {"qury", "SELECT *" + kCrLf + "FROM " + source.mod}, {"logn", p.owner}, {"csta", "C"},
              {"txtn", "Abfrage Fassung 1"}});
  w.m145.Add({{"mprf", p.mprf}, {"vers", v}, {"rele", p.rele}, {"cust", p.cust}, {"tcpac", o.pac},
              {"tcmod", o.mod}, {"tflno", o.flno}, {"dnum", int64_t{1}}, {"fdnm", "KONTO"}, {"revi", int64_t{1}},
              {"mrul", "MOVE ACCT"}, {"type", int64_t{1}}, {"logn", p.owner}, {"stat", "A"}, {"csta", "C"},
              {"txtn", "Feldregel Fassung 1"}});
  w.m165.Add({{"mprf", p.mprf}, {"vers", v}, {"rele", p.rele}, {"cust", p.cust}, {"tcpac", o.pac},
              {"tcmod", o.mod}, {"tflno", o.flno}, {"revi", int64_t{1}}, {"func", "TRIM(SRC." + source.mod + ")"},
              {"logn", p.owner}, {"csta", "C"}, {"txtn", "Funktion Fassung 1"}});
  w.m175.Add({{"mprf", p.mprf}, {"vers", v}, {"rele", p.rele}, {"cust", p.cust}, {"bpac", o.pac},
              {"bmod", o.mod}, {"bflno", o.flno}, {"revi", int64_t{1}}, {"cpac", o.pac}, {"cmod", o.mod},
              {"cflno", o.flno}, {"logn", p.owner}});
}

void WriteRuleTables(Writers& w, const DemoFacts& f, int scale) {
  int n = 0;
  for (int unit = 0; unit < scale; ++unit)
    for (int j = 0; j < f.objects_per_unit; ++j) {
      Object o = ExtensionObject(unit, j);
      Object source = BaseObject(unit, j % static_cast<int>(kBaseModules.size()));
      for (size_t level = 0; level < f.profiles.size(); ++level) {
        if (!HasRules(j, level)) continue;
        const DemoProfile& p = f.profiles[level];
        ++n;
        WriteRules(w, f, p, p.vers, p.rele, p.cust, o, source, n, false);
        if (HasRevisions(j)) WriteRevisions(w, p, o, source, n);
      }
    }
  // A few current rules in development VRCs, which a normal export leaves out.
  const DemoProfile& root = f.profiles[0];
  const DemoProfile& child = f.profiles[1];
  WriteRules(w, f, root, root.dver, root.drel, root.dcus, ExtensionObject(0, 0), BaseObject(0, 0), 900, true);
  WriteRules(w, f, child, child.dver, child.drel, child.dcus, ExtensionObject(0, 4), BaseObject(0, 4), 901, true);
}

void WriteLibraries(Writers& w, const DemoFacts& f) {
  struct Fn {
    size_t level;
    const char* fnam;
    const char* dsca;
    std::string fdef;
    int revisions;
  };
  const std::vector<Fn> library = {
      {0, "fnCalcTax", "Steuer berechnen",
       "Function fnCalcTax(amt)" + kCrLf + "  Return ROUND(amt * 0.19, 2)" + kCrLf + "End Function", 2},
      {0, "fnRound", "Kaufm\xe4nnisch runden", "Function fnRound(x)" + kCrLf + "  Return ROUND(x, 2)" + kCrLf +
                                                  "End Function", 1},
      {0, "fnDateKey", "Datumsschl\xfcssel",
       "Function fnDateKey(d)" + kCrLf + "  Return FORMAT(d, 'YYYYMMDD')" + kCrLf + "End Function", 1},
      // Redefined in the child: its version wins for the child and below.
      {1, "fnCalcTax", "Steuer berechnen (\xd6sterreich)",
       "Function fnCalcTax(amt)" + kCrLf + "  Return ROUND(amt * 0.20, 2)" + kCrLf + "End Function", 2},
      {2, "fnMapCountry", "L\xe4nderschl\xfcssel umsetzen",
       "Function fnMapCountry(c)" + kCrLf + "  Return LOOKUP('CTY', c)" + kCrLf + "End Function", 1},
  };
  int n = 0;
  for (const auto& fn : library) {
    const DemoProfile& p = f.profiles[fn.level];
    ++n;
    w.lib100.Add({{"mprf", p.mprf}, {"vers", p.vers}, {"rele", p.rele}, {"cust", p.cust}, {"fnam", fn.fnam},
                  {"dsca", fn.dsca}, {"lurn", p.owner}, {"ldat", Stamp(40 + n)}, {"fdef", fn.fdef},
                  {"curn", p.owner}, {"stat", "A"},
                  {"comt", "Bibliothek " + p.vers + kCrLf + "abgenommen am " + Stamp(50 + n).substr(0, 10)}});
    for (int r = 1; r <= fn.revisions; ++r)
      w.lib105.Add({{"mprf", p.mprf}, {"vers", p.vers}, {"rele", p.rele}, {"cust", p.cust}, {"fnam", fn.fnam},
                    {"revi", int64_t{r}}, {"rinf", fmt::format("Fassung {}{}von {}", r, kCrLf, p.owner)},
                    {"isid", fmt::format("LIB-{:03}", 10 * n + r)}, {"cdat", Stamp(60 + n + r)},
                    // the import stores every pexp of qzlib105 as 0
                    {"pexp", int64_t{0}}, {"usrn", p.owner}, {"fdef", fn.fdef},
                    {"comt", fmt::format("Revision {}", r)}});
  }
}

}  // namespace

const DemoFacts& Demo() {
  static const DemoFacts facts = MakeFacts();
  return facts;
}

void FillDemoStore(Connection& c, int scale) {
  if (scale < 1) Raise(Ours::Internal, "The demo scale must be 1 or more");
  const DemoFacts& f = Demo();
  Batch b(c);
  {
    Writers w(c);
    WriteSharedData(w, f);
    WriteApplications(w, f, scale);
    WriteProfiles(w, f);
    WriteLibraries(w, f);
    WriteRuleTables(w, f, scale);
    w.Flush();
  }
  b.Commit();
}

void CopySharedReferenceData(Connection& target, Connection& other) {
  Batch b(target);
  for (std::string_view table : {std::string_view("qzlgy115"), std::string_view("qzusr100")}) {
    RowWriter writer(target, table);
    auto rs = other.OpenRecordset(SelectAllRowsInStoredOrder(other.dialect(), table));
    // Columns by name: the other store may order them differently.
    std::vector<int> from;
    for (const auto& col : writer.def().columns) {
      int index = -1;
      for (int i = 0; i < rs->FieldCount(); ++i)
        if (rs->FieldName(i) == col.name) index = i;
      from.push_back(index);
    }
    std::vector<Value> row(from.size());
    for (; !rs->IsEOF(); rs->MoveNext()) {
      for (size_t i = 0; i < from.size(); ++i) row[i] = from[i] < 0 ? Value() : rs->Fields(from[i]);
      writer.AddValues(row);
    }
    writer.Flush();
  }
  b.Commit();
}

}  // namespace kestrel::store
