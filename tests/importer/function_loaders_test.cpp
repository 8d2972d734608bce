// The function library and shared function loaders on whole pack files:
// functions found by key are updated and others added, revisions only with
// revision information, dates, revisions and flags converted, shared
// functions already stored kept, and what a failure leaves behind.
#include <gtest/gtest.h>

#include "base/error.h"
#include "importer/entry_points.h"
#include "importer/loader_fixture.h"
#include "store/open.h"
#include "importer/loaders.h"
#include "import_parts.h"

namespace kestrel::importer {
namespace {

using testing::ImportParts;

using pack::NamedValues;
using testing::Record;
using Table = std::vector<std::vector<std::string>>;

// A Qzlib105.dat record as lines, for values the writer's fixed ":PEXP:0"
// line cannot carry.
std::vector<std::string> RevisionLines(const std::string& fnam, const std::string& revi, const std::string& pexp) {
  return {"FUNC",       ":MPRF:40",   ":VERS:X40",        ":RELE:c",      ":CUST:ab1", ":FNAM:" + fnam,
          ":REVI:" + revi, ":RINF:START", "reason",        ":RINF:END",    ":ISID:I1",  ":CDAT:1/2/2024 8:00:00 AM",
          ":PEXP:" + pexp, ":USRN:asmith", ":FDEF:START",  "body",         ":FDEF:END", ":COMT:START",
          "",           ":COMT:END"};
}

void Append(std::vector<std::string>& to, const std::vector<std::string>& lines) {
  to.insert(to.end(), lines.begin(), lines.end());
}

class LibraryLoaderTest : public testing::LoaderFixture {
 protected:
  void SetUp() override {
    LoaderFixture::SetUp();
    SetPlan({{40, 12}, {31, 7}});
    s_.r.HeaderMap = {"7_X31_b_zz1", "12_X50_d_cd2"};
  }
};

TEST_F(LibraryLoaderTest, FunctionsAreAddedUnderTheChosenNumberAndVrc) {
  Write(pack::kQzlib100,
        {Record(pack::kQzlib100, {{"fnam", "fnCalcTax"}, {"ldat", "3/14/2024 1:05:09 PM"}, {"stat", " A "}}),
         Record(pack::kQzlib100, {{"mprf", 31}, {"fnam", "fnRound"}, {"fdef", "x = 1\r\ny = 2"}}),
         Record(pack::kQzlib100, {{"mprf", 99}, {"fnam", "fnOther"}})});
  ASSERT_TRUE(LoadLibraryFiles(s_.Planned(), s_.r.HeaderMap, s_.cx));
  EXPECT_EQ(Rows("select mprf, vers, rele, cust, fnam, ldat, stat, fdef, dsca, lurn, curn, comt from qzlib100 "
                 "order by mprf"),
            (Table{{"0", "X40", "c", "ab1", "fnOther", "2024-03-14 13:05:09", "stat of qzlib100", "fdef of qzlib100",
                    "dsca of qzlib100", "lurn of qzlib100", "curn of qzlib100", "comt of qzlib100"},
                   {"7", "X31", "b", "zz1", "fnRound", "2024-03-14 13:05:09", "stat of qzlib100", "x = 1\r\ny = 2",
                    "dsca of qzlib100", "lurn of qzlib100", "curn of qzlib100", "comt of qzlib100"},
                   {"12", "X50", "d", "cd2", "fnCalcTax", "2024-03-14 13:05:09", "A", "fdef of qzlib100",
                    "dsca of qzlib100", "lurn of qzlib100", "curn of qzlib100", "comt of qzlib100"}}));
}

TEST_F(LibraryLoaderTest, LoadingTheSameFileTwiceKeepsOneRowWithTheSecondValues) {
  Write(pack::kQzlib100, {Record(pack::kQzlib100, {{"dsca", "first"}, {"fdef", "v1"}})});
  ASSERT_TRUE(LoadLibraryFiles(s_.Planned(), s_.r.HeaderMap, s_.cx));
  Write(pack::kQzlib100, {Record(pack::kQzlib100, {{"dsca", "second"}, {"fdef", "v2"}, {"ldat", "2025-06-01"}})});
  ASSERT_TRUE(LoadLibraryFiles(s_.Planned(), s_.r.HeaderMap, s_.cx));
  EXPECT_EQ(Rows("select mprf, fnam, dsca, fdef, ldat from qzlib100"),
            (Table{{"12", "fnCalcTax", "second", "v2", "2025-06-01 00:00:00"}}));
}

TEST_F(LibraryLoaderTest, AFoundFunctionKeepsItsKeyAndOtherRowsStayUntouched) {
  store_->Execute(
      "insert into qzlib100 (mprf, vers, rele, cust, fnam, dsca) values "
      "(12, 'X50', 'd', 'cd2', 'fnCalcTax', 'stored'), (12, 'X50', 'd', 'cd2', 'fnKeep', 'kept'), "
      "(12, 'X49', 'd', 'cd2', 'fnCalcTax', 'other VRC')");
  Write(pack::kQzlib100, {Record(pack::kQzlib100, {{"dsca", "loaded"}})});
  ASSERT_TRUE(LoadLibraryFiles(s_.Planned(), s_.r.HeaderMap, s_.cx));
  EXPECT_EQ(Rows("select vers, fnam, dsca from qzlib100 order by vers, fnam"),
            (Table{{"X49", "fnCalcTax", "other VRC"}, {"X50", "fnCalcTax", "loaded"}, {"X50", "fnKeep", "kept"}}));
}

TEST_F(LibraryLoaderTest, RevisionsAreLoadedOnlyWithRevisionInformation) {
  Write(pack::kQzlib100, {Record(pack::kQzlib100)});
  // Without revision information Qzlib105.dat is not even looked for.
  ASSERT_TRUE(LoadLibraryFiles(s_.Planned(), s_.r.HeaderMap, s_.cx));
  EXPECT_EQ(Count("qzlib105"), 0);

  s_.r.Manifest.revisions = true;
  try {
    LoadLibraryFiles(s_.Planned(), s_.r.HeaderMap, s_.cx);
    FAIL() << "loaded without Qzlib105.dat";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), rt::FileNotFound);
  }
  std::vector<std::string> lines;
  Append(lines, RevisionLines("fnCalcTax", "3.7", "0"));
  Append(lines, RevisionLines("fnCalcTax", "4", "1"));
  Append(lines, RevisionLines("fnRound", "-1.5", "True"));
  WriteLines("Qzlib105.dat", lines);
  ASSERT_TRUE(LoadLibraryFiles(s_.Planned(), s_.r.HeaderMap, s_.cx));
  EXPECT_EQ(Rows("select mprf, vers, fnam, revi, pexp, cdat, rinf, isid, usrn, fdef, comt from qzlib105 "
                 "order by fnam, revi"),
            (Table{{"12", "X50", "fnCalcTax", "3", "0", "2024-01-02 08:00:00", "reason", "I1", "asmith", "body", ""},
                   {"12", "X50", "fnCalcTax", "4", "1", "2024-01-02 08:00:00", "reason", "I1", "asmith", "body", ""},
                   {"12", "X50", "fnRound", "-2", "1", "2024-01-02 08:00:00", "reason", "I1", "asmith", "body", ""}}));
}

