// The canonical demo store: the rows have the shape the import writes, cover
// every table the export reads, and keep the constraints a round trip relies
// on. Also the copy of shared reference data into a new store.
#include "store/demo_data.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "base/cipher.h"
#include "base/datetime.h"
#include "store/schema.h"
#include "store/statements_export.h"
#include "store/statements_store.h"
#include "support/temp_folder.h"

namespace kestrel::store {
namespace {

using kestrel::testing::TempFolder;

// Columns that hold blocks of lines in the pack; every other column travels
// on one line.
const std::set<std::string_view> kBlockColumns{"prtx", "comt", "txtn", "qury", "mrul", "func",
                                               "rinf", "fdef", "defn", "help"};

class DemoDataTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempFolder;
    conn_ = CreateDemoStore(*dir_ / "demo.db", 1);
  }
  static void TearDownTestSuite() {
    conn_.reset();
    delete dir_;
    dir_ = nullptr;
  }
  Connection& c() { return *conn_; }

  // Every row of a table as name -> value maps.
  std::vector<std::map<std::string, Value>> Rows(std::string_view table, const std::string& where = "") {
    auto rs = c().OpenRecordset("select * from " + std::string(table) + where);
    std::vector<std::map<std::string, Value>> out;
    for (; !rs->IsEOF(); rs->MoveNext()) {
      std::map<std::string, Value> row;
      for (int i = 0; i < rs->FieldCount(); ++i) row[rs->FieldName(i)] = rs->Fields(i);
      out.push_back(std::move(row));
    }
    return out;
  }
  int64_t Count(const std::string& select) { return c().OpenRecordset(select)->Fields(0).Integer(); }

  static inline TempFolder* dir_ = nullptr;
  static inline std::shared_ptr<Connection> conn_;
};

TEST_F(DemoDataTest, ProfilesFormAChainOnOneApplicationPair) {
  const DemoFacts& f = Demo();
  auto apps = Rows("qzddi100", " order by extn");
  ASSERT_EQ(apps.size(), 2u);
  EXPECT_EQ(apps[0]["appl"], Value(f.base_appl));
  EXPECT_EQ(apps[0]["extn"], Value(int64_t{0}));
  EXPECT_EQ(apps[1]["appl"], Value(f.extension_appl));
  EXPECT_EQ(apps[1]["extn"], Value(int64_t{1}));

  auto profiles = Rows("qzmap100", " order by mprf");
  ASSERT_EQ(profiles.size(), 3u);
  for (size_t i = 0; i < profiles.size(); ++i) {
    auto& p = profiles[i];
    const std::string vers = p["vers"].Text();
    EXPECT_EQ(p["sapp"], Value(f.base_appl));
    EXPECT_EQ(p["tapp"], Value(f.extension_appl));
    EXPECT_EQ(p["scme"], Value("Y"));
    EXPECT_EQ(p["deph"], Value(static_cast<int64_t>(i + 1)));
    for (const char* col : {"bsen", "rhos", "busr", "pswd"}) EXPECT_TRUE(p[col].IsNull()) << col;
    if (i == 0) {
      EXPECT_EQ(vers.size(), 3u);  // like X40
      for (const char* col : {"verf", "relf", "cusf"}) EXPECT_EQ(p[col], Value("")) << col;
    } else {
      // Derived profiles are update profiles, numbered above their parent.
      ASSERT_EQ(vers.size(), 4u);
      EXPECT_EQ(vers[3], 'U');
      EXPECT_GT(p["mprf"].Integer(), profiles[i - 1]["mprf"].Integer());
      EXPECT_EQ(p["verf"], profiles[i - 1]["vers"]);
      EXPECT_EQ(p["relf"], profiles[i - 1]["rele"]);
      EXPECT_EQ(p["cusf"], profiles[i - 1]["cust"]);
    }
    // The chain: level 1 the profile itself, then each ancestor, deph rows.
    auto chain = Rows("qzmap101", " where mprf = " + p["mprf"].Text() + " order by levl");
    ASSERT_EQ(chain.size(), i + 1);
    for (size_t level = 0; level <= i; ++level) {
      auto& a = profiles[i - level];
      EXPECT_EQ(chain[level]["levl"], Value(static_cast<int64_t>(level + 1)));
      EXPECT_EQ(chain[level]["pprf"], a["mprf"]);
      EXPECT_EQ(chain[level]["vers"], a["vers"]);
      EXPECT_EQ(chain[level]["cust"], a["cust"]);
    }
    // The development VRC as the import derives it.
    auto dev = Rows("qzmap105", " where mprf = " + p["mprf"].Text());
    ASSERT_EQ(dev.size(), 1u);
    EXPECT_EQ(dev[0]["vers"], p["vers"]);
    EXPECT_EQ(dev[0]["dver"], Value("d" + vers.substr(1)));
    EXPECT_EQ(dev[0]["drel"], p["rele"]);
    EXPECT_EQ(dev[0]["dcus"], Value("d" + p["cust"].Text().substr(1)));
  }
}

