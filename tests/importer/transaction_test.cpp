// The whole import: round trips of demo packs, the run log of an import in
// order, replaced profiles and applications, a loader failing on the store,
// and packs refused by the check before anything is deleted.
#include <gmock/gmock.h>

#include <set>

#include "base/errors_ours.h"
#include "base/text.h"
#include "importer/import_driver.h"
#include "importer/import_unit.h"
#include "importer/transaction.h"
#include "import_fixture.h"
#include "pack/sums.h"
#include "support/pack_compare.h"

namespace kestrel::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr std::string_view kEndBanner =
    "----------------------------------End Import Logic Pack----------------------------------";

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> out;
  auto in = files::TextReader::Open(Env::Default(), path);
  std::string line;
  while (in->ReadLine(line)) out.push_back(line);
  return out;
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  auto out = files::TextWriter::Create(Env::Default(), path);
  for (const auto& l : lines) out->WriteLine(l);
  out->Close();
}

// The log from `first` on, with the lines strictly between each pair of
// (open, close) lines left out: those sections belong to other procedures.
std::vector<std::string> From(const std::vector<std::string>& log, const std::string& first,
                              const std::vector<std::pair<std::string, std::string>>& skip = {}) {
  std::vector<std::string> out;
  auto at = std::find(log.begin(), log.end(), first);
  std::string closing;
  for (; at != log.end(); ++at) {
    if (!closing.empty() && *at != closing) continue;
    closing.clear();
    out.push_back(*at);
    for (const auto& [open, close] : skip)
      if (*at == open) closing = close;
  }
  return out;
}

class TransactionTest : public ImportFixture {
 protected:
  struct Outcome {
    bool result = false;
    std::string message;
  };
  Outcome Import(Kestrel20ImpExp::clsImport& i, std::string details) {
    Outcome o;
    o.result = i.ImportLogicPack(details, o.message);
    return o;
  }
};

// --- round trips ----------------------------------------------------------

TEST_F(TransactionTest, ChainPackWithRevisionsComesBackAsItWent) {
  const std::string first = Export(demo_, {.profile = 30, .revisions = true});
  auto second = SharedStore("second.db");
  auto i = NewImport(second, first);
  auto o = Import(*i, Unmarked(Proposal(*i)));
  ASSERT_TRUE(o.result) << o.message;

  const std::string again = Export(second, {.profile = 30, .revisions = true});
  EXPECT_EQ(kestrel::testing::ComparePacks(first, again), "");
  // The chain and the owners came back too.
  EXPECT_EQ(Count(*second, "select count(*) from qzmap101"), 6);
  EXPECT_EQ(Count(*second, "select count(*) from qzusr110"), 3);
  EXPECT_EQ(Count(*second, "select deph from qzmap100 where mprf=30"), 3);
}