TEST_F(LibraryLoaderTest, ARevisionIsFoundByItsRoundedDownNumber) {
  s_.r.Manifest.revisions = true;
  Write(pack::kQzlib100, {});
  store_->Execute(
      "insert into qzlib105 (mprf, vers, rele, cust, fnam, revi, usrn) values "
      "(12, 'X50', 'd', 'cd2', 'fnCalcTax', 3, 'old'), (12, 'X50', 'd', 'cd2', 'fnCalcTax', 4, 'old')");
  WriteLines("Qzlib105.dat", RevisionLines("fnCalcTax", "3.7", "0"));
  ASSERT_TRUE(LoadLibraryFiles(s_.Planned(), s_.r.HeaderMap, s_.cx));
  EXPECT_EQ(Rows("select revi, usrn from qzlib105 order by revi"), (Table{{"3", "asmith"}, {"4", "old"}}));
}

TEST_F(LibraryLoaderTest, ValuesWithApostrophesAreLookedUpAndStoredExactly) {
  s_.r.HeaderMap = {"12_X'50_d_o'k"};
  Write(pack::kQzlib100, {Record(pack::kQzlib100, {{"fnam", "fn'Quote"}, {"dsca", "it's"}})});
  ASSERT_TRUE(LoadLibraryFiles(s_.Planned(), s_.r.HeaderMap, s_.cx));
  Write(pack::kQzlib100, {Record(pack::kQzlib100, {{"fnam", "fn'Quote"}, {"dsca", "isn't"}})});
  ASSERT_TRUE(LoadLibraryFiles(s_.Planned(), s_.r.HeaderMap, s_.cx));
  EXPECT_EQ(Rows("select vers, cust, fnam, dsca from qzlib100"), (Table{{"X'50", "o'k", "fn'Quote", "isn't"}}));
}