TEST_F(DemoDataTest, OwnersAreEncipheredAndAssigned) {
  const DemoFacts& f = Demo();
  auto users = c().OpenRecordset(SelectAllRowsInStoredOrder("qzusr100"));
  std::vector<std::string> stored;
  for (; !users->IsEOF(); users->MoveNext()) stored.push_back(users->Fields("usrn").Text());
  EXPECT_EQ(stored, f.users);

  for (const DemoProfile& p : f.profiles) {
    auto h = c().OpenRecordset(SelectSingleProfileHeader(Dialect::Sqlite, p.mprf));
    const std::string ownr = h->Fields(12).Text();
    EXPECT_NE(ownr, p.owner);
    EXPECT_EQ(CipherField(ownr, false), p.owner);
    EXPECT_TRUE(cipher::IsSafeForStore(ownr));
    EXPECT_EQ(Count("select count(*) from qzusr110 where cast(usrn as text) = '" + p.owner +
                    "' and cast(mprf as int) = " + std::to_string(p.mprf)),
              1);
    EXPECT_EQ(Count("select count(*) from qzusr100 where cast(usrn as text) = '" + p.owner + "'"), 1);
  }
}

TEST_F(DemoDataTest, ApplicationTablesFollowTheApplicationsKind) {
  const DemoFacts& f = Demo();
  const std::set<std::string_view> base{"qzddi100", "qzddi101", "qzlgy140", "qzlgy141", "qzlgy150"};
  const std::set<std::string_view> extension{"qzddi100", "qzddi140", "qzddi150", "qzddi160",
                                             "qzddi200", "qzddi220", "qzddi230"};
  for (std::string_view table : ApplicationTables()) {
    int64_t b = Count("select count(*) from " + std::string(table) + " where appl = '" + f.base_appl + "'");
    int64_t x = Count("select count(*) from " + std::string(table) + " where appl = '" + f.extension_appl + "'");
    EXPECT_EQ(b > 0, base.count(table) > 0) << table;
    EXPECT_EQ(x > 0, extension.count(table) > 0) << table;
  }
  EXPECT_EQ(Count("select count(*) from qzddi140"), f.objects_per_unit);
  EXPECT_GT(Count("select count(*) from qzlgy115"), 0);
  EXPECT_GT(Count("select count(*) from qzmap150"), 0);
}

TEST_F(DemoDataTest, RulesLieAtDifferentLevels) {
  const DemoFacts& f = Demo();
  // Per mapping object: the set of profiles whose own VRC has qzmap120 rules.
  std::map<std::string, std::set<int64_t>> levels;
  for (auto& r : Rows("qzmap120")) {
    bool own_vrc = false;
    for (const auto& p : f.profiles)
      if (r["mprf"] == Value(p.mprf) && r["vers"] == Value(p.vers) && r["cust"] == Value(p.cust)) own_vrc = true;
    if (own_vrc) levels[r["tcpac"].Text() + r["tcmod"].Text() + r["tflno"].Text()].insert(r["mprf"].Integer());
  }
  int only_root = 0, redefined = 0, only_below = 0;
  for (const auto& [object, at] : levels) {
    only_root += at == std::set<int64_t>{10};
    redefined += at.count(10) && at.size() > 1;
    only_below += !at.count(10);
  }
  EXPECT_GT(only_root, 0);
  EXPECT_GT(redefined, 0);
  EXPECT_GT(only_below, 0);
  EXPECT_EQ(static_cast<int>(levels.size()), f.objects_per_unit - f.objects_without_rules_per_unit);

  // Every rule table holds rows at more than one level, every revision table
  // holds rows, and qzmap110 carries pexp 0 and 1.
  for (std::string_view table : RuleTables())
    EXPECT_GT(Count("select count(distinct mprf) from " + std::string(table)), 1) << table;
  EXPECT_EQ(Count("select count(distinct pexp) from qzmap110"), 2);
}