TEST_F(TransactionTest, SingleProfileWithItsInheritedRulesUnderANewNumber) {
  const std::string pack =
      Export(demo_, {.profile = 30, .single = true, .revisions = false, .traverse_parent = true, .new_number = 50});
  auto empty = store::CreateStore(t_ / "empty.db");
  auto i = NewImport(empty, pack);
  const std::string proposal = Proposal(*i);
  EXPECT_THAT(proposal, HasSubstr("\r50|"));
  auto o = Import(*i, Unmarked(proposal));
  ASSERT_TRUE(o.result) << o.message;

  // An update profile on a pair the store does not serve gets "Z" for "U".
  auto header = empty->OpenRecordset("select vers, rele, cust, deph, scme from qzmap100 where mprf=50");
  ASSERT_FALSE(header->IsEOF());
  EXPECT_EQ(header->Fields(0).Text(), "X42Z");
  EXPECT_EQ(header->Fields(1).Text(), "R1");
  EXPECT_EQ(header->Fields(2).Text(), "cu02");
  EXPECT_EQ(header->Fields(3).Integer(), 1);
  EXPECT_EQ(header->Fields(4).Text(), "N");
  EXPECT_EQ(Count(*empty, "select count(*) from qzmap100"), 1);

  // Every object with rules anywhere in the chain 10 <- 20 <- 30 has the
  // rules of its nearest level under 50 and the new VRC.
  for (const char* table : {"qzmap120", "qzmap130", "qzmap140", "qzmap160"}) {
    std::map<std::string, int64_t> expected;
    auto rs = demo_->OpenRecordset(std::string("select mprf, tcpac || '.' || tcmod || '.' || tflno from ") + table +
                                   " where vers not like 'd%'");
    std::map<std::string, int64_t> nearest;
    for (; !rs->IsEOF(); rs->MoveNext()) {
      const std::string key = rs->Fields(1).Text();
      nearest[key] = std::max(nearest[key], rs->Fields(0).Integer());
    }
    for (const auto& [key, mprf] : nearest)
      expected[key] = Count(*demo_, std::string("select count(*) from ") + table + " where mprf=" +
                                        std::to_string(mprf) + " and vers not like 'd%' and tcpac || '.' || tcmod "
                                        "|| '.' || tflno = '" + key + "'");
    std::map<std::string, int64_t> imported;
    auto got = empty->OpenRecordset(std::string("select tcpac || '.' || tcmod || '.' || tflno, count(*) from ") +
                                    table + " where mprf=50 and vers='X42Z' and rele='R1' and cust='cu02' group by 1");
    for (; !got->IsEOF(); got->MoveNext()) imported[got->Fields(0).Text()] = got->Fields(1).Integer();
    EXPECT_EQ(imported, expected) << table;
    EXPECT_EQ(Count(*empty, std::string("select count(*) from ") + table + " where mprf<>50"), 0) << table;
  }
  // Rules of a pack that is not for synchronisation take the importing user.
  EXPECT_EQ(Count(*empty, "select count(*) from qzmap120 where lusr<>'importer'"), 0);
}

// --- the run log ----------------------------------------------------------

TEST_F(TransactionTest, RunLogOfAWholeImportInOrder) {
  const std::string pack = Export(demo_, {.profile = 30, .revisions = true});
  auto second = SharedStore("second.db");
  auto i = NewImport(second, pack);
  const std::string details = Unmarked(Proposal(*i));
  ClearLog();
  ASSERT_TRUE(Import(*i, details).result);

  std::vector<std::string> expected = {"Importing Logic pack ...", "Checking logic pack ...",
                                       "Checking logic pack...done"};
  // The header lines in file order (the chain export writes 30, 20, 10),
  // each as read and as renumbered; the numbers stay, so both agree.
  for (const auto& line : Lines(files::PathInFolder(Env::Default(), pack, "Qzmap100.dat"))) {
    expected.push_back("qzmap100.dat ----> " + line);
    expected.push_back("qzmap100.dat ----> " + line);
  }
  for (const char* line : {"Sorting array ...", "0---->10_X40_R1_base", "1---->20_X41U_R1_cu01",
                           "2---->30_X42U_R1_cu02", "Importing Application ...", "Importing Application...done",
                           "Importing qzmap100...", "Importing qzmap100...done", "Importing qzlib100...",
                           "Importing qzlib100...done", "Importing qzmap120...", "Importing qzmap120...done",
                           "Importing qzmap150...", "Importing qzmap150...done", "Importing qzmap110, 125...",
                           "Importing qzmap110, 125...done"})
    expected.push_back(line);
  expected.emplace_back(kEndBanner);

  const auto log = Log();
  EXPECT_THAT(From(log, "Importing Logic pack ...",
                   {{"Importing Application ...", "Importing Application...done"},
                    {"Importing qzmap100...", "Importing qzmap100...done"}}),
              ElementsAreArray(expected));
  // The header import's own lines end with the VRCs it decided.
  auto headers = From(log, "Importing qzmap100...");
  auto done = std::find(headers.begin(), headers.end(), "Importing qzmap100...done");
  ASSERT_NE(done, headers.begin());
  EXPECT_EQ(*(done - 1), "Imported profiles: 10_X40_R1_base\x01" "20_X41U_R1_cu01\x01" "30_X42U_R1_cu02");
  // Nothing was replaced in a store that held no profile.
  EXPECT_THAT(log, Not(Contains(HasSubstr("Deleting existing"))));
}

