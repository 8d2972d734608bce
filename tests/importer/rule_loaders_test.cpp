// The rule table loaders on whole pack files written by the pack writers:
// renumbering and VRC replacement, the development VRC of current rules, the
// per-file reading rules, conversions and their failures, and what a failure
// leaves in the store.
#include <gtest/gtest.h>

#include "base/datetime.h"
#include "base/error.h"
#include "importer/loader_fixture.h"
#include "store/open.h"
#include "importer/loaders.h"
#include "store/saved_rows.h"
#include "import_parts.h"

namespace kestrel::importer {
namespace {

using testing::ImportParts;

using pack::NamedValues;
using testing::Record;
using Table = std::vector<std::vector<std::string>>;

constexpr std::string_view kCurrentHead = "Unspecified Error : --LoadToMAP120_130_140_160-- ";
constexpr std::string_view kRevisionHead = "Unspecified Error : --LoadToMAP110_125_135_145_165-- ";

class RuleLoaderTest : public testing::LoaderFixture {
 protected:
  void SetUp() override {
    LoaderFixture::SetUp();
    // Pack profiles 40 and 31 become 12 and 7; the header map lists the
    // header file's lines last first, as the import leaves it.
    SetPlan({{40, 12}, {31, 7}});
    s_.r.HeaderMap = {"7_X31_b_zz1", "12_X50_d_cd2"};
    WriteEmpty(kCurrentRuleFiles);
    WriteEmpty(kRevisionRuleFiles);
  }

  bool LoadCurrent() { return LoadToMAP120_130_140_160(s_.Planned(), s_.r.HeaderMap, s_.cx, s_.r.Error); }
  bool LoadRevisions() { return LoadToMAP110_125_135_145_165(s_.Planned(), s_.r.HeaderMap, s_.cx, s_.r.Error); }

