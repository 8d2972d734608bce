// The function writers on a store with a root profile 5 and its child 9,
// which redefines a function and has a function that exists only in its
// development VRC.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "exporter/library_writers.h"
#include "exporter/writer_store.h"
#include "pack/layout.h"
#include "pack/record_reader.h"

namespace kestrel::testing {
namespace {

using exporter::ExportFunctions;
using exporter::ExportIncludes;
using exporter::IncludeScope;


const std::string kRootTrim = "Function fnTrim(s)\r\n  fnTrim = Trim(s)\r\nEnd Function";
const std::string kChildTrim = "Function fnTrim(s)\r\n  fnTrim = RTrim(LTrim(s))\r\nEnd Function";

// (mprf, fnam, revi or "") of every record of a library file, sorted.
using Entry = std::tuple<std::string, std::string, std::string>;
std::vector<Entry> Entries(const std::string& folder, const pack::TaggedLayout& layout) {
  auto reader = pack::TaggedRecordReader::Open(Env::Default(), folder, layout);
  std::vector<Entry> out;
  const int revi = layout.IndexOf("revi");
  pack::TaggedRecord r;
  while (reader->Next(r))
    out.emplace_back(r.Text(static_cast<size_t>(layout.IndexOf("mprf"))),
                     r.Text(static_cast<size_t>(layout.IndexOf("fnam"))),
                     revi < 0 ? "" : r.Text(static_cast<size_t>(revi)));
  std::sort(out.begin(), out.end());
  return out;
}

class LibraryWritersTest : public WriterStoreTest {
 protected:
  void SetUp() override {
    WriterStoreTest::SetUp();
    Add("qzmap101", {{"mprf", 9}, {"levl", 1}, {"vers", "X41U"}, {"rele", "R1"}, {"cust", "C01"}, {"pprf", 9}});
    Add("qzmap101", {{"mprf", 9}, {"levl", 2}, {"vers", "X40"}, {"rele", "R1"}, {"cust", "C01"}, {"pprf", 5}});
    Add("qzmap101", {{"mprf", 5}, {"levl", 1}, {"vers", "X40"}, {"rele", "R1"}, {"cust", "C01"}, {"pprf", 5}});
    Add("qzmap105", {{"mprf", 9}, {"vers", "X41U"}, {"rele", "R1"}, {"cust", "C01"},
                     {"dver", "D41U"}, {"drel", "R1"}, {"dcus", "D01"}});

    Function(5, "X40", "C01", "fnTrim", kRootTrim, "root version");
    Function(9, "X41U", "C01", "fnTrim", kChildTrim, "child version");
    Function(5, "X40", "C01", "fnRound", "Function fnRound(x)\r\nEnd Function", "");
    Function(9, "D41U", "D01", "fnDraft", "Function fnDraft()\r\nEnd Function", "in development");
    Revision(5, "X40", "C01", "fnTrim", 1);
    Revision(9, "X41U", "C01", "fnTrim", 1);
    Revision(9, "X41U", "C01", "fnTrim", 2);
    Revision(5, "X40", "C01", "fnRound", 1);
    Revision(9, "D41U", "D01", "fnDraft", 1);
  }

  void Function(int mprf, const std::string& vers, const std::string& cust, const std::string& fnam,
                const std::string& fdef, const std::string& comt) {
    Add("qzlib100", {{"mprf", mprf}, {"vers", vers}, {"rele", "R1"}, {"cust", cust}, {"fnam", fnam},
                     {"dsca", "Trim blanks"}, {"lurn", "jmartin"}, {"ldat", "2024-02-01 10:15:00"},
                     {"fdef", fdef}, {"curn", Value()}, {"stat", "A"}, {"comt", comt}});
  }

  void Revision(int mprf, const std::string& vers, const std::string& cust, const std::string& fnam, int revi) {
    Add("qzlib105", {{"mprf", mprf}, {"vers", vers}, {"rele", "R1"}, {"cust", cust}, {"fnam", fnam},
                     {"revi", revi}, {"rinf", "revision " + std::to_string(revi)}, {"isid", "I7"},
                     {"cdat", "2024-02-01 10:15:00"}, {"pexp", 1}, {"usrn", "jmartin"}, {"fdef", "x"},
                     {"comt", Value()}});
  }