TEST_F(LibraryLoaderTest, FailuresRaiseToTheCallerAndKeepTheRowsBefore) {
  struct Case {
    NamedValues bad;
    int32_t number;
  };
  const std::vector<Case> cases = {
      {Record(pack::kQzlib100, {{"mprf", 40000}}), rt::Overflow},
      {Record(pack::kQzlib100, {{"mprf", "forty"}}), rt::TypeMismatch},
      {Record(pack::kQzlib100, {{"ldat", "yesterday"}}), rt::TypeMismatch},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    store_->Execute("delete from qzlib100");
    Write(pack::kQzlib100, {Record(pack::kQzlib100, {{"fnam", "fnA"}}), Record(pack::kQzlib100, {{"fnam", "fnB"}}),
                            c.bad, Record(pack::kQzlib100, {{"fnam", "fnD"}})});
    try {
      LoadLibraryFiles(s_.Planned(), s_.r.HeaderMap, s_.cx);
      FAIL() << "the bad record loaded";
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), c.number);
    }
    auto other = store::Open(store_->location());
    EXPECT_EQ(other->OpenRecordset("select count(*) from qzlib100")->Fields(0).Integer(), 2);
    EXPECT_FALSE(store_->InTransaction());
  }
}

TEST_F(LibraryLoaderTest, ARevisionFlagThatIsNoBooleanFails) {
  s_.r.Manifest.revisions = true;
  Write(pack::kQzlib100, {});
  WriteLines("Qzlib105.dat", RevisionLines("fnCalcTax", "1", "maybe"));
  try {
    LoadLibraryFiles(s_.Planned(), s_.r.HeaderMap, s_.cx);
    FAIL() << "a flag of maybe loaded";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), rt::TypeMismatch);
  }
}

class SharedFunctionLoaderTest : public testing::LoaderFixture {
 protected:
  static NamedValues Function(const std::string& func, Value defn, Value help) {
    return NamedValues{{"func", Value(func)}, {"defn", std::move(defn)}, {"help", std::move(help)}};
  }
};

TEST_F(SharedFunctionLoaderTest, NewFunctionsAreAddedAndStoredOnesKept) {
  store_->Execute("insert into qzmap150 (func, defn, help) values ('TRIM', 'stored definition', 'stored help')");
  Write(pack::kQzmap150, {Function("TRIM", "new definition", "new help"),
                          Function("PAD(S,N)", "pads\r\nS to N", Value()), Function("it's", "quoted", "")});
  ASSERT_TRUE(LoadToMAP150(s_.Planned(), s_.r.HeaderMap, s_.cx, s_.r.Error)) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Rows("select func, defn, help from qzmap150 order by func"),
            (Table{{"PAD(S,N)", "pads\r\nS to N", ""}, {"TRIM", "stored definition", "stored help"},
                   {"it's", "quoted", ""}}));
  // A second load changes nothing.
  ASSERT_TRUE(LoadToMAP150(s_.Planned(), s_.r.HeaderMap, s_.cx, s_.r.Error)) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Count("qzmap150"), 3);
}

TEST_F(SharedFunctionLoaderTest, AMissingFileIs899) {
  EXPECT_FALSE(LoadToMAP150(s_.Planned(), s_.r.HeaderMap, s_.cx, s_.r.Error));
  EXPECT_EQ(s_.r.Error.ErrorNumber, 899);
  EXPECT_EQ(s_.r.Error.ErrorDescription, "Unspecified Error : --LoadToMAP150-- 53   File not found");
}

TEST_F(SharedFunctionLoaderTest, ABlockWithoutAnyLineFailsAfterTheFunctionsBeforeIt) {
  WriteLines("Qzmap150.dat", {":FUNC:START", "UPPER", ":FUNC:END", ":DEFN:START", "d", ":DEFN:END", ":HELP:START",
                              "", ":HELP:END", ":FUNC:START", "LOWER", ":FUNC:END", ":DEFN:START", ":DEFN:END",
                              ":HELP:START", "", ":HELP:END"});
  EXPECT_FALSE(LoadToMAP150(s_.Planned(), s_.r.HeaderMap, s_.cx, s_.r.Error));
  EXPECT_EQ(s_.r.Error.ErrorNumber, 899);
  const std::string& text = s_.r.Error.ErrorDescription;
  EXPECT_EQ(text.rfind("Unspecified Error : --LoadToMAP150-- 9008   ", 0), 0u) << text;
  EXPECT_NE(text.find("Qzmap150.dat, line 14"), std::string::npos) << text;
  auto other = store::Open(store_->location());
  EXPECT_EQ(other->OpenRecordset("select func from qzmap150")->Fields(0).Text(), "UPPER");
  EXPECT_EQ(other->OpenRecordset("select count(*) from qzmap150")->Fields(0).Integer(), 1);
}

}  // namespace
}  // namespace kestrel::importer