TEST_F(TransactionTest, WithoutRevisionInformationTheLastStepIsSkipped) {
  const std::string pack = Export(demo_, {.profile = 20, .revisions = false});
  auto second = SharedStore("second.db");
  auto i = NewImport(second, pack);
  ASSERT_TRUE(Import(*i, Unmarked(Proposal(*i))).result) << i->get_ErrorDescription();
  auto tail = From(Log(), "Importing qzmap150...");
  EXPECT_THAT(tail, ElementsAreArray({std::string("Importing qzmap150..."), std::string("Importing qzmap150...done"),
                                      std::string(kEndBanner)}));
  EXPECT_EQ(Count(*second, "select count(*) from qzmap110"), 0);
  EXPECT_EQ(Count(*second, "select count(*) from qzmap105"), 0);
  EXPECT_EQ(Count(*second, "select count(*) from qzmap100 where scme='N'"), 2);
}

// --- replacing what the store holds -----------------------------------------

// Rows for `mprf` in every table that holds a profile's rows, with values
// that no pack brings.
void StoreMarkerRows(store::Connection& c, int64_t mprf) {
  const std::string n = std::to_string(mprf);
  for (std::string_view table : store::ProfileTables()) {
    const store::TableDef* def = store::FindTable(table);
    std::string columns, values;
    for (const auto& col : def->columns) {
      columns += (columns.empty() ? "" : ",") + std::string(col.name);
      std::string v;
      if (col.name == "mprf")
        v = col.type == store::ColumnType::Binary ? "cast('" + n + "' as blob)" : n;
      else if (col.type == store::ColumnType::Integer)
        v = "9";
      else if (col.type == store::ColumnType::Binary)
        v = "cast('marker' as blob)";
      else
        v = "'marker" + n + "'";
      values += (values.empty() ? "" : ",") + v;
    }
    c.Execute("insert into " + std::string(table) + " (" + columns + ") values (" + values + ")");
  }
}

int64_t RowsOfProfile(store::Connection& c, std::string_view table, int64_t mprf) {
  const std::string column = table == "qzusr110" ? "cast(mprf as int)" : "mprf";
  return c.OpenRecordset("select count(*) from " + std::string(table) + " where " + column + "=" +
                         std::to_string(mprf))
      ->Fields(0)
      .Integer();
}

TEST_F(TransactionTest, DeleteProfileClearsItsSeventeenTablesOnly) {
  auto c = store::CreateStore(t_ / "s.db");
  StoreMarkerRows(*c, 20);
  StoreMarkerRows(*c, 30);
  importer::ImportContext cx(Env::Default());
  cx.DataConnection = c;
  importer::DeleteProfile(cx, 20);
  for (std::string_view table : store::ProfileTables()) {
    EXPECT_EQ(RowsOfProfile(*c, table, 20), 0) << table;
    EXPECT_EQ(RowsOfProfile(*c, table, 30), 1) << table;
  }
  EXPECT_EQ(store::ProfileTables().size(), 17u);

  // A table that is missing is skipped; the others are still cleared.
  StoreMarkerRows(*c, 21);
  c->Execute("drop table qzmap130");
  importer::DeleteProfile(cx, 21);
  for (std::string_view table : store::ProfileTables())
    if (table != "qzmap130") {
      EXPECT_EQ(RowsOfProfile(*c, table, 21), 0) << table;
    }
}

