// The loaders of rules and the function library on pack files written by the
// pack writers: the per-file reading, trimming and converting rules, stored
// rows kept or updated, and what a failure leaves in the store (committed
// batches only).
#include <gmock/gmock.h>

#include <functional>

#include "base/error.h"
#include "import_fixture.h"
#include "importer/loaded_records.h"
#include "importer/loaders.h"
#include "pack/component_text.h"
#include "pack/record_writer.h"
#include "store/open.h"
#include "store/saved_rows.h"
#include "support/error_of.h"

namespace kestrel::testing {
namespace {

using namespace kestrel::importer;
using ::testing::AllOf, ::testing::HasSubstr, ::testing::StartsWith;
using pack::NamedValues;
using Table = std::vector<std::vector<std::string>>;

const std::string kCurrentHead = "Unspecified Error : --LoadToMAP120_130_140_160-- ";
const std::string kRevisionHead = "Unspecified Error : --LoadToMAP110_125_135_145_165-- ";

// A value for every column of a layout as an export writes a realistic row;
// `overrides` replace single columns.
NamedValues Record(const pack::TaggedLayout& layout, std::initializer_list<std::pair<std::string_view, Value>> overrides = {}) {
  static const std::map<std::string_view, Value> kValues = {
      {"mprf", 40}, {"vers", "X40"}, {"rele", "c"}, {"cust", "ab1"}, {"dnum", "2"}, {"type", "2"}, {"revi", "2"},
      {"ldat", "2024-03-14 13:05:09"}, {"sdat", "2024-03-14 13:05:09"}, {"cdat", "2024-03-14 13:05:09"}, {"pexp", "1"},
      {"isms", "N"}, {"logn", "asmith"}, {"lusr", "asmith"}, {"tcpac", "SALES"}, {"tcmod", "ORDHDR"}, {"tflno", "0010"},
      {"fnam", "fnCalcTax"}};
  NamedValues row;
  for (const auto& f : layout.fields) {
    auto known = kValues.find(f.column);
    row.Set(f.column, known != kValues.end() ? known->second : Value(std::string(f.column) + " of " + std::string(layout.table)));
  }
  for (const auto& [c, v] : overrides) row.Set(c, v);
  return row;
}

class LoaderTest : public ImportFixture {
 protected:
  void SetUp() override {
    ImportFixture::SetUp();
    Renew("a");
  }
  // A new store and pack; pack profiles 40 and 31 become 12 and 7, and the
  // header map lists the header file's lines last first, as the import leaves it.
  void Renew(const std::string& name) {
    Fresh(name);
    s_->o.LastModifiedUser = "jdoe";
    s_->r.Plan = MakePlan({{40, 12}, {31, 7}});
    s_->r.HeaderMap = {"7_X31_b_zz1", "12_X50_d_cd2"};
    for (const auto* l : kCurrentRuleFiles) Write(*l, {});
    for (const auto* l : kRevisionRuleFiles) Write(*l, {});
  }
  void Write(const pack::TaggedLayout& layout, const std::vector<NamedValues>& rows, pack::RecordOptions options = {}) {
    auto out = files::TextWriter::Create(Env::Default(), files::Join(s_->o.Path, layout.file));
    pack::TaggedRecordWriter writer(layout, *out, options);
    for (const auto& row : rows) writer.Write(row);
    out->Close();
  }
  void WriteLines(const std::string& file, const std::vector<std::string>& lines) {
    WriteFile(s_->o.Path + "/" + file, RowLines({lines}, "\r\n"));
  }
  bool LoadCurrent() {
    return Recorded([&] { LoadToMAP120_130_140_160(s_->Planned(), s_->r.HeaderMap, s_->cx); });
  }
  bool LoadRevisions() {
    return Recorded([&] { LoadToMAP110_125_135_145_165(s_->Planned(), s_->r.HeaderMap, s_->cx); });
  }
  void LoadLibrary() { LoadLibraryFiles(s_->Planned(), s_->r.HeaderMap, s_->cx); }
  // The rows a second connection counts: what is committed.
  int64_t Committed(const std::string& table) const {
    return StoreBuilder(store::Open(store_->connection()->location())).Count("select count(*) from " + table);
  }
};

TEST_F(LoaderTest, ValuesAreTrimmedConvertedAndDatedByTheLoadersRules) {
  s_->env.FixTime(DateTime{2025, 1, 2, 8, 30, 0});
  Write(pack::kQzmap120, {Record(pack::kQzmap120, {{"tflno", "0010"}, {"ldat", "3/14/2024 1:05:09 PM"}, {"prtx", "\r\na\r\n"},
                                                   {"comt", "  \r\n \r\n"}, {"txtn", "123"}, {"stat", " A "},
                                                   {"vari", " V1 \r\n  V2 "}, {"stbl", " T1 "}, {"isms", Value()}}),
                          Record(pack::kQzmap120, {{"tflno", "0020"}, {"ldat", "2023-11-30 23:59:59"}, {"prtx", "\r\n  b"},
                                                   {"comt", "\r\nx\r\n\r\ny"}, {"txtn", Value()}})});
  Write(pack::kQzmap130, {Record(pack::kQzmap130, {{"qury", "\r\n\r\nselect 1\r\n"}, {"icod", " I "}})});
  Write(pack::kQzmap140, {Record(pack::kQzmap140, {{"dnum", "17"}, {"type", " 3 "}})});
  Write(pack::kQzmap160, {Record(pack::kQzmap160, {{"func", "IF(A,B)\r\nEND"}})});
  ASSERT_TRUE(LoadCurrent()) << s_->r.Error.text();
  // The mapping object export leaves the :LDAT: line out: the time of loading.
  Write(pack::kQzmap120, {Record(pack::kQzmap120, {{"tflno", "0030"}})}, {.with_ldat = false});
  Write(pack::kQzmap130, {}), Write(pack::kQzmap140, {}), Write(pack::kQzmap160, {});
  ASSERT_TRUE(LoadCurrent()) << s_->r.Error.text();
  // Packs not for synchronisation take the importing user.
  EXPECT_EQ(store_->Rows("select tflno, ldat, prtx, comt, txtn, stat, vari, stbl, isms, logn, lusr from qzmap120"),
            (Table{{"0010", "2024-03-14 13:05:09", "a\r\n", "NULL", "123", "A", "V1\r\n  V2 ", "T1", "0", "NULL", "jdoe"},
                   {"0020", "2023-11-30 23:59:59", "  b", "x\r\n\r\ny", "", "stat of qzmap120", "vari of qzmap120",
                    "stbl of qzmap120", "N", "NULL", "jdoe"},
                   {"0030", "2025-01-02 08:30:00", "prtx of qzmap120", "comt of qzmap120", "txtn of qzmap120",
                    "stat of qzmap120", "vari of qzmap120", "stbl of qzmap120", "N", "NULL", "jdoe"}}));
  EXPECT_EQ(store_->Rows("select qury, icod from qzmap130"), (Table{{"select 1\r\n", "I"}}));
  EXPECT_EQ(store_->Rows("select dnum, type from qzmap140"), (Table{{"17", "3"}}));
  EXPECT_EQ(store_->Rows("select func from qzmap160"), (Table{{"IF(A,B)\r\nEND"}}));

  store_->Exec("delete from qzmap120");
  s_->r.Manifest.for_sync = true;
  Write(pack::kQzmap120, {Record(pack::kQzmap120, {{"isms", " Y "}, {"logn", " asmith "}, {"lusr", "bjones "}})}, {.for_sync = true});
  ASSERT_TRUE(LoadCurrent()) << s_->r.Error.text();
  EXPECT_EQ(store_->Rows("select isms, logn, lusr from qzmap120"), (Table{{"Y", "asmith", "bjones"}}));
  // An isms line without its tag is taken whole.
  store_->Exec("delete from qzmap120");
  s_->r.Manifest.for_sync = false;
  WriteLines("Qzmap120.dat", {"MO", ":MPRF:40", ":VERS:X40", ":RELE:c", ":CUST:ab1", ":TCPAC:SALES", ":TCMOD:ORDHDR",
                              ":TFLNO:0010", ":LDAT:2024-03-14 13:05:09", ":PRTX:START", "rule", ":PRTX:END", ":STAT:A",
                              ":VARI:V", ":STBL:T", ":COMT:START", "", ":COMT:END", ":TEXT:", "t", ":TEXT:END", " N "});
  ASSERT_TRUE(LoadCurrent()) << s_->r.Error.text();
  EXPECT_EQ(store_->Rows("select isms, prtx from qzmap120"), (Table{{" N ", "rule"}}));

  Write(pack::kQzmap110, {Record(pack::kQzmap110, {{"tflno", "0010"}, {"pexp", "0"}, {"sdat", "3/14/2024"}}),
                          Record(pack::kQzmap110, {{"tflno", "0020"}, {"pexp", "1"}, {"revi", " 4 "}}),
                          Record(pack::kQzmap110, {{"tflno", "0030"}, {"pexp", "2"}})});
  Write(pack::kQzmap125, {Record(pack::kQzmap125, {{"isms", Value()}, {"vari", " V1\r\nV2 "}, {"logn", " asmith "},
                                                   {"comt", ""}, {"prtx", "\r\nrule"}})});
  Write(pack::kQzmap145, {Record(pack::kQzmap145, {{"dnum", "-5"}, {"type", "7"}, {"csta", " C "}})});
  // The single-profile export names the last revision file with a capital.
  std::filesystem::remove(s_->o.Path + "/qzmap175.dat");
  Write(pack::kQzmap175, {Record(pack::kQzmap175, {{"revi", "9"}, {"logn", " asmith "}})});
  std::filesystem::rename(s_->o.Path + "/qzmap175.dat", s_->o.Path + "/Qzmap175.dat");
  ASSERT_TRUE(LoadRevisions()) << s_->r.Error.text();
  EXPECT_EQ(store_->Rows("select tflno, revi, pexp, sdat from qzmap110"),
            (Table{{"0010", "2", "0", "2024-03-14 00:00:00"}, {"0020", "4", "1", "2024-03-14 13:05:09"},
                   {"0030", "2", "NULL", "2024-03-14 13:05:09"}}));
  EXPECT_EQ(store_->Rows("select isms, vari, logn, comt, prtx from qzmap125"),
            (Table{{"0", "V1\r\nV2", "asmith", "", "\r\nrule"}}));
  EXPECT_EQ(store_->Rows("select dnum, type, csta from qzmap145"), (Table{{"-5", "7", "C"}}));
  EXPECT_EQ(store_->Rows("select revi, logn from qzmap175"), (Table{{"9", "asmith"}}));
  EXPECT_EQ(store_->Count("select (select count(*) from qzmap135) + (select count(*) from qzmap165)"), 0);
}

TEST_F(LoaderTest, AFailureNamesItsCauseAndLeavesTheRowsBeforeIt) {
  // Each row spoils the pack or the store and names the loader's head, what follows it, more the
  // description holds, and a table with how many of its rows are committed.
  using Spoil = std::function<void()>;
  const std::vector<std::tuple<Spoil, std::string, std::string, std::string, std::string, int64_t>> rows = {
      {[&] { Write(pack::kQzmap120, {Record(pack::kQzmap120)}), std::filesystem::remove(s_->o.Path + "/Qzmap140.dat"); },
       kCurrentHead, "53   File not found", "", "qzmap120", 1},
      {[&] { store_->Exec("create trigger refuse_bad before insert on qzmap130 when new.icod = 'BAD' begin "
                          "select raise(abort, 'icod BAD is refused'); end");
             Write(pack::kQzmap130, {Record(pack::kQzmap130, {{"icod", "I1"}}), Record(pack::kQzmap130, {{"icod", "BAD"}})}); },
       kCurrentHead, "1811   icod BAD is refused", "", "qzmap130", 1},
      {[&] { WriteLines("Qzmap160.dat", {"FUNC160", ":MPRF:40", ":VERS:X40", ":RELE:c", ":CUST:ab1", ":TCPAC:S", ":TCMOD:M",
                                          ":TFLNO:1", ":FUNC:START", "f", ":FUNC:END", ":TEXT:", "", ":TEXT:END", ""}); },
       kCurrentHead, "9008   ", "Qzmap160.dat, line 15", "qzmap160", 1},
      {[&] { s_->cx.DataConnection.reset(); },
       kRevisionHead, "91   Object variable or With block variable not set", "", "qzmap110", 0},
  };
  for (const auto& [spoil, head, text, also, counted, committed] : rows) {
    SCOPED_TRACE(text);
    Renew("fail" + counted);
    spoil();
    EXPECT_FALSE(head == kRevisionHead ? LoadRevisions() : LoadCurrent());
    EXPECT_EQ(s_->r.Error.number(), 899);
    EXPECT_THAT(pack::ComponentDescription(s_->r.Error.value()), AllOf(StartsWith(head + text), HasSubstr(also)));
    EXPECT_EQ(Committed(counted), committed);
    EXPECT_FALSE((*store_)->InTransaction());
  }
}

TEST_F(LoaderTest, RowsOfCommittedBatchesStayAndACallersTransactionIsNeverCommitted) {
  // More rows than one batch holds, so that rows of a committed batch and of
  // the open one both come before the failure.
  const int before = static_cast<int>(store::SavedRows::kRowsPerBatch) + 3;
  std::vector<NamedValues> records;
  for (int i = 0; i < before; ++i) records.push_back(Record(pack::kQzmap140, {{"fdnm", "F" + std::to_string(i)}}));
  records.push_back(Record(pack::kQzmap140, {{"fdnm", "BAD"}, {"type", "T"}}));
  records.push_back(Record(pack::kQzmap140, {{"fdnm", "AFTER"}}));
  Write(pack::kQzmap140, records);
  EXPECT_FALSE(LoadCurrent());
  EXPECT_EQ(pack::ComponentDescription(s_->r.Error.value()), kCurrentHead + "13   Type mismatch");
  EXPECT_EQ(Committed("qzmap140"), before);
  EXPECT_EQ(Committed("qzmap140 where fdnm in ('BAD', 'AFTER')"), 0);

  Write(pack::kQzmap140, {});
  Write(pack::kQzmap120, {Record(pack::kQzmap120, {{"tcpac", "O'BRIEN"}, {"txtn", "it's"}})});
  s_->r.HeaderMap = {"7_X31_b_zz1", "12_X'5_d'_c'd"};
  (*store_)->Execute("begin");
  ASSERT_TRUE(LoadCurrent()) << s_->r.Error.text();
  EXPECT_TRUE((*store_)->InTransaction());
  EXPECT_EQ(store_->Rows("select vers, rele, cust, tcpac, txtn from qzmap120"),
            (Table{{"X'5", "d'", "c'd", "O'BRIEN", "it's"}}));
  (*store_)->Execute("rollback");
  EXPECT_EQ(store_->Count("select count(*) from qzmap120"), 0);
}

// A Qzlib105.dat record as lines, for values the writer's fixed ":PEXP:0" line cannot carry.
std::vector<std::string> RevisionLines(const std::string& fnam, const std::string& revi, const std::string& pexp) {
  return {"FUNC", ":MPRF:40", ":VERS:X40", ":RELE:c", ":CUST:ab1", ":FNAM:" + fnam, ":REVI:" + revi, ":RINF:START", "reason",
          ":RINF:END", ":ISID:I1", ":CDAT:1/2/2024 8:00:00 AM", ":PEXP:" + pexp, ":USRN:asmith", ":FDEF:START", "body",
          ":FDEF:END", ":COMT:START", "", ":COMT:END"};
}

// A store another program made may give a column a default: a record that
// leaves the column unset gets it, however the records before and after it
// set their columns.
TEST_F(LoaderTest, AColumnARecordLeavesUnsetKeepsTheTablesDefault) {
  std::string columns;
  for (const auto& c : store_->connection()->Columns("qzmap120"))
    columns += (columns.empty() ? "" : ", ") + c.name + (c.name == "comt" ? " text default 'none given'" : "");
  (*store_)->ExecuteScript("drop table qzmap120; create table qzmap120 (" + columns + ")");
  // A blank comment leaves the column unset.
  std::vector<NamedValues> records;
  for (const auto& [tcpac, comt] : {std::pair{"P1", "Checked"}, {"P2", ""}, {"P3", " "}, {"P4", "Checked"}, {"P5", ""}})
    records.push_back(Record(pack::kQzmap120, {{"tcpac", tcpac}, {"comt", comt}}));
  Write(pack::kQzmap120, records);
  ASSERT_TRUE(LoadCurrent()) << s_->r.Error.text();
  EXPECT_EQ(store_->Rows("select tcpac, comt, isms from qzmap120 order by tcpac"),
            (Table{{"P1", "Checked", "N"}, {"P2", "none given", "N"}, {"P3", "none given", "N"}, {"P4", "Checked", "N"},
                   {"P5", "none given", "N"}}));
}

TEST_F(LoaderTest, LibraryFunctionsAreUpdatedByKeyOrAddedAndRevisionsComeOnlyWithRevisionInformation) {
  store_->Exec("insert into qzlib100 (mprf, vers, rele, cust, fnam, dsca) values (12, 'X50', 'd', 'cd2', 'fnCalcTax', "
               "'stored'), (12, 'X50', 'd', 'cd2', 'fnKeep', 'kept'), (12, 'X49', 'd', 'cd2', 'fnCalcTax', 'other VRC')");
  Write(pack::kQzlib100, {Record(pack::kQzlib100, {{"dsca", "loaded"}, {"ldat", "3/14/2024 1:05:09 PM"}, {"stat", " A "}}),
                          Record(pack::kQzlib100, {{"mprf", 31}, {"fnam", "fn'Round"}, {"fdef", "x = 1\r\ny = 2"}}),
                          Record(pack::kQzlib100, {{"mprf", 99}, {"fnam", "fnOther"}})});
  LoadLibrary();
  EXPECT_EQ(store_->Rows("select mprf, vers, rele, cust, fnam, dsca, ldat, stat, fdef from qzlib100"),
            (Table{{"0", "X40", "c", "ab1", "fnOther", "dsca of qzlib100", "2024-03-14 13:05:09", "stat of qzlib100",
                    "fdef of qzlib100"},
                   {"12", "X49", "d", "cd2", "fnCalcTax", "other VRC", "NULL", "NULL", "NULL"},
                   {"12", "X50", "d", "cd2", "fnCalcTax", "loaded", "2024-03-14 13:05:09", "A", "fdef of qzlib100"},
                   {"12", "X50", "d", "cd2", "fnKeep", "kept", "NULL", "NULL", "NULL"},
                   {"7", "X31", "b", "zz1", "fn'Round", "dsca of qzlib100", "2024-03-14 13:05:09", "stat of qzlib100",
                    "x = 1\r\ny = 2"}}));
  Write(pack::kQzlib100, {Record(pack::kQzlib100, {{"mprf", 31}, {"fnam", "fn'Round"}, {"dsca", "isn't"}})});
  LoadLibrary();
  EXPECT_EQ(store_->Rows("select dsca from qzlib100 where mprf = 7"), (Table{{"isn't"}}));

  EXPECT_EQ(store_->Count("select count(*) from qzlib105"), 0);  // without revision information Qzlib105.dat is not even looked for
  s_->r.Manifest.revisions = true;
  EXPECT_EQ(ErrorOf([&] { LoadLibrary(); }), rt::FileNotFound);
  store_->Exec("insert into qzlib105 (mprf, vers, rele, cust, fnam, revi, usrn) values (12, 'X50', 'd', 'cd2', 'fnCalcTax', 3, "
               "'old'), (12, 'X50', 'd', 'cd2', 'fnCalcTax', 5, 'old')");
  std::vector<std::string> lines = RevisionLines("fnCalcTax", "3.7", "0");  // found by its number rounded down
  for (const auto& more : {RevisionLines("fnCalcTax", "4", "1"), RevisionLines("fnRound", "-1.5", "True")})
    lines.insert(lines.end(), more.begin(), more.end());
  WriteLines("Qzlib105.dat", lines);
  LoadLibrary();
  EXPECT_EQ(store_->Rows("select fnam, revi, pexp, cdat, rinf, isid, usrn, fdef, comt from qzlib105"),
            (Table{{"fnCalcTax", "3", "0", "2024-01-02 08:00:00", "reason", "I1", "asmith", "body", ""},
                   {"fnCalcTax", "4", "1", "2024-01-02 08:00:00", "reason", "I1", "asmith", "body", ""},
                   {"fnCalcTax", "5", "NULL", "NULL", "NULL", "NULL", "old", "NULL", "NULL"},
                   {"fnRound", "-2", "1", "2024-01-02 08:00:00", "reason", "I1", "asmith", "body", ""}}));
  WriteLines("Qzlib105.dat", RevisionLines("fnCalcTax", "1", "maybe"));
  EXPECT_EQ(ErrorOf([&] { LoadLibrary(); }), rt::TypeMismatch);
  // A failure raises to the caller and keeps the rows before it.
  store_->Exec("delete from qzlib100");
  Write(pack::kQzlib100, {Record(pack::kQzlib100, {{"fnam", "fnA"}}), Record(pack::kQzlib100, {{"fnam", "fnB"}}),
                          Record(pack::kQzlib100, {{"mprf", 40000}}), Record(pack::kQzlib100)});
  EXPECT_EQ(ErrorOf([&] { LoadLibrary(); }), rt::Overflow);
  EXPECT_EQ(Committed("qzlib100"), 2);
  EXPECT_FALSE((*store_)->InTransaction());
}

}  // namespace
}  // namespace kestrel::testing
