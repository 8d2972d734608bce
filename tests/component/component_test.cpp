// The component's classes: clsExport beyond the export driver (failures
// trapped into ErrorNumber/ErrorDescription, state kept from call to call on
// one object), the conversions of the variant its properties take, and
// creation of both classes by ProgID; and the run log as hosts and their
// scripts read it: every event of an import rendered into its line, and the
// file those lines are appended to.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/files.h"
#include "exporter/pack_readers.h"
#include "kestrel/cls_export.h"
#include "kestrel/cls_import.h"
#include "kestrel/create_object.h"
#include "kestrel/pack_facts.h"
#include "kestrel/registry.h"
#include "kestrel/run_log_text.h"
#include "support/error_of.h"
#include "support/fault_env.h"
#include "support/store_builder.h"
#include "support/temp_folder.h"

namespace kestrel::testing {
namespace {

using Kestrel20ImpExp::Variant;
using ::testing::Contains;

// What the export driver's tests do not see: a failure with no store is
// trapped, success clears it, and options stay set from call to call on one
// object, even when the profile's scme says neither Y nor N.
TEST(ClsExportTest, FailuresAreTrappedAndStateCarriesFromCallToCall) {
  TempFolder tmp;
  StoreBuilder store = StoreBuilder::RootAndChild(tmp / "store.db", 3, 9, "root CUST");
  Kestrel20ImpExp::clsExport e;
  EXPECT_FALSE(e.ExportMigrationProfiles());
  EXPECT_EQ(std::to_string(e.get_ErrorNumber()) + " " + e.get_ErrorDescription(), "999 UnSpecified Error: "
            "--ExportMigrationProfiles-- 91   Object variable or With block variable not set");
  e.putref_DataConnection(store.connection());
  e.put_Path(tmp.path());
  e.put_MigrationProfileTobeExported(9);
  e.put_ExportRevisionInformation(true);
  e.put_ExportToSingleProfile(true);
  e.put_traveseparent(true);
  std::string pack = tmp.path();
  for (const char* scme : {"'Y'", "NULL"}) {
    SCOPED_TRACE(scme);
    store.Exec(std::string("update qzmap100 set scme=") + scme + " where mprf=9");
    ASSERT_TRUE(e.ExportMigrationProfiles()) << e.get_ErrorDescription();
    EXPECT_EQ(std::to_string(e.get_ErrorNumber()) + e.get_ErrorDescription(), "0");
    pack += "/ExportedRules/9-BAS-EXT-S";  // Path names the pack: the root of the next export
    EXPECT_EQ(e.PackFolder(), pack);
    EXPECT_THAT(LinesOf(e.PackFolder() + "/ExportMR.log"), Contains("ExportRevisions=1"));
  }
}

TEST(VariantTest, TextAndBooleanOfEachKind) {
  // The boolean is 1 for true, 0 for false, 13 where there is none.
  const struct { Variant value; const char* text; int boolean; } rows[] = {
      {Variant(1), "1", 1}, {Variant(-1), "-1", 1}, {Variant(int64_t{70000}), "70000", 1}, {Variant(0.25), "0.25", 1},
      {Variant(5.0), "5", 1}, {Variant(true), "True", 1}, {Variant(false), "False", 0}, {Variant(), "", 0},
      {Variant(0), "0", 0}, {Variant(0.0), "0", 0}, {Variant(" tRUE "), " tRUE ", 1}, {Variant("False"), "False", 0},
      {Variant("-3"), "-3", 1}, {Variant("+1"), "+1", 1}, {Variant("1e3"), "1e3", 1}, {Variant("1e999"), "1e999", 1},
      {Variant("0"), "0", 0}, {Variant("yes"), "yes", 13}, {Variant(""), "", 13}, {Variant("1 2"), "1 2", 13},
      {Variant("0x1"), "0x1", 13}, {Variant("inf"), "inf", 13}, {Variant("nan"), "nan", 13},
      {Variant("+-1"), "+-1", 13}, {Variant("12abc"), "12abc", 13}, {Variant("+"), "+", 13},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(row.value.ToString(), row.text);
    bool b = false;
    const ComError err = CaughtFrom([&] { b = row.value.ToBool(); });
    const std::string got = err.number() ? std::to_string(err.number()) + " " + err.description() : std::to_string(b);
    EXPECT_EQ(got, row.boolean == 13 ? "13 Type mismatch" : std::to_string(row.boolean));
  }
}

// A registry that holds the installation folder, or nothing.
struct FakeRegistry : Registry {
  explicit FakeRegistry(std::string f) : folder(std::move(f)) {}
  bool GetKeyValue(uint32_t, const std::string&, const std::string&, std::string& data) override {
    if (!folder.empty()) data = folder;
    return !folder.empty();
  }
  std::string folder;
};

TEST(CreateObjectTest, CreatesBothClassesByProgId) {
  auto e = Kestrel20ImpExp::CreateObject("Kestrel20ImpExp.clsExport");
  ASSERT_NE(e.Export, nullptr);
  EXPECT_EQ(e.Import, nullptr);
  const auto registry = std::make_shared<FakeRegistry>("/opt/lumo");
  auto i = Kestrel20ImpExp::CreateObject("kestrel20impexp.CLSIMPORT", registry);
  ASSERT_NE(i.Import, nullptr);
  EXPECT_EQ(i.Export, nullptr);
  std::string path;
  ASSERT_TRUE(i.Import->GetLumoInstallationPath(path));
  EXPECT_EQ(path, "/opt/lumo");
  // Gone from the registry since: the lookup fails, and the error properties say why.
  registry->folder.clear();
  EXPECT_FALSE(i.Import->GetLumoInstallationPath(path));
  EXPECT_EQ(std::to_string(i.Import->get_ErrorNumber()) + " " + i.Import->get_ErrorDescription(),
            "505 Could not retrieve installation directory of Lumo Studio. Cannot Proceed...");
  const auto none = std::make_shared<FakeRegistry>("");
  EXPECT_EQ(ErrorOf([&] { Kestrel20ImpExp::CreateObject("Kestrel20ImpExp.clsImport", none); }), 505);
  for (const char* unknown : {"Kestrel20ImpExp.clsExporter", "clsExport", ""}) {
    const ComError err = CaughtFrom([&] { Kestrel20ImpExp::CreateObject(unknown); });
    EXPECT_EQ(err.number(), 429) << unknown;
    EXPECT_EQ(err.description(), "ActiveX component can't create object");
  }
}

using Kind = RunLogEvent::Kind;

struct RunLogRow {
  RunLogEvent event;
  std::string line;
};

// One row for every kind at least, with values as an import of the demo pack has them.
std::vector<RunLogRow> Rows() {
  const Error locked(9031, "The store is locked by another program: /srv/profiles.db (waited 30 s)");
  const Error denied(70, "Permission denied");
  const std::string bar(34, '-');  // around a call's title
  std::vector<RunLogRow> rows = {
      {{.kind = Kind::ImportStarted}, bar + "Import Logic Pack" + bar},
      {{.kind = Kind::ImportEnded}, bar + "End Import Logic Pack" + bar},
      {{.kind = Kind::CheckStarted}, bar + "Check Logic Pack" + bar},
      {{.kind = Kind::VerifyStarted}, "---------------------------Verify User Selection---------------------------"},
      {{.kind = Kind::LoadingStarted}, "Importing Logic pack ..."},
      {{.kind = Kind::PackContents, .text = "20|LGA|EXB|10|0|1#10|LGA|EXB|0|0|1"},
       "Logic Pack contents: 20|LGA|EXB|10|0|1#10|LGA|EXB|0|0|1"},
      {{.kind = Kind::ImportPreference, .text = "120|LGA|EXB|110|0|1"},
       "Logic pack Import Preference: 120|LGA|EXB|110|0|1"},
      {{.kind = Kind::PlanHeader},
       "Source Profile Number | Source Application | Target Application| Parent Profile Number "},
      {{.kind = Kind::PlanEntry, .index = 1, .profile = "20", .fields = {"LGA", "EXB", "10"}}, "1---->20|LGA|EXB|10"},
      // An entry whose plan lacks its parent (a selection cut short) shows it empty.
      {{.kind = Kind::PlanEntry, .index = 2, .profile = "30", .fields = {"LGA", "EXB"}}, "2---->30|LGA|EXB|"},
      {{.kind = Kind::DevelopmentVrcHeader}, "Development VRC"},
      {{.kind = Kind::DevelopmentVrc, .index = 0, .fields = {"V01", "R01", "CUST"}}, "0---->V01|R01|CUST"},
      {{.kind = Kind::DevelopmentVrc, .index = 3}, "3---->"},
      {{.kind = Kind::ArraySorted}, "Sorting array ..."},
      {{.kind = Kind::ArrayElement, .index = 2, .text = "10_V01_R01_CUST"}, "2---->10_V01_R01_CUST"},
      {{.kind = Kind::PackWithoutSums}, std::string(kNoPackSumsNotice)},
      {{.kind = Kind::PackCheckStarted}, "Checking logic pack ..."},
      {{.kind = Kind::PackCheckDone}, "Checking logic pack...done"},
      {{.kind = Kind::PackRefused, .text = "Qzmap120.dat line 7"},
       "Logic pack refused, the store left as it was: Qzmap120.dat line 7"},
      {{.kind = Kind::ProcedureFailed, .procedure = "ImportProfileEx"}, "ImportProfileEx failed."},
      {{.kind = Kind::HeaderLineRead, .text = "20\x01LGA\x01" "EXB"}, "qzmap100.dat ----> 20\x01LGA\x01" "EXB"},
      {{.kind = Kind::HeaderLineSelected, .text = "120\x01LGA\x01" "EXB"}, "qzmap100.dat ----> 120\x01LGA\x01" "EXB"},
      {{.kind = Kind::ProfilesToAdjust, .profile = "20", .text = "30, 40"}, "Profiles to adjust: 20_30, 40"},
      {{.kind = Kind::ProfileDeleting, .profile = "20"}, "Deleting existing profile: 20"},
      {{.kind = Kind::ProfileDeleted, .profile = "20"}, "Profile deleted: 20"},
      {{.kind = Kind::ApplicationDeleting, .application = "EXB"}, "Deleting existing application: EXB"},
      {{.kind = Kind::ApplicationDeleted, .application = "EXB"}, "Deleted application: EXB"},
      // Before and after alike: the log has always said "before" both times.
      {{.kind = Kind::FolderCreating, .path = "/opt/lumo/LumoStudio/tmp/ImportAt101226080501"},
       " Before Creating folder: /opt/lumo/LumoStudio/tmp/ImportAt101226080501"},
      {{.kind = Kind::FolderCreated, .path = "/opt/lumo/LumoStudio/tmp/ImportAt101226080501"},
       " Before Creating folder: /opt/lumo/LumoStudio/tmp/ImportAt101226080501"},
      {{.kind = Kind::FolderNotRemoved, .path = "/tmp/ImportAt1", .error = denied},
       "The import folder /tmp/ImportAt1 was not removed: Permission denied"},
      {{.kind = Kind::LeftFolderRemoved, .path = "/tmp/ImportAt0"},
       "Removed the working folder an earlier import left: /tmp/ImportAt0"},
      {{.kind = Kind::LeftFolderNotRemoved, .path = "/tmp/ImportAt0", .error = denied},
       "The working folder an earlier import left, /tmp/ImportAt0, was not removed: Permission denied"},
      {{.kind = Kind::ApplicationStillStored}, "Import failed. Applications not deleted before importing."},
      {{.kind = Kind::ApplicationLoading, .application = "LGA"}, "Loading application LGA..."},
      {{.kind = Kind::DataFileMissing, .table = "qzddi150"}, "Data file not found for table qzddi150"},
      {{.kind = Kind::ApplicationLoaded, .application = "LGA"}, "Loading application LGA done."},
      {{.kind = Kind::ApplicationLoadFailed, .application = "LGA"}, "Loading application LGA failed."},
      {{.kind = Kind::ApplicationLoadFailed, .application = "LGA", .table = "qzddi140"},
       "Application Loading failed while loading qzddi140."},
      {{.kind = Kind::VrcFromPack, .vrc = "V01_R01_CUST"}, "VRC from Logic pack: V01_R01_CUST"},
      {{.kind = Kind::VrcGenerated, .vrc = "V01_R01_I001"}, "Generated VRC: V01_R01_I001"},
      {{.kind = Kind::VrcPresent, .vrc = "V01U_R01_CUST"}, "Present VRC name: V01U_R01_CUST"},
      {{.kind = Kind::VrcForUpdateProfile, .vrc = "V11U_R01_CUST"}, "VRC Name for Update Profile: V11U_R01_CUST"},
      {{.kind = Kind::HeaderInserted,
        .fields = {"120", "LGA", "EXB", "V01", "R01", "CUST", "V00", "R00", "CUST", "demo", "Y", "2", "APL"}},
       "Inserting qzmap100: 120|LGA|EXB|V01|R01|CUST|V00|R00|CUST|demo|Y|2|APL"},
      {{.kind = Kind::ProfilesImported, .text = ",120,110"}, "Imported profiles: ,120,110"},
      {{.kind = Kind::RolledBack}, "Import rolled back: the store is unchanged."},
      {{.kind = Kind::DryRunRolledBack}, "Dry run done and rolled back: the store is unchanged."},
      {{.kind = Kind::Failure, .error = locked}, locked.text()},
      {{.kind = Kind::Failure, .error = Error(999, TrapHead::ImportTransaction, "ValidateAndImportEx", denied)},
       "UnSpecified Error : --ValidateAndImportEx--70   Permission denied"},
      {{.kind = Kind::Trap, .procedure = "ImportApplicationsFromLogicPack", .error = denied},
       "ImportApplicationsFromLogicPack : \r\nPermission denied70"},
      {{.kind = Kind::Unexpected, .error = Error(91, "Object variable or With block variable not set")},
       "Unexpected Error.Error Number: 91Description: Object variable or With block variable not set"},
      {{.kind = Kind::SelectionVerified, .text = "Profile 120 already exists."}, "Profile 120 already exists."},
      {{.kind = Kind::SelectionVerified}, ""},
  };
  // Each step's start, end and failure (the shared functions' failure has
  // always read as the rules').
  const struct { ImportStep step; std::string started, done, failed; } steps[] = {
      {ImportStep::Applications, "Importing Application ...", "Importing Application...done", "Importing Application Failed."},
      {ImportStep::Headers, "Importing qzmap100...", "Importing qzmap100...done", "Importing qzmap100 failed"},
      {ImportStep::Library, "Importing qzlib100...", "Importing qzlib100...done", "Importing qzlib100 failed."},
      {ImportStep::Rules, "Importing qzmap120...", "Importing qzmap120...done", "Importing qzmap120 failed."},
      {ImportStep::Functions, "Importing qzmap150...", "Importing qzmap150...done", "Importing qzmap120 failed."},
      {ImportStep::Revisions, "Importing qzmap110, 125...", "Importing qzmap110, 125...done",
       "Importing qzmap110, 125 failed"},
  };
  for (const auto& s : steps)
    rows.insert(rows.end(), {{{.kind = Kind::StepStarted, .step = s.step}, s.started},
                             {{.kind = Kind::StepDone, .step = s.step}, s.done},
                             {{.kind = Kind::StepFailed, .step = s.step}, s.failed}});
  return rows;
}

TEST(RunLogTextTest, EveryEventReadsAsTheOriginalLine) {
  std::set<Kind> seen;
  for (const RunLogRow& row : Rows()) {
    EXPECT_EQ(RunLogText(row.event), row.line) << "kind " << static_cast<int>(row.event.kind);
    seen.insert(row.event.kind);
  }
  // A kind added to the events gets a row here.
  EXPECT_EQ(seen.size(), static_cast<size_t>(Kind::SelectionVerified) + 1);
}

TEST(RunLogTextTest, TheSinkAppendsDatedLinesAndNeverFails) {
  TempFolder tmp;
  FaultEnv env;
  env.FixTime(DateTime{2026, 12, 10, 8, 5, 1});
  const std::string log = tmp / "importmr.log";
  AppendRunLog(env, log, {.kind = Kind::ImportStarted});
  AppendRunLog(env, log, {.kind = Kind::ApplicationLoading, .application = "LGA"});
  // No run log kept, one in a folder that is not there: the line is lost, nothing raised.
  AppendRunLog(env, "", {.kind = Kind::LoadingStarted});
  AppendRunLog(env, tmp / "gone/importmr.log", {.kind = Kind::LoadingStarted});
  env.FailWrite(1);
  AppendRunLog(env, log, {.kind = Kind::RolledBack});
  const std::string bar(34, '-');
  EXPECT_EQ(ReadFile(log), "2026-12-10 08:05:01 " + bar + "Import Logic Pack" + bar +
                               "\r\n2026-12-10 08:05:01 Loading application LGA...\r\n");
}

}  // namespace
}  // namespace kestrel::testing