TEST_F(TransactionTest, DeleteApplicationClearsItsElevenTablesOnly) {
  importer::ImportContext cx(Env::Default());
  cx.DataConnection = demo_;
  std::map<std::string, int64_t> other;
  for (std::string_view table : store::ApplicationTables()) {
    const std::string t(table);
    other[t] = Count(*demo_, "select count(*) from " + t + " where appl<>'ACCX2'");
  }
  ASSERT_GT(Count(*demo_, "select count(*) from qzddi140 where appl='ACCX2'"), 0);
  importer::DeleteApplication(cx, "ACCX2");
  EXPECT_EQ(store::ApplicationTables().size(), 11u);
  for (std::string_view table : store::ApplicationTables()) {
    const std::string t(table);
    EXPECT_EQ(Count(*demo_, "select count(*) from " + t + " where appl='ACCX2'"), 0) << t;
    EXPECT_EQ(Count(*demo_, "select count(*) from " + t + " where appl<>'ACCX2'"), other[t]) << t;
  }
  // The shared codes are no application's rows.
  EXPECT_GT(Count(*demo_, "select count(*) from qzlgy115"), 0);
}

TEST_F(TransactionTest, ReplacedProfileIsDeletedAndItsDescendantsChainRebuilt) {
  // The store gets profile 15 below 10; the pack of 20 (with its base 10) is
  // imported over 10 and 20, with 20 now derived from 15. Profile 30, derived
  // from 20, stays and must end up under 20, 15, 10.
  demo_->Execute("insert into qzmap100 (mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,dsca,scme,deph) values "
                 "(15,'ACC10','ACCX2','X45U','R1','cu15','X40','R1','base','Branch','N',2)");
  demo_->Execute("insert into qzmap101 (mprf,levl,vers,rele,cust,pprf) values (15,1,'X45U','R1','cu15',15)");
  demo_->Execute("insert into qzmap101 (mprf,levl,vers,rele,cust,pprf) values (15,2,'X40','R1','base',10)");
  const std::string pack = Export(demo_, {.profile = 20, .revisions = true});

  // A rule and an application row no pack brings back.
  demo_->Execute("insert into qzmap120 (mprf,vers,rele,cust,tcpac,tcmod,tflno) values "
                 "(20,'X41U','R1','cu01','OLD','GONE','0001')");
  demo_->Execute("insert into qzddi140 (appl) values ('ACCX2')");
  const int64_t ddi140 = Count(*demo_, "select count(*) from qzddi140");
  std::map<std::string, int64_t> rows_of_30;
  for (std::string_view table : store::ProfileTables()) rows_of_30[std::string(table)] = RowsOfProfile(*demo_, table, 30);

  auto i = NewImport(demo_, pack);
  const std::string proposal = Proposal(*i);
  ClearLog();
  auto o = Import(*i, WithTargets(proposal, {"10|ACC10|ACCX2|0|0|1", "20|ACC10|ACCX2|15|0|1"}));
  ASSERT_TRUE(o.result) << o.message;

  EXPECT_EQ(Count(*demo_, "select count(*) from qzmap120 where tcmod='GONE'"), 0);
  EXPECT_EQ(Count(*demo_, "select count(*) from qzddi140"), ddi140 - 1);
  // Its chain grows by a level (below); every other row of 30 stays.
  for (std::string_view table : store::ProfileTables())
    if (table != "qzmap101") {
      EXPECT_EQ(RowsOfProfile(*demo_, table, 30), rows_of_30[std::string(table)]) << table;
    }

  // 20 is now below 15; 30 keeps its own two levels and gets 15 and 10 above.
  auto chain = [&](int mprf) {
    std::vector<std::string> out;
    auto rs = demo_->OpenRecordset("select levl, pprf, vers from qzmap101 where mprf=" + std::to_string(mprf) +
                                   " order by levl");
    for (; !rs->IsEOF(); rs->MoveNext())
      out.push_back(rs->Fields(0).Text() + ":" + rs->Fields(1).Text() + ":" + rs->Fields(2).Text());
    return out;
  };
  EXPECT_THAT(chain(20), ElementsAreArray({"1:20:X41U", "2:15:X45U", "3:10:X40"}));
  EXPECT_THAT(chain(30), ElementsAreArray({"1:30:X42U", "2:20:X41U", "3:15:X45U", "4:10:X40"}));
  EXPECT_EQ(Count(*demo_, "select deph from qzmap100 where mprf=30"), 4);
  EXPECT_EQ(Count(*demo_, "select deph from qzmap100 where mprf=20"), 3);

  // The walk: 20 first (file order), its applications deleted with it; 10
  // then finds them gone. What was derived from each is listed before the
  // delete (the store returns it in an order of its own).
  const auto walk = From(Log(), "Checking logic pack...done");
  std::vector<std::string> deletes;
  for (const auto& line : walk) {
    if (line == "Sorting array ...") break;
    if (line.rfind("qzmap100.dat ----> ", 0) == 0) continue;
    deletes.push_back(line.rfind("Profiles to adjust: ", 0) == 0 ? line.substr(0, line.find('_') + 1) : line);
  }
  EXPECT_THAT(deletes, ElementsAreArray({"Checking logic pack...done", "Profiles to adjust: 20_",
                                         "Deleting existing profile: 20", "Profile deleted: 20",
                                         "Deleting existing application: ACC10", "Deleted application: ACC10",
                                         "Deleting existing application: ACCX2", "Deleted application: ACCX2",
                                         "Profiles to adjust: 10_", "Deleting existing profile: 10",
                                         "Profile deleted: 10"}));
  std::set<std::string> derived_of_20;
  for (const auto& line : walk)
    if (line.rfind("Profiles to adjust: 20_", 0) == 0)
      for (const auto& n : text::Split(line.substr(23), ", ")) derived_of_20.insert(n);
  EXPECT_EQ(derived_of_20, (std::set<std::string>{"20", "30"}));
}