TEST_F(DemoDataTest, OnlyAFewRulesLieInDevelopmentVrcs) {
  const DemoFacts& f = Demo();
  std::vector<int64_t> all{30, 20, 10};
  int64_t excluded = 0;
  for (std::string_view table : {"qzmap120", "qzmap130", "qzmap140", "qzmap160", "qzmap170"}) {
    int64_t every = 0, kept = 0;
    for (auto rs = c().OpenRecordset(SelectCurrentRules(Dialect::Sqlite, table, all, false)); !rs->IsEOF();
         rs->MoveNext())
      ++every;
    for (auto rs = c().OpenRecordset(SelectCurrentRules(Dialect::Sqlite, table, all, true)); !rs->IsEOF();
         rs->MoveNext())
      ++kept;
    EXPECT_GT(kept, 0) << table;
    excluded += every - kept;
  }
  EXPECT_GE(excluded, 2);
  EXPECT_LE(excluded, 5);
  // Every other rule, revision and library row is under its own profile's VRC.
  std::vector<std::string_view> tables(RuleTables().begin(), RuleTables().end());
  tables.push_back("qzlib100");
  tables.push_back("qzlib105");
  int64_t foreign = 0;
  for (std::string_view table : tables)
    for (auto& r : Rows(table)) {
      const DemoProfile* own = nullptr;
      for (const auto& p : f.profiles)
        if (r["mprf"] == Value(p.mprf)) own = &p;
      ASSERT_NE(own, nullptr) << table;
      bool vrc = r["vers"] == Value(own->vers) && r["rele"] == Value(own->rele) && r["cust"] == Value(own->cust);
      bool dev = r["vers"] == Value(own->dver) && r["rele"] == Value(own->drel) && r["cust"] == Value(own->dcus);
      EXPECT_TRUE(vrc || dev) << table;
      foreign += dev;
    }
  EXPECT_EQ(foreign, excluded);
}

TEST_F(DemoDataTest, LibraryFunctionRedefinedInAChild) {
  auto versions = c().OpenRecordset(
      SelectLibraryFunctionVersions(Dialect::Sqlite, "fnCalcTax", std::vector<int64_t>{30, 20, 10}));
  ASSERT_FALSE(versions->IsEOF());
  EXPECT_EQ(versions->Fields("mprf"), Value(int64_t{20}));
  versions->MoveNext();
  ASSERT_FALSE(versions->IsEOF());
  EXPECT_EQ(versions->Fields("mprf"), Value(int64_t{10}));
  EXPECT_GT(Count("select count(*) from qzlib105 where fnam = 'fnCalcTax' and mprf = 20"), 0);
}