  Table Identities(const std::string& table) {
    return Rows("select mprf, vers, rele, cust from " + table + " order by mprf, vers");
  }
};

TEST_F(RuleLoaderTest, CurrentRulesTakeTheChosenNumberAndTheVrcOfTheirProfile) {
  Write(pack::kQzmap120, {Record(pack::kQzmap120, {{"mprf", 40}, {"tflno", "0010"}}),
                          Record(pack::kQzmap120, {{"mprf", 31}, {"tflno", "0020"}})});
  Write(pack::kQzmap130, {Record(pack::kQzmap130, {{"mprf", 31}})});
  Write(pack::kQzmap140, {Record(pack::kQzmap140, {{"mprf", 40}, {"dnum", "17"}, {"type", " 3 "}})});
  Write(pack::kQzmap160, {Record(pack::kQzmap160, {{"mprf", 40}, {"func", "IF(A,B)\r\nEND"}})});
  Write(pack::kQzmap170, {Record(pack::kQzmap170, {{"mprf", 31}})});
  ASSERT_TRUE(LoadCurrent()) << s_.r.Error.ErrorDescription;

  EXPECT_EQ(Identities("qzmap120"), (Table{{"7", "X31", "b", "zz1"}, {"12", "X50", "d", "cd2"}}));
  EXPECT_EQ(Rows("select tflno from qzmap120 order by mprf"), (Table{{"0020"}, {"0010"}}));
  EXPECT_EQ(Identities("qzmap130"), (Table{{"7", "X31", "b", "zz1"}}));
  EXPECT_EQ(Rows("select mprf, vers, dnum, type, fdnm, mrul, stat from qzmap140"),
            (Table{{"12", "X50", "17", "3", "fdnm of qzmap140", "mrul of qzmap140", "stat of qzmap140"}}));
  EXPECT_EQ(Rows("select mprf, func, txtn from qzmap160"), (Table{{"12", "IF(A,B)\r\nEND", "txtn of qzmap160"}}));
  EXPECT_EQ(Rows("select mprf, cust, bpac, bmod, bflno, cpac, cmod, cflno from qzmap170"),
            (Table{{"7", "zz1", "bpac of qzmap170", "bmod of qzmap170", "bflno of qzmap170", "cpac of qzmap170",
                   "cmod of qzmap170", "cflno of qzmap170"}}));
  EXPECT_EQ(s_.r.Error.ErrorNumber, 0);
}

TEST_F(RuleLoaderTest, AProfileOutsideThePlanIsStoredAsZeroAndKeepsItsVrc) {
  Write(pack::kQzmap120, {Record(pack::kQzmap120, {{"mprf", 99}, {"vers", "Q1"}, {"rele", "a"}, {"cust", "k9"}})});
  Write(pack::kQzmap125, {Record(pack::kQzmap125, {{"mprf", 99}, {"vers", "Q1"}})});
  ASSERT_TRUE(LoadCurrent()) << s_.r.Error.ErrorDescription;
  ASSERT_TRUE(LoadRevisions()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Identities("qzmap120"), (Table{{"0", "Q1", "a", "k9"}}));
  EXPECT_EQ(Identities("qzmap125"), (Table{{"0", "Q1", "c", "ab1"}}));
}

TEST_F(RuleLoaderTest, WithAnEmptyHeaderMapRecordsKeepTheirFileVrc) {
  s_.r.HeaderMap = {};
  Write(pack::kQzmap130, {Record(pack::kQzmap130, {{"mprf", 40}})});
  Write(pack::kQzmap135, {Record(pack::kQzmap135, {{"mprf", 31}, {"cust", "zz9"}})});
  ASSERT_TRUE(LoadCurrent()) << s_.r.Error.ErrorDescription;
  ASSERT_TRUE(LoadRevisions()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Identities("qzmap130"), (Table{{"12", "X40", "c", "ab1"}}));
  EXPECT_EQ(Identities("qzmap135"), (Table{{"7", "X40", "c", "zz9"}}));
}

TEST_F(RuleLoaderTest, DevelopmentRulesOfCurrentRulesOnlyTakeTheDevelopmentVrc) {
  SetPlan({{40, 12, "D10_b_zz1"}});
  s_.r.HeaderMap = {"12_X40_c_ab1"};
  const NamedValues development = Record(pack::kQzmap120, {{"vers", "D10"}, {"rele", "b"}, {"cust", "zz1"}});
  const NamedValues released = Record(pack::kQzmap120, {{"vers", "Y7"}, {"rele", "b"}, {"cust", "zz1"}});
  Write(pack::kQzmap120, {development, released});
  Write(pack::kQzmap125, {Record(pack::kQzmap125, {{"vers", "D10"}, {"rele", "b"}, {"cust", "zz1"}})});
  ASSERT_TRUE(LoadCurrent()) << s_.r.Error.ErrorDescription;
  ASSERT_TRUE(LoadRevisions()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Identities("qzmap120"), (Table{{"12", "X40", "c", "ab1"}, {"12", "d40", "c", "db1"}}));
  EXPECT_EQ(Identities("qzmap125"), (Table{{"12", "X40", "c", "ab1"}}));
}

TEST_F(RuleLoaderTest, TheDevelopmentVrcComparedIsThePlansAtTheHeaderMapPosition) {
  // The plan lists 40 first, the header map lists its profile last: profile
  // 31's entry stands at position 0, so the plan's first development VRC is
  // the one its rules are compared with.
  SetPlan({{40, 12, "D10_b_zz1"}, {31, 7, "__"}});
  s_.r.HeaderMap = {"7_X31_b_zz1", "12_X50_d_cd2"};
  Write(pack::kQzmap120, {Record(pack::kQzmap120, {{"mprf", 40}, {"vers", "D10"}, {"rele", "b"}, {"cust", "zz1"}}),
                          Record(pack::kQzmap120, {{"mprf", 31}, {"vers", "D10"}, {"rele", "b"}, {"cust", "zz1"}})});
  ASSERT_TRUE(LoadCurrent()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Identities("qzmap120"), (Table{{"7", "d31", "b", "dz1"}, {"12", "X50", "d", "cd2"}}));
}

TEST_F(RuleLoaderTest, LoadDatesAreReadInEitherFormAndMissingOnesAreTheTimeOfLoading) {
  s_.env.FixTime(DateTime{2025, 1, 2, 8, 30, 0});
  Write(pack::kQzmap120, {Record(pack::kQzmap120, {{"tflno", "0010"}, {"ldat", "3/14/2024 1:05:09 PM"}}),
                          Record(pack::kQzmap120, {{"tflno", "0020"}, {"ldat", "2023-11-30 23:59:59"}})});
  ASSERT_TRUE(LoadCurrent()) << s_.r.Error.ErrorDescription;
  // The mapping object export leaves the :LDAT: line out.
  store_->Execute("delete from qzmap120 where tflno = '0020'");
  Write(pack::kQzmap120, {Record(pack::kQzmap120, {{"tflno", "0030"}})}, {.with_ldat = false});
  ASSERT_TRUE(LoadCurrent()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Rows("select tflno, ldat from qzmap120 order by tflno"),
            (Table{{"0010", "2024-03-14 13:05:09"}, {"0030", "2025-01-02 08:30:00"}}));
}

TEST_F(RuleLoaderTest, BlocksAndTrimmedValuesOfCurrentRules) {
  Write(pack::kQzmap120,
        {Record(pack::kQzmap120, {{"tflno", "0010"},
                                  {"prtx", "\r\na\r\n"},
                                  {"comt", "  \r\n \r\n"},
                                  {"txtn", "123"},
                                  {"stat", " A "},
                                  {"vari", " V1 \r\n  V2 "},
                                  {"stbl", " T1 "}}),
         Record(pack::kQzmap120,
                {{"tflno", "0020"}, {"prtx", "\r\n  b"}, {"comt", "\r\nx\r\n\r\ny"}, {"txtn", Value()}})});
  Write(pack::kQzmap130, {Record(pack::kQzmap130, {{"qury", "\r\n\r\nselect 1\r\n"}, {"icod", " I "}})});
  ASSERT_TRUE(LoadCurrent()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Rows("select tflno, prtx, comt, txtn, stat, vari, stbl from qzmap120 order by tflno"),
            (Table{{"0010", "a\r\n", "NULL", "123", "A", "V1\r\n  V2 ", "T1"},
                  {"0020", "  b", "x\r\n\r\ny", "", "stat of qzmap120", "vari of qzmap120", "stbl of qzmap120"}}));
  EXPECT_EQ(Rows("select qury, icod from qzmap130"), (Table{{"select 1\r\n", "I"}}));
}

TEST_F(RuleLoaderTest, SynchronisationPacksCarryTheirUsersOthersTakeTheImportingUser) {
  Write(pack::kQzmap120, {Record(pack::kQzmap120, {{"isms", Value()}})});
  ASSERT_TRUE(LoadCurrent()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Rows("select isms, logn, lusr from qzmap120"), (Table{{"0", "NULL", "jdoe"}}));

  store_->Execute("delete from qzmap120");
  s_.r.Manifest.for_sync = true;
  Write(pack::kQzmap120, {Record(pack::kQzmap120, {{"isms", " Y "}, {"logn", " asmith "}, {"lusr", "bjones "}})},
        {.for_sync = true});
  ASSERT_TRUE(LoadCurrent()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Rows("select isms, logn, lusr from qzmap120"), (Table{{"Y", "asmith", "bjones"}}));
}

TEST_F(RuleLoaderTest, AnIsmsLineWithoutItsTagIsTakenWhole) {
  WriteLines("Qzmap120.dat", {"MO", ":MPRF:40", ":VERS:X40", ":RELE:c", ":CUST:ab1", ":TCPAC:SALES", ":TCMOD:ORDHDR",
                              ":TFLNO:0010", ":LDAT:2024-03-14 13:05:09", ":PRTX:START", "rule", ":PRTX:END",
                              ":STAT:A", ":VARI:V", ":STBL:T", ":COMT:START", "", ":COMT:END", ":TEXT:", "t",
                              ":TEXT:END", " N "});
  ASSERT_TRUE(LoadCurrent()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Rows("select isms, prtx from qzmap120"), (Table{{" N ", "rule"}}));
}

TEST_F(RuleLoaderTest, RevisionRulesTakeTheEntrysVrcAndTheirOwnConversions) {
  Write(pack::kQzmap110, {Record(pack::kQzmap110, {{"tflno", "0010"}, {"pexp", "0"}, {"sdat", "3/14/2024"}}),
                          Record(pack::kQzmap110, {{"tflno", "0020"}, {"pexp", "1"}, {"revi", " 4 "}}),
                          Record(pack::kQzmap110, {{"tflno", "0030"}, {"pexp", "2"}})});
  Write(pack::kQzmap125, {Record(pack::kQzmap125, {{"mprf", 31},
                                                   {"isms", Value()},
                                                   {"vari", " V1\r\nV2 "},
                                                   {"logn", " asmith "},
                                                   {"comt", ""},
                                                   {"prtx", "\r\nrule"}})});
  Write(pack::kQzmap145, {Record(pack::kQzmap145, {{"dnum", "-5"}, {"type", "7"}, {"csta", " C "}})});
  Write(pack::kQzmap175, {Record(pack::kQzmap175, {{"revi", "9"}, {"logn", " asmith "}})});
  ASSERT_TRUE(LoadRevisions()) << s_.r.Error.ErrorDescription;

  EXPECT_EQ(Rows("select mprf, vers, tflno, revi, pexp, sdat from qzmap110 order by tflno"),
            (Table{{"12", "X50", "0010", "2", "0", "2024-03-14 00:00:00"},
                  {"12", "X50", "0020", "4", "1", "2024-03-14 13:05:09"},
                  {"12", "X50", "0030", "2", "NULL", "2024-03-14 13:05:09"}}));
  EXPECT_EQ(Rows("select mprf, vers, rele, cust, isms, vari, logn, comt, prtx from qzmap125"),
            (Table{{"7", "X31", "b", "zz1", "0", "V1\r\nV2", "asmith", "", "\r\nrule"}}));
  EXPECT_EQ(Rows("select mprf, dnum, type, csta from qzmap145"), (Table{{"12", "-5", "7", "C"}}));
  EXPECT_EQ(Rows("select mprf, revi, logn from qzmap175"), (Table{{"12", "9", "asmith"}}));
  EXPECT_EQ(Count("qzmap135") + Count("qzmap165"), 0);
}

TEST_F(RuleLoaderTest, EmptyFilesAddNothingAndTheLoaderGoesOn) {
  Write(pack::kQzmap170, {Record(pack::kQzmap170)});
  Write(pack::kQzmap175, {Record(pack::kQzmap175)});
  EXPECT_TRUE(LoadCurrent()) << s_.r.Error.ErrorDescription;
  EXPECT_TRUE(LoadRevisions()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Count("qzmap120") + Count("qzmap130") + Count("qzmap140") + Count("qzmap160"), 0);
  EXPECT_EQ(Count("qzmap170"), 1);
  EXPECT_EQ(Count("qzmap175"), 1);
}

TEST_F(RuleLoaderTest, AMissingFileFailsTheLoaderAfterTheFilesBeforeIt) {
  Write(pack::kQzmap120, {Record(pack::kQzmap120)});
  files::DeleteFile(Env::Default(), files::Join(pack_, "Qzmap140.dat"));
  EXPECT_FALSE(LoadCurrent());
  EXPECT_EQ(s_.r.Error.ErrorNumber, 899);
  EXPECT_EQ(s_.r.Error.ErrorDescription, std::string(kCurrentHead) + "53   File not found");
  EXPECT_EQ(Count("qzmap120"), 1);
  EXPECT_EQ(Count("qzmap160") + Count("qzmap170"), 0);
}

TEST_F(RuleLoaderTest, FileNamesAreMatchedWithoutRegardToCase) {
  // The single-profile export names the last revision file with a capital.
  files::DeleteFile(Env::Default(), files::Join(pack_, "qzmap175.dat"));
  auto out = files::TextWriter::Create(Env::Default(), files::Join(pack_, "Qzmap175.dat"));
  pack::TaggedRecordWriter(pack::kQzmap175, *out).Write(Record(pack::kQzmap175));
  out->Close();
  ASSERT_TRUE(LoadRevisions()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Count("qzmap175"), 1);
}

TEST_F(RuleLoaderTest, ProfileNumbersOutside16BitsFailWhereTheyAreReadAs16Bits) {
  SetPlan({{40000, 12}, {40, 13}});
  s_.r.HeaderMap = {};
  // The first two revision files read the number into 32 bits.
  Write(pack::kQzmap110, {Record(pack::kQzmap110, {{"mprf", 40000}})});
  Write(pack::kQzmap125, {Record(pack::kQzmap125, {{"mprf", 40000}})});
  Write(pack::kQzmap135, {Record(pack::kQzmap135, {{"mprf", 40}}), Record(pack::kQzmap135, {{"mprf", 40000}})});
  EXPECT_FALSE(LoadRevisions());
  EXPECT_EQ(s_.r.Error.ErrorNumber, 899);
  EXPECT_EQ(s_.r.Error.ErrorDescription, std::string(kRevisionHead) + "6   Overflow");
  EXPECT_EQ(Rows("select mprf from (select mprf from qzmap110 union all select mprf from qzmap125 union all "
                 "select mprf from qzmap135) order by mprf"),
            (Table{{"12"}, {"12"}, {"13"}}));

  Write(pack::kQzmap120, {Record(pack::kQzmap120, {{"mprf", 40000}})});
  EXPECT_FALSE(LoadCurrent());
  EXPECT_EQ(s_.r.Error.ErrorDescription, std::string(kCurrentHead) + "6   Overflow");
  EXPECT_EQ(Count("qzmap120"), 0);
}

TEST_F(RuleLoaderTest, NumbersThatDoNotConvertFailTheLoad) {
  struct Case {
    pack::NamedValues record;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {Record(pack::kQzmap140, {{"mprf", "4O"}}), "13   Type mismatch"},
      {Record(pack::kQzmap140, {{"dnum", "x"}}), "13   Type mismatch"},
      {Record(pack::kQzmap140, {{"dnum", "32768"}}), "6   Overflow"},
      {Record(pack::kQzmap140, {{"type", ""}}), "13   Type mismatch"},
      {Record(pack::kQzmap140, {{"mprf", "-32769"}}), "6   Overflow"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    Write(pack::kQzmap140, {c.record});
    EXPECT_FALSE(LoadCurrent());
    EXPECT_EQ(s_.r.Error.ErrorNumber, 899);
    EXPECT_EQ(s_.r.Error.ErrorDescription, std::string(kCurrentHead) + c.expected);
  }
  Write(pack::kQzmap140, {});
  Write(pack::kQzmap120, {Record(pack::kQzmap120, {{"ldat", "31/12/2024"}})});
  EXPECT_FALSE(LoadCurrent());
  EXPECT_EQ(s_.r.Error.ErrorDescription, std::string(kCurrentHead) + "13   Type mismatch");
  EXPECT_EQ(Count("qzmap140"), 0);
}

TEST_F(RuleLoaderTest, AHeaderMapNumberThatIsNoNumberFailsTheLoad) {
  s_.r.HeaderMap = {"x_X31_b_zz1", "12_X50_d_cd2"};
  Write(pack::kQzmap160, {Record(pack::kQzmap160)});
  EXPECT_FALSE(LoadCurrent());
  EXPECT_EQ(s_.r.Error.ErrorDescription, std::string(kCurrentHead) + "13   Type mismatch");
}

TEST_F(RuleLoaderTest, AFailureInTheMiddleOfAFileLeavesExactlyTheRowsBeforeIt) {
  // More rows than one batch holds, so that rows of a committed batch and of
  // the open one both come before the failure.
  const int before = static_cast<int>(store::SavedRows::kRowsPerBatch) + 3;
  std::vector<NamedValues> records;
  for (int i = 0; i < before; ++i) records.push_back(Record(pack::kQzmap140, {{"fdnm", "F" + std::to_string(i)}}));
  records.push_back(Record(pack::kQzmap140, {{"fdnm", "BAD"}, {"type", "T"}}));
  records.push_back(Record(pack::kQzmap140, {{"fdnm", "AFTER"}}));
  Write(pack::kQzmap120, {Record(pack::kQzmap120)});
  Write(pack::kQzmap140, records);
  EXPECT_FALSE(LoadCurrent());
  EXPECT_EQ(s_.r.Error.ErrorDescription, std::string(kCurrentHead) + "13   Type mismatch");

  // Read through a second connection: the rows are committed.
  auto other = store::Open(store_->location());
  EXPECT_EQ(other->OpenRecordset("select count(*) from qzmap140")->Fields(0).Integer(), before);
  EXPECT_EQ(other->OpenRecordset("select count(*) from qzmap140 where fdnm in ('BAD', 'AFTER')")->Fields(0).Integer(),
            0);
  EXPECT_EQ(other->OpenRecordset("select count(*) from qzmap120")->Fields(0).Integer(), 1);
  EXPECT_FALSE(store_->InTransaction());
}

TEST_F(RuleLoaderTest, AStoreThatRefusesARowKeepsTheRowsBeforeIt) {
  store_->Execute(
      "create trigger refuse_bad before insert on qzmap130 when new.icod = 'BAD' "
      "begin select raise(abort, 'icod BAD is refused'); end");
  Write(pack::kQzmap130, {Record(pack::kQzmap130, {{"icod", "I1"}}), Record(pack::kQzmap130, {{"icod", "I2"}}),
                          Record(pack::kQzmap130, {{"icod", "BAD"}}), Record(pack::kQzmap130, {{"icod", "I4"}})});
  EXPECT_FALSE(LoadCurrent());
  EXPECT_EQ(s_.r.Error.ErrorNumber, 899);
  EXPECT_EQ(s_.r.Error.ErrorDescription, std::string(kCurrentHead) + "1811   icod BAD is refused");
  auto other = store::Open(store_->location());
  EXPECT_EQ(other->OpenRecordset("select count(*) from qzmap130")->Fields(0).Integer(), 2);
}

TEST_F(RuleLoaderTest, AMalformedFileIsReportedWithItsLine) {
  WriteLines("Qzmap160.dat", {"FUNC160", ":MPRF:40", ":VERS:X40", ":RELE:c", ":CUST:ab1", ":TCPAC:S", ":TCMOD:M",
                              ":TFLNO:1", ":FUNC:START", "f", ":FUNC:END", ":TEXT:", "", ":TEXT:END", ""});
  EXPECT_FALSE(LoadCurrent());
  EXPECT_EQ(s_.r.Error.ErrorNumber, 899);
  EXPECT_NE(s_.r.Error.ErrorDescription.find(std::string(kCurrentHead) + "9008   "), std::string::npos);
  EXPECT_NE(s_.r.Error.ErrorDescription.find("Qzmap160.dat, line 15"), std::string::npos) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Count("qzmap160"), 1);
}

TEST_F(RuleLoaderTest, ValuesWithApostrophesLoadExactly) {
  Write(pack::kQzmap120, {Record(pack::kQzmap120, {{"tcpac", "O'BRIEN"}, {"txtn", "it's"}, {"vers", "X'1"}})});
  s_.r.HeaderMap = {"12_X'5_d'_c'd"};
  ASSERT_TRUE(LoadCurrent()) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Rows("select vers, rele, cust, tcpac, txtn from qzmap120"),
            (Table{{"X'5", "d'", "c'd", "O'BRIEN", "it's"}}));
}

TEST_F(RuleLoaderTest, ACallersOwnTransactionIsNeverCommitted) {
  Write(pack::kQzmap120, {Record(pack::kQzmap120), Record(pack::kQzmap120)});
  store_->Execute("begin");
  ASSERT_TRUE(LoadCurrent()) << s_.r.Error.ErrorDescription;
  EXPECT_TRUE(store_->InTransaction());
  EXPECT_EQ(Count("qzmap120"), 2);
  store_->Execute("rollback");
  EXPECT_EQ(Count("qzmap120"), 0);
}

TEST_F(RuleLoaderTest, WithoutAConnectionTheLoaderFails91) {
  s_.cx.DataConnection.reset();
  EXPECT_FALSE(LoadRevisions());
  EXPECT_EQ(s_.r.Error.ErrorNumber, 899);
  EXPECT_EQ(s_.r.Error.ErrorDescription.rfind(std::string(kRevisionHead) + "91   ", 0), 0u);
}

// The reading and converting of a file runs without a store, with the
// loaders' own rules: what it yields is what the loader stores.
TEST_F(RuleLoaderTest, RecordsAreConvertedWithoutAStore) {
  s_.env.FixTime(DateTime{2025, 1, 2, 8, 30, 0});
  Write(pack::kQzmap120, {Record(pack::kQzmap120, {{"mprf", 31}, {"comt", " "}, {"stat", " A "}})},
        {.with_ldat = false});
  Write(pack::kQzmap140, {Record(pack::kQzmap140), Record(pack::kQzmap140, {{"dnum", "x"}})});
  s_.cx.DataConnection.reset();

  LoadedRecords rules(s_.env, s_.Planned(), s_.r.HeaderMap, Loader::CurrentRules, pack::kQzmap120);
  LoadedRow row;
  ASSERT_TRUE(rules.Next(row));
  EXPECT_EQ(row.line, 1u);
  EXPECT_EQ(*row.Find("mprf"), Value(7));
  EXPECT_EQ(*row.Find("vers"), Value("X31"));
  EXPECT_EQ(*row.Find("ldat"), Value("2025-01-02 08:30:00"));
  EXPECT_EQ(*row.Find("lusr"), Value("jdoe"));
  EXPECT_EQ(*row.Find("stat"), Value("A"));
  EXPECT_EQ(row.Find("comt"), nullptr);
  EXPECT_EQ(row.Find("logn"), nullptr);
  EXPECT_FALSE(rules.Next(row));

  LoadedRecords mappings(s_.env, s_.Planned(), s_.r.HeaderMap, Loader::CurrentRules, pack::kQzmap140);
  ASSERT_TRUE(mappings.Next(row));
  EXPECT_EQ(*row.Find("dnum"), Value(2));
  try {
    mappings.Next(row);
    FAIL() << "a dnum of x converted";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), rt::TypeMismatch);
  }
}

}  // namespace
}  // namespace kestrel::importer