// --- failures -------------------------------------------------------------

TEST_F(TransactionTest, StoreFailureInsideALoaderRollsEverythingBackAndLogsInOrder) {
  const std::string pack = Export(demo_, {.profile = 30, .revisions = true});
  auto second = SharedStore("second.db");
  second->Execute("create trigger refuse before insert on qzmap140 begin select raise(abort, 'disk quota'); end");
  auto i = NewImport(second, pack);
  const std::string details = Unmarked(Proposal(*i));
  const auto before = Dump(*second);
  ClearLog();
  auto o = Import(*i, details);
  EXPECT_FALSE(o.result);
  EXPECT_EQ(i->get_ErrorNumber(), 899);
  const std::string description = i->get_ErrorDescription();
  EXPECT_THAT(description, ::testing::StartsWith("Unspecified Error : --LoadToMAP120_130_140_160-- "));
  EXPECT_THAT(description, HasSubstr("disk quota"));
  EXPECT_EQ(o.message, description);

  EXPECT_THAT(From(Log(), "Importing qzmap120..."),
              ElementsAreArray({std::string("Importing qzmap120..."), description,
                                std::string("Importing qzmap120 failed."), description,
                                std::string("ImportProfileEx failed."), std::string(kEndBanner),
                                std::string(importer::kImportRolledBack)}));
  // Nothing that ran before stays: not the applications, headers, chains,
  // libraries, nor the rule files before the one that failed.
  EXPECT_EQ(Dump(*second), before);
  EXPECT_FALSE(i->Summary().Committed);
}

// A pack of the demo store imported back over itself: without the check every
// profile and application would be deleted first.
struct Refusal {
  std::string name;
  std::function<void(const std::string& pack)> spoil;
  int number;
  std::string description;  // the whole text, or its start when `prefix`
  bool prefix;
  std::string file;         // the file the refusal names
};

