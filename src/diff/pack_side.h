// One side of a diff as a pack folder: what its manifest says, the profiles
// its header file holds, and the rows of one table read into memory by key,
// one profile's (or one application's) at a time, so that no side is ever
// held whole. Internal to the diff.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/diff.h"
#include "kestrel/env.h"
#include "pack/manifest.h"

namespace kestrel::diff {

using Row = std::vector<Bytes>;

// Rows of one table by key. A key is the key columns' values, each with its
// NUL bytes doubled and ended by two NULs, so that keys sort as their values do.
struct KeyedRows {
  std::vector<std::string_view> columns;
  std::vector<size_t> key_positions;
  std::map<std::string, std::vector<Row>> rows;
  int64_t count = 0;
  // Rows only counted, none kept: what a comparison with nothing needs.
  bool counted_only = false;
};

struct PackProfile {
  int64_t number = 0;
  std::string sapp, tapp;
};

class PackSide {
 public:
  // Reads the manifest and the header file; a folder without them raises as
  // the readers do (53 naming the file).
  PackSide(Env& env, std::string folder);

  const std::string& folder() const { return folder_; }
  const pack::ManifestOptions& manifest() const { return manifest_; }
  // In the header file's order.
  const std::vector<PackProfile>& profiles() const { return profiles_; }
  std::vector<std::string> applications() const;
  // A pack of one profile with its base profiles' rules folded in, as the
  // folder name's "-S" says; a folder renamed otherwise counts as one when
  // its header file holds a single profile.
  bool single_profile() const { return single_; }
  // A chain pack that leaves out its lowest ancestors (exported "based on"
  // a profile): the highest number its hierarchy file names but its header
  // file does not hold. nullopt for a whole chain and a single profile.
  std::optional<int64_t> based_on() const { return based_on_; }
  bool Holds(int64_t profile) const;

  // The rows of a profile table for `profile`, or of a shared table (every
  // row, `profile` nullopt); a file the pack lacks holds none. With
  // `count_only` they are counted and none is kept.
  KeyedRows ProfileRows(std::string_view table, std::optional<int64_t> profile, bool count_only = false) const;
  // The rows of an application data table of `appl`.
  KeyedRows ApplicationRows(std::string_view table, const std::string& appl, bool count_only = false) const;

 private:
  Env& env_;
  std::string folder_;
  pack::ManifestOptions manifest_;
  std::vector<PackProfile> profiles_;
  bool single_ = false;
  std::optional<int64_t> based_on_;
  // Rows per profile of the tables counted so far: a file is read once
  // however many profiles are counted.
  mutable std::map<std::string, std::map<int64_t, int64_t>, std::less<>> counted_;
};

}  // namespace kestrel::diff
