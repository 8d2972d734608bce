// The function writers on a store with a root profile 5 and its child 9,
// which redefines a function and has a function that exists only in its
// development VRC: which rows each selects, and the bytes of the records.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "exporter/export_context.h"
#include "exporter/export_results.h"
#include "exporter/library_writers.h"
#include "exporter/pack_readers.h"
#include "pack/layout.h"
#include "support/store_builder.h"

namespace kestrel::testing {
namespace {

using exporter::ExportFunctions;
using exporter::ExportIncludes;
using Strings = std::vector<std::string>;

const std::string kRootTrim = "Function fnTrim(s)\r\n  fnTrim = Trim(s)\r\nEnd Function";

// "mprf fnam revi" of every record of a library file, sorted (no revi in qzlib100).
std::vector<std::string> EntriesOf(const std::string& folder, const pack::TaggedLayout& layout) {
  std::vector<std::string> out;
  for (auto& r : RecordsOf(folder, layout))
    out.push_back(r["mprf"] + " " + r["fnam"] + (r.count("revi") ? " " + r["revi"] : ""));
  std::sort(out.begin(), out.end());
  return out;
}

class LibraryWriters : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx.DataConnection = store.connection();
    ctx.PackFolder = tmp / "pack";
    std::filesystem::create_directory(ctx.PackFolder);
    store.Add("qzmap101", {{"mprf", 9}, {"levl", 1}, {"vers", "X41U"}, {"rele", "R1"}, {"cust", "C01"}, {"pprf", 9}});
    store.Add("qzmap101", {{"mprf", 9}, {"levl", 2}, {"vers", "X40"}, {"rele", "R1"}, {"cust", "C01"}, {"pprf", 5}});
    store.Add("qzmap101", {{"mprf", 5}, {"levl", 1}, {"vers", "X40"}, {"rele", "R1"}, {"cust", "C01"}, {"pprf", 5}});
    store.Add("qzmap105", {{"mprf", 9}, {"vers", "X41U"}, {"rele", "R1"}, {"cust", "C01"},
                           {"dver", "D41U"}, {"drel", "R1"}, {"dcus", "D01"}});
    // Each function with its number of revisions; profile 12 has no chain rows.
    for (auto [mprf, vers, cust, fnam, fdef, revisions] :
         {std::tuple{5, "X40", "C01", "fnTrim", kRootTrim.c_str(), 1},
          {9, "X41U", "C01", "fnTrim", "Function fnTrim(s)\r\n  fnTrim = RTrim(LTrim(s))\r\nEnd Function", 2},
          {5, "X40", "C01", "fnRound", "Function fnRound(x)\r\nEnd Function", 1},
          {9, "D41U", "D01", "fnDraft", "Function fnDraft()\r\nEnd Function", 1},
          {12, "X50", "C02", "fnPad", "Function fnPad(s)\r\nEnd Function", 0}}) {
      store.Add("qzlib100", {{"mprf", mprf}, {"vers", vers}, {"rele", "R1"}, {"cust", cust}, {"fnam", fnam},
                             {"dsca", "Trim blanks"}, {"lurn", "jmartin"}, {"ldat", "2024-02-01 10:15:00"},
                             {"fdef", fdef}, {"curn", Value()}, {"stat", "A"}, {"comt", "version of " + std::to_string(mprf)}});
      for (int revi = 1; revi <= revisions; ++revi)
        store.Add("qzlib105", {{"mprf", mprf}, {"vers", vers}, {"rele", "R1"}, {"cust", cust}, {"fnam", fnam},
                               {"revi", revi}, {"rinf", "revision " + std::to_string(revi)}, {"isid", "I7"},
                               {"cdat", "2024-02-01 10:15:00"}, {"pexp", 1}, {"usrn", "jmartin"}, {"fdef", "x"},
                               {"comt", Value()}});
    }
  }
  std::string Read(const std::string& name) const { return ReadFile(ctx.PackFolder + "/" + name); }

  TempFolder tmp;
  StoreBuilder store = StoreBuilder::Empty(tmp / "store.db");
  exporter::ExportContext ctx{Env::Default()};
  exporter::ExportResults r;
};