std::vector<std::string> Replace(std::vector<std::string> lines, const std::string& from, const std::string& to) {
  for (auto& l : lines)
    if (l == from) {
      l = to;
      break;
    }
  return lines;
}

class RefusedPackTest : public TransactionTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedPackTest, StoreIsUntouched) {
  const Refusal& r = GetParam();
  const std::string pack = Export(demo_, {.profile = 30, .revisions = true});
  auto i = NewImport(demo_, pack);
  const std::string details = Unmarked(Proposal(*i));
  r.spoil(pack);
  // Whoever spoiled the pack made its sums match: the refusal must come from
  // the check of the content.
  pack::WriteSums(Env::Default(), pack);
  const auto before = Dump(*demo_);
  ClearLog();

  auto o = Import(*i, details);
  EXPECT_FALSE(o.result);
  EXPECT_EQ(i->get_ErrorNumber(), r.number);
  if (r.prefix)
    EXPECT_THAT(i->get_ErrorDescription(), ::testing::StartsWith(r.description));
  else
    EXPECT_EQ(i->get_ErrorDescription(), r.description);
  EXPECT_THAT(o.message, HasSubstr(i->get_ErrorDescription()));
  EXPECT_THAT(o.message, HasSubstr("refused before anything was deleted: " + files::PathInFolder(Env::Default(), pack, r.file)));
  EXPECT_EQ(Dump(*demo_), before);

  auto log = From(Log(), "Checking logic pack ...");
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[1], i->get_ErrorDescription());
  EXPECT_THAT(log[2], HasSubstr(r.file));
  EXPECT_EQ(log[3], kEndBanner);
  EXPECT_EQ(log[4], importer::kImportRolledBack);

  // The check alone says the same and changes nothing either.
  std::string again = details, message;
  EXPECT_FALSE(i->CheckLogicPack(again, message));
  EXPECT_EQ(message, o.message);
  EXPECT_EQ(Dump(*demo_), before);
}

INSTANTIATE_TEST_SUITE_P(
    Packs, RefusedPackTest,
    ::testing::Values(
        Refusal{"MissingRuleFile",
                [](const std::string& p) { files::DeleteFile(Env::Default(), files::PathInFolder(Env::Default(), p, "Qzmap140.dat")); }, 899,
                "Unspecified Error : --LoadToMAP120_130_140_160-- 53   File not found", false, "Qzmap140.dat"},
        Refusal{"NumberThatDoesNotConvert",
                [](const std::string& p) {
                  const std::string f = files::PathInFolder(Env::Default(), p, "Qzmap140.dat");
                  WriteLines(f, Replace(Lines(f), ":DNUM:2", ":DNUM:two"));
                },
                899, "Unspecified Error : --LoadToMAP120_130_140_160-- 13   Type mismatch", false, "Qzmap140.dat, line "},
        Refusal{"BlockWithoutItsEnd",
                [](const std::string& p) {
                  const std::string f = files::PathInFolder(Env::Default(), p, "Qzmap145.dat");
                  WriteLines(f, Replace(Lines(f), ":MRUL:END", "MOVE"));
                },
                899, "Unspecified Error : --LoadToMAP110_125_135_145_165-- 9008   A pack file holds a line outside",
                true, "Qzmap145.dat, line "},
        Refusal{"LibraryDateThatIsNoDate",
                [](const std::string& p) {
                  const std::string f = files::PathInFolder(Env::Default(), p, "Qzlib100.dat");
                  auto lines = Lines(f);
                  for (auto& l : lines)
                    if (l.rfind(":LDAT:", 0) == 0) {
                      l = ":LDAT:yesterday";
                      break;
                    }
                  WriteLines(f, lines);
                },
                899, "Unspecified Error : --ImportProfileEx-- 13   Type mismatch", false, "Qzlib100.dat, line "},
        Refusal{"ApplicationRowOfAnotherWidth",
                [](const std::string& p) {
                  const std::string f = files::PathInFolder(Env::Default(), p, "qzddi140ACCX2.dat");
                  auto lines = Lines(f);
                  lines[0] += "\x01" "extra";
                  WriteLines(f, lines);
                },
                Number(Ours::MalformedPackFile), "A pack file holds a line outside its format: ", true,
                "qzddi140ACCX2.dat, line 1"},
        Refusal{"HeaderLineOf17Fields",
                [](const std::string& p) {
                  const std::string f = files::PathInFolder(Env::Default(), p, "Qzmap100.dat");
                  auto lines = Lines(f);
                  lines[1] = lines[1].substr(0, lines[1].rfind('\x01'));
                  WriteLines(f, lines);
                },
                100, "Import Migration Profile - Qzmap100.dat file is not having enough data or file is corrupted",
                false, "Qzmap100.dat, line 2"},
        Refusal{"HeaderLineNotInThePlan",
                [](const std::string& p) {
                  const std::string f = files::PathInFolder(Env::Default(), p, "Qzmap100.dat");
                  auto lines = Lines(f);
                  lines[2] = "99" + lines[2].substr(lines[2].find('\x01'));
                  WriteLines(f, lines);
                },
                999,
                "UnSpecified Error : --ValidateAndImportEx--100   The profile could not be found in user selected "
                "list.",
                false, "Qzmap100.dat, line 3"}),
    [](const ::testing::TestParamInfo<Refusal>& param) { return param.param.name; });