  void WithRevisions() { scope_.revisions = true; }

  IncludeScope scope_;
};

TEST_F(LibraryWritersTest, IncludesTakeTheChildsVersionAndTheRevisionsOfTheWinnerOnly) {
  scope_.traverse_parents = true;
  WithRevisions();

  ASSERT_TRUE(ExportIncludes(ctx_, r_, "9", scope_)) << r_.Error.ErrorDescription;
  EXPECT_EQ(r_.RuleFileList, "Qzlib100.dat\r\nQzlib105.dat\r\n");
  EXPECT_EQ(Entries(ctx_.PackFolder, pack::kQzlib100),
            (std::vector<Entry>{{"5", "fnRound", ""}, {"9", "fnTrim", ""}}));
  EXPECT_EQ(Entries(ctx_.PackFolder, pack::kQzlib105),
            (std::vector<Entry>{{"5", "fnRound", "1"}, {"9", "fnTrim", "1"}, {"9", "fnTrim", "2"}}));
  // The winning record is the child's own row, its text included.
  EXPECT_NE(Read("Qzlib100.dat").find(":FDEF:START\r\n" + kChildTrim + "\r\n:FDEF:END\r\n"), std::string::npos);
  EXPECT_EQ(Read("Qzlib100.dat").find(kRootTrim), std::string::npos);
}

TEST_F(LibraryWritersTest, IncludesWithoutTraversingTheParentsTakeTheProfilesOwnFunctions) {
  scope_.traverse_parents = false;

  ASSERT_TRUE(ExportIncludes(ctx_, r_, "9", scope_)) << r_.Error.ErrorDescription;
  EXPECT_EQ(Read("Qzlib100.dat"),
            "FUNC\r\n:MPRF:9\r\n:VERS:X41U\r\n:RELE:R1\r\n:CUST:C01\r\n:FNAM:fnTrim\r\n:DSCA:Trim blanks\r\n"
            ":LURN:jmartin\r\n:LDAT:2024-02-01 10:15:00\r\n:FDEF:START\r\n" +
                kChildTrim +
                "\r\n:FDEF:END\r\n:CURN:\r\n:STAT:A\r\n:COMT:START\r\nchild version\r\n:COMT:END\r\n");
  // Revisions are not exported: no second file, nothing listed for it.
  EXPECT_FALSE(Exists("Qzlib105.dat"));
  EXPECT_EQ(r_.RuleFileList, "Qzlib100.dat\r\n");
}

TEST_F(LibraryWritersTest, IncludesOfAProfileWithoutChainRowsUseTheProfileAlone) {
  Function(12, "X50", "C02", "fnPad", "Function fnPad(s)\r\nEnd Function", "");
  scope_.traverse_parents = true;
  WithRevisions();

  ASSERT_TRUE(ExportIncludes(ctx_, r_, "12", scope_));
  EXPECT_EQ(Entries(ctx_.PackFolder, pack::kQzlib100), (std::vector<Entry>{{"12", "fnPad", ""}}));
  EXPECT_EQ(Read("Qzlib105.dat"), "");
}

TEST_F(LibraryWritersTest, LibraryRowsOfAProfileListLeaveTheDevelopmentVrcOut) {
  ASSERT_TRUE(ExportQzlib100(ctx_, r_, "9 5")) << r_.Error.ErrorDescription;
  ASSERT_TRUE(ExportQzlib105(ctx_, r_, "9 5")) << r_.Error.ErrorDescription;
  EXPECT_EQ(r_.RuleFileList, "Qzlib100.dat\r\nQzlib105.dat\r\n");
  EXPECT_EQ(Entries(ctx_.PackFolder, pack::kQzlib100),
            (std::vector<Entry>{{"5", "fnRound", ""}, {"5", "fnTrim", ""}, {"9", "fnTrim", ""}}));
  EXPECT_EQ(Entries(ctx_.PackFolder, pack::kQzlib105),
            (std::vector<Entry>{{"5", "fnRound", "1"}, {"5", "fnTrim", "1"}, {"9", "fnTrim", "1"}, {"9", "fnTrim", "2"}}));
  // The stored pexp 1 travels as the fixed line.
  const std::string revisions = Read("Qzlib105.dat");
  EXPECT_NE(revisions.find("\r\n:PEXP:0\r\n"), std::string::npos);
  EXPECT_EQ(revisions.find(":PEXP:1"), std::string::npos);
  EXPECT_EQ(ctx_.ManifestText, "");
}

TEST_F(LibraryWritersTest, AFunctionOnlyInADevelopmentVrcIsLeftOutEverywhere) {
  scope_.traverse_parents = true;
  WithRevisions();
  ASSERT_TRUE(ExportIncludes(ctx_, r_, "9", scope_));
  EXPECT_EQ(Read("Qzlib100.dat").find("fnDraft"), std::string::npos);
  EXPECT_EQ(Read("Qzlib105.dat").find("fnDraft"), std::string::npos);
  ASSERT_TRUE(ExportQzlib100(ctx_, r_, "9"));
  ASSERT_TRUE(ExportQzlib105(ctx_, r_, "9"));
  EXPECT_EQ(Read("Qzlib100.dat").find("fnDraft"), std::string::npos);
  EXPECT_EQ(Read("Qzlib105.dat").find("fnDraft"), std::string::npos);
}

TEST_F(LibraryWritersTest, SharedFunctionsAreWrittenAsBlocks) {
  EXPECT_TRUE(ExportFunctions(ctx_, r_));
  EXPECT_EQ(Read("Qzmap150.dat"), "");
  EXPECT_EQ(r_.RuleFileList, "Qzmap150.dat\r\n");
  EXPECT_EQ(ctx_.ManifestText, "\tNo Functions Present\r\n");

  Add("qzmap150", {{"func", "TRIM"}, {"defn", "TRIM(s)\r\nremoves leading and trailing blanks"}, {"help", Value()}});
  ctx_.ManifestText.clear();
  EXPECT_TRUE(ExportFunctions(ctx_, r_));
  EXPECT_EQ(Read("Qzmap150.dat"),
            ":FUNC:START\r\nTRIM\r\n:FUNC:END\r\n:DEFN:START\r\nTRIM(s)\r\nremoves leading and trailing blanks\r\n"
            ":DEFN:END\r\n:HELP:START\r\n\r\n:HELP:END\r\n");
  EXPECT_EQ(ctx_.ManifestText, "");
}

TEST_F(LibraryWritersTest, ASharedFunctionWithoutDefinitionFailsAfterTheBlockStart) {
  Add("qzmap150", {{"func", "LPAD"}, {"defn", Value()}, {"help", "pads"}});

  EXPECT_FALSE(ExportFunctions(ctx_, r_));
  EXPECT_EQ(r_.Error.ErrorNumber, 999);
  EXPECT_EQ(r_.Error.ErrorDescription, "UnSpecified Error: --Export Functions--94   Invalid use of Null");
  EXPECT_EQ(Read("Qzmap150.dat"), ":FUNC:START\r\nLPAD\r\n:FUNC:END\r\n:DEFN:START\r\n");
  EXPECT_EQ(r_.RuleFileList, "Qzmap150.dat\r\n");
}

TEST_F(LibraryWritersTest, FailuresAreTrappedUnderEachWritersTag) {
  EXPECT_FALSE(ExportQzlib105(ctx_, r_, "9,5"));
  EXPECT_EQ(r_.Error.ErrorNumber, 999);
  EXPECT_EQ(r_.Error.ErrorDescription, "UnSpecified Error: --Qzlib105--13   Type mismatch");
  EXPECT_FALSE(Exists("Qzlib105.dat"));

  ctx_.DataConnection.reset();
  const std::string no_connection = "91   Object variable or With block variable not set";
  EXPECT_FALSE(ExportQzlib100(ctx_, r_, "9"));
  EXPECT_EQ(r_.Error.ErrorDescription, "UnSpecified Error: --QZLIB100--" + no_connection);
  EXPECT_FALSE(ExportIncludes(ctx_, r_, "9", scope_));
  EXPECT_EQ(r_.Error.ErrorDescription, "UnSpecified Error: --QZLIB100--" + no_connection);
  EXPECT_FALSE(ExportFunctions(ctx_, r_));
  EXPECT_EQ(r_.Error.ErrorDescription, "UnSpecified Error: --Export Functions--" + no_connection);
}

}  // namespace
}  // namespace kestrel::testing