TEST_F(DemoDataTest, ValuesHaveTheFormsAPackCarries) {
  const std::regex date(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");
  bool non_ascii = false;
  std::set<std::string> multi_line;
  for (const TableDef& t : Tables()) {
    const bool row_file = t.name == "qzmap100" || t.name == "qzmap101" || t.name == "qzmap105" ||
                          t.name == "qzlgy115" || t.name.substr(0, 5) == "qzddi" || t.name.substr(0, 5) == "qzlgy";
    for (auto& r : Rows(t.name))
      for (auto& [col, v] : r) {
        const std::string where = std::string(t.name) + "." + col;
        if (v.IsNull()) {
          // Only what the import leaves unset is NULL.
          const bool allowed = (t.name == "qzmap100" && (col == "bsen" || col == "rhos" || col == "busr" ||
                                                         col == "pswd")) ||
                               (t.name == "qzmap120" && (col == "logn" || col == "comt"));
          EXPECT_TRUE(allowed) << where;
          continue;
        }
        if (col == "ldat" || col == "sdat" || col == "cdat" || col == "crdt") {
          EXPECT_TRUE(std::regex_match(v.Text(), date) && ParseDateTime(v.Text())) << where << " " << v.Text();
        }
        if (!v.IsText() || col == "ownr" || col == "usrn") continue;
        const std::string& s = *v.AsText();
        for (unsigned char ch : s) non_ascii |= ch >= 0x80;
        EXPECT_EQ(s.find('\x01'), std::string::npos) << where;
        const bool block = kBlockColumns.count(col) && !row_file;
        if (block) {
          if (s.find("\r\n") != std::string::npos) multi_line.insert(col);
          EXPECT_NE(s.substr(0, 2), "\r\n") << where;  // no leading empty line
          EXPECT_EQ(s.find('\n'), s.find("\r\n") == std::string::npos ? std::string::npos : s.find("\r\n") + 1)
              << where;  // only CR LF breaks lines
        } else {
          EXPECT_EQ(s.find_first_of("\r\n"), std::string::npos) << where;
          if (!s.empty()) {
            EXPECT_NE(s.front(), ' ') << where;
            EXPECT_NE(s.back(), ' ') << where;
          }
        }
      }
  }
  EXPECT_TRUE(non_ascii);
  for (const char* col : {"prtx", "qury", "comt", "txtn", "fdef"}) EXPECT_TRUE(multi_line.count(col)) << col;
  // Some qzmap120 comments are NULL, some are set; isms never is NULL.
  EXPECT_GT(Count("select count(*) from qzmap120 where comt is null"), 0);
  EXPECT_GT(Count("select count(*) from qzmap120 where comt is not null"), 0);
  EXPECT_EQ(Count("select count(*) from qzmap120 where logn is not null"), 0);
}

TEST(DemoScaleTest, ScaleMultipliesRulesAndApplicationRows) {
  TempFolder dir;
  auto one = CreateDemoStore(dir / "one.db", 1);
  auto three = CreateDemoStore(dir / "three.db", 3);
  std::map<std::string_view, int64_t> n1, n3;
  for (auto [t, n] : RowCounts(*one)) n1[t] = n;
  for (auto [t, n] : RowCounts(*three)) n3[t] = n;
  for (std::string_view t : {"qzddi140", "qzddi150", "qzlgy141", "qzmap110", "qzmap125", "qzmap175"})
    EXPECT_EQ(n3[t], 3 * n1[t]) << t;
  // The few development rows and the shared data do not grow.
  EXPECT_EQ(n3["qzmap120"], 3 * (n1["qzmap120"] - 2) + 2);
  for (std::string_view t : {"qzmap100", "qzmap101", "qzlib100", "qzlgy115", "qzusr100", "qzmap150"})
    EXPECT_EQ(n3[t], n1[t]) << t;
}

TEST(SharedDataTest, CopiesCodesAndUsersInTheirOrder) {
  TempFolder dir;
  auto demo = CreateDemoStore(dir / "demo.db", 1);
  // Users added later come later, whatever their names.
  demo->Execute("insert into qzusr100 (usrn, dsca) values (cast('aaron' as blob), 'added last')");
  auto target = CreateStore(dir / "second.db");
  CopySharedReferenceData(*target, *demo);

  for (std::string_view table : {"qzlgy115", "qzusr100"}) {
    auto a = demo->OpenRecordset(SelectAllRowsInStoredOrder(table));
    auto b = target->OpenRecordset(SelectAllRowsInStoredOrder(table));
    std::string sa = a->GetString(-1, "\x01", "\r\n");
    EXPECT_FALSE(sa.empty());
    EXPECT_EQ(b->GetString(-1, "\x01", "\r\n"), sa) << table;
  }
  auto types = target->OpenRecordset("select typeof(usrn) from qzusr100");
  EXPECT_EQ(types->Fields(0), Value("blob"));
  int64_t others = 0;
  for (auto [t, n] : RowCounts(*target))
    if (t != "qzlgy115" && t != "qzusr100") others += n;
  EXPECT_EQ(others, 0);
}

}  // namespace
}  // namespace kestrel::store