TEST_F(TransactionTest, BatchPathValuesAreCheckedBeforeAnythingIsDeleted) {
  files::CreateFolders(Env::Default(), install_ + "/LumoStudio/bin");
  WriteLines(install_ + "/LumoStudio/bin/LumoConfig.ini", {"IIS=5"});
  const std::string pack = Export(demo_, {.profile = 30, .revisions = true});
  auto i = NewImport(demo_, pack);
  i->put_DatabaseName(t_ / "a store with blanks.db");
  const std::string details = Unmarked(Proposal(*i));
  const auto before = Dump(*demo_);
  auto o = Import(*i, details);
  EXPECT_FALSE(o.result);
  EXPECT_EQ(i->get_ErrorNumber(), static_cast<int16_t>(Number(Ours::UnsafeBatchValue)));
  EXPECT_THAT(i->get_ErrorDescription(), HasSubstr("holds a blank"));
  EXPECT_EQ(Dump(*demo_), before);
}

TEST_F(TransactionTest, CheckAloneOfAGoodPackChangesNothing) {
  const std::string pack = Export(demo_, {.profile = 30, .revisions = true});
  auto i = NewImport(demo_, pack);
  std::string details = Unmarked(Proposal(*i)), message;
  const auto before = Dump(*demo_);
  ClearLog();
  EXPECT_TRUE(i->CheckLogicPack(details, message)) << message;
  EXPECT_EQ(message, "");
  EXPECT_EQ(Dump(*demo_), before);
  const auto log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "----------------------------------Check Logic Pack----------------------------------");
  EXPECT_EQ(log.back(), "Checking logic pack...done");

  // The header map the check built for itself is not left behind.
  importer::ImportOptions options;
  options.Path = pack;
  importer::ImportContext cx(Env::Default());
  cx.DataConnection = demo_;
  cx.InstallationPath = install_;
  cx.ImportLogPath = install_ + "/LumoStudio/tmp/importmr.log";
  importer::ImportResults results;
  results.HeaderMap = {"30_X30_c_ab1"};
  details = Unmarked(Proposal(*i));
  EXPECT_TRUE(importer::CheckLogicPack(options, cx, results, details, message)) << message;
  EXPECT_EQ(results.HeaderMap, std::vector<std::string>{"30_X30_c_ab1"});
  EXPECT_EQ(results.Plan.Size + 1, static_cast<int32_t>(results.Plan.SourceProfiles[0].size()));
  EXPECT_EQ(Dump(*demo_), before);
}

}  // namespace
}  // namespace kestrel::testing
