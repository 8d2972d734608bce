// Profile stores built for the export tests: profiles with enciphered
// owners, applications with a row in every table their kind needs, mapping
// objects, rules and revisions at chosen levels; and readers of what an
// export wrote.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kestrel/cls_export.h"
#include "pack/layout.h"
#include "store/connection.h"
#include "support/store_builder.h"
#include "support/temp_folder.h"

namespace kestrel::testing {

class ExportStore {
 public:
  ExportStore();

  std::shared_ptr<store::Connection> connection() const { return conn_; }
  std::string path() const { return folder_ / "store.db"; }
  // A folder to export into (exists, empty).
  const std::string& root() const { return root_; }
  std::string Folder(const std::string& name) const { return folder_ / name; }

  void Exec(const std::string& sql);
  int64_t Count(const std::string& sql);

  // qzddi100 with `extn`, and one row in each table its kind exports besides
  // the mapping objects: base (0) qzddi101, qzlgy141, qzlgy150; extension (1)
  // qzddi150 ... qzddi230. The mapping objects come from AddObject.
  void AddApplication(const std::string& appl, int extn);
  // A mapping object in qzlgy140 (base) or qzddi140 (extension).
  void AddObject(const std::string& appl, int extn, const TestObject& o);
  // The header row and the chain rows (levels from the given ancestors,
  // nearest first).
  void AddProfile(const TestProfile& p, const std::vector<const TestProfile*>& ancestors = {});
  void AddDevelopmentVrc(const TestProfile& p, const TestVrc& dev);
  // One qzmap120 row; `text` goes into prtx so that tests can tell rows apart.
  void AddRule120(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text,
                  std::optional<std::string> logn = std::nullopt, std::optional<std::string> isms = "1");
  // One row in each of qzmap130, qzmap140, qzmap160 and qzmap170 (`text` in
  // their block columns).
  void AddOtherRules(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text);
  // One row in each revision table: qzmap110 (NULL sdat when asked),
  // qzmap125, qzmap135, qzmap145, qzmap165, qzmap175.
  void AddRevisions(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text,
                    bool null_sdat = false);
  // Only the qzmap110 row, or only the twins without it.
  void AddRevisionInfo(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text,
                       bool null_sdat = false);
  void AddRevisionTwins(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text);

 private:
  kestrel::testing::TempFolder folder_;
  std::string root_;
  std::shared_ptr<store::Connection> conn_;
};

// An export object on `store`, of profile `mprf` into `store.root()`,
// reaching the system through `env`, which must outlive it.
std::unique_ptr<Kestrel20ImpExp::clsExport> NewExport(const ExportStore& store, int16_t mprf, bool single,
                                                      kestrel::Env& env = Env::Default());

// The records of a tagged file of the pack, each as column -> text.
using Record = std::map<std::string, std::string>;
std::vector<Record> RecordsOf(const std::string& pack_folder, const pack::TaggedLayout& layout,
                              bool for_sync = false);
// The values of one column over the records, sorted.
std::vector<std::string> ColumnOf(const std::vector<Record>& records, const std::string& column);

// The file's lines (CR LF ends a line; a last line without it counts too).
std::vector<std::string> LinesOf(const std::string& path);
// The names listed between "--TESTFILES--" and "--END TESTFILES--".
std::vector<std::string> ListedFiles(const std::string& pack_folder);
// The files in the pack folder other than the manifest, sorted.
std::vector<std::string> FilesIn(const std::string& pack_folder);
// The manifest lines that begin with a tab, the tab removed, dates and times cut off.
std::vector<std::string> ProgressTexts(const std::string& pack_folder);

}  // namespace kestrel::testing