TEST_F(LibraryWriters, EachWriterSelectsItsFunctions) {
  auto includes = [&](const char* mprf, bool traverse, bool revisions) -> std::function<bool()> {
    return [=, this] { return ExportIncludes(ctx, r, mprf, {traverse, revisions}); };
  };
  // Qzlib105.dat is absent when no revisions are listed.
  const struct { const char* name; std::function<bool()> run; Strings functions, revisions; } rows[] = {
      // The child's version wins, and only the winner's revisions travel.
      {"includes, climbing", includes("9", true, true), {"5 fnRound", "9 fnTrim"}, {"5 fnRound 1", "9 fnTrim 1", "9 fnTrim 2"}},
      {"includes of the profile alone", includes("9", false, false), {"9 fnTrim"}, {}},
      {"includes without chain rows", includes("12", true, true), {"12 fnPad"}, {}},
      {"library rows of a list", [&] { return ExportQzlib100(ctx, r, "9 5") && ExportQzlib105(ctx, r, "9 5"); },
       {"5 fnRound", "5 fnTrim", "9 fnTrim"}, {"5 fnRound 1", "5 fnTrim 1", "9 fnTrim 1", "9 fnTrim 2"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove_all(ctx.PackFolder);
    std::filesystem::create_directory(ctx.PackFolder);
    r = {};
    ASSERT_TRUE(row.run()) << r.Error.ErrorDescription;
    EXPECT_EQ(EntriesOf(ctx.PackFolder, pack::kQzlib100), row.functions);
    const bool revisions = std::string(row.name) != "includes of the profile alone";
    EXPECT_EQ(r.RuleFileList, revisions ? "Qzlib100.dat\r\nQzlib105.dat\r\n" : "Qzlib100.dat\r\n");
    EXPECT_EQ(std::filesystem::exists(ctx.PackFolder + "/Qzlib105.dat"), revisions);
    if (revisions) { EXPECT_EQ(EntriesOf(ctx.PackFolder, pack::kQzlib105), row.revisions); }
    const bool root_trim = std::count(row.functions.begin(), row.functions.end(), "5 fnTrim");
    EXPECT_EQ(Read("Qzlib100.dat").find(kRootTrim) != std::string::npos, root_trim) << "the version of its own row";
    EXPECT_EQ(Read("Qzlib105.dat").find(":PEXP:1"), std::string::npos) << "the stored pexp 1 travels as the fixed line";
    EXPECT_EQ(ctx.ManifestText, "");
  }
}

TEST_F(LibraryWriters, FailuresAreTrappedUnderEachWritersTag) {
  EXPECT_FALSE(ExportQzlib105(ctx, r, "9,5"));
  EXPECT_EQ(r.Error.ErrorNumber, 999);
  EXPECT_EQ(r.Error.ErrorDescription, "UnSpecified Error: --Qzlib105--13   Type mismatch");
  EXPECT_FALSE(std::filesystem::exists(ctx.PackFolder + "/Qzlib105.dat"));

  store.Add("qzmap150", {{"func", "LPAD"}, {"defn", Value()}, {"help", "pads"}});  // a shared function without definition
  EXPECT_FALSE(ExportFunctions(ctx, r));
  EXPECT_EQ(r.Error.ErrorDescription, "UnSpecified Error: --Export Functions--94   Invalid use of Null");

  ctx.DataConnection.reset();
  const std::string no_connection = "91   Object variable or With block variable not set";
  EXPECT_FALSE(ExportQzlib100(ctx, r, "9"));
  EXPECT_EQ(r.Error.ErrorDescription, "UnSpecified Error: --QZLIB100--" + no_connection);
  EXPECT_FALSE(ExportIncludes(ctx, r, "9", {}));
  EXPECT_EQ(r.Error.ErrorDescription, "UnSpecified Error: --QZLIB100--" + no_connection);
  EXPECT_FALSE(ExportFunctions(ctx, r));
  EXPECT_EQ(r.Error.ErrorDescription, "UnSpecified Error: --Export Functions--" + no_connection);
}

}  // namespace
}  // namespace kestrel::testing
