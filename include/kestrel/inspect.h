// What a store and a logic pack hold, read without changing either and
// without an installation folder: the profiles of a store with their place in
// the derivation hierarchy and the rows of their rules; a pack's manifest,
// profiles and files with their rows and whether each still matches the sum
// the export recorded. For listing commands and hosts that show these.
//
// Texts (descriptions, application codes) are the stored bytes, never
// transcoded. Failures throw kestrel::ComError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kestrel/export.h"

namespace kestrel {
class Env;
}  // namespace kestrel

namespace kestrel::store {
class Connection;
}  // namespace kestrel::store

namespace kestrel::inspect {

// One profile of a store.
struct StoredProfile {
  int64_t number = 0;
  std::string source_application, target_application;
  int64_t parent = 0;  // its direct parent in the hierarchy; 0 for a root
  int64_t depth = 0;
  std::string version, release, customer;  // its VRC
  std::string description;
  // Rows of each rule table (qzmap110 to qzmap175) that belong to the
  // profile; a table without any is left out.
  std::map<std::string, int64_t> rules;
};

// Every profile of the store, by number.
KESTREL_API std::vector<StoredProfile> ListProfiles(store::Connection& c);

// One profile of a pack's header file (Qzmap100.dat).
struct PackProfile {
  int64_t number = 0;
  std::string source_application, target_application;
  std::string version, release, customer;
  std::string description;
};

// One file of a pack folder.
struct PackFile {
  std::string name;
  // What the file is: "manifest", "sums", "rules" (a tagged record file),
  // "rows" (a row file), "application data", or "other".
  std::string kind;
  // Records of a tagged record file, rows of a row or application data file;
  // unset for the other kinds.
  std::optional<int64_t> rows;
  // Whether the file matches its line in ExportMR.sums (size and SHA-256);
  // unset when the pack has no sums or does not list the file.
  std::optional<bool> sum_matches;
  // Why a file could not be read as its kind ("" when it was).
  std::string problem;
};

struct PackContents {
  bool export_succeeded = false;  // the manifest's status line is "SUCCESS"
  bool revisions = false;
  bool for_sync = false;
  int64_t new_profile_number = 0;  // 0: the pack keeps its profiles' numbers
  std::vector<std::string> applications;
  std::vector<PackProfile> profiles;  // in the header file's order
  std::vector<PackFile> files;        // by name
  bool has_sums = false;              // the pack carries ExportMR.sums
  // Names ExportMR.sums lists that the folder does not hold.
  std::vector<std::string> missing_files;
};

// Reads the pack folder `folder` through `env`. A folder that does not exist
// raises 76, one without a manifest 53; a file that cannot be read as its
// kind keeps its problem and the others are still read. `files_read`, when
// given, is called after each file with the files read and their number.
KESTREL_API PackContents InspectPack(Env& env, const std::string& folder,
                                     const std::function<void(size_t read, size_t total)>& files_read = {});

}  // namespace kestrel::inspect
