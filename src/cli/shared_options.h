// The options several commands take, each declared in one place so that its
// name, help text and checks read the same wherever it appears. A caller
// binds them to fields of its command's options struct, which must outlive
// the parsing of the command line.
#pragma once

#include <CLI/CLI.hpp>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kestrel/engine.h"
#include "pack_sources.h"  // PACK

namespace kestrel::cli {

// The environment variable that names the store when --store is not given.
inline constexpr std::string_view kStoreVariable = "KESTREL_STORE";

// "--store STORE": the profile store the command works on, described as the
// command sees it; without the option, the store $KESTREL_STORE names, and
// without either a usage error that names both. It takes the command's
// parse-complete callback, which the command must not set otherwise. With it
// comes --wait (lock_wait.h), which OpenStore heeds.
void AddStoreOption(CLI::App& sub, std::string& store, const std::string& description = "profile store file");

// "STORE" or "--store STORE" (either, not both): the store the command
// creates; without either, $KESTREL_STORE as for AddStoreOption.
void AddNewStoreArgument(CLI::App& sub, std::string& store);

// The highest profile number (kestrel/engine.h says why).
inline constexpr int kMaxProfileNumber = kestrel::kMaxProfile;

// A profile number from `lowest` (1, or 0 where 0 means none) to
// kMaxProfileNumber; anything else is a usage error naming what it is not.
CLI::Validator ProfileNumberCheck(int lowest);

// "NAME NUMBER": a profile number, 1 to kMaxProfileNumber; unset when not given.
void AddProfileNumberOption(CLI::App& sub, const std::string& name, std::optional<int>& number,
                            const std::string& description);

// "--json": the command's report as one JSON object on stdout.
void AddJsonFlag(CLI::App& sub, bool& json, const std::string& description);

// "--no-sums": the command takes a pack without ExportMR.sums (an older
// export's), whose files cannot be checked for changes; without it such a
// pack is refused.
void AddNoSumsFlag(CLI::App& sub, bool& no_sums);

// The choices of `--target`: six-field entries, or one bare number (the new
// number of a pack's one profile), which the pack's profiles decide on.
struct TargetEntries {
  std::vector<kestrel::Target> entries;
  std::optional<int> bare_number;
};

// "--target ENTRY", repeatable: the targets for the pack's profiles, each
// read from six fields joined by "|" (present/targets.h), or a bare profile
// number alone; an entry that is neither, or a bare number beside other
// entries, is a usage error that names it.
void AddTargetOption(CLI::App& sub, TargetEntries& targets);

// "--renumber OLD=NEW", repeatable or a comma list: a pack profile's number
// and the number it gets in the store (its children's parent follows). Both
// must be profile numbers, and OLD named once; else a usage error.
CLI::Option* AddRenumberOption(CLI::App& sub, std::map<int, int>& renumber);

// "--apps SRC:TGT", repeatable or a comma list: the source and target
// applications the pack's profiles are imported for, one pair for all of
// them or one per profile in the order `show` lists them. A code empty or
// holding "|", "*" or a control character is a usage error.
CLI::Option* AddApplicationsOption(CLI::App& sub, std::vector<std::pair<std::string, std::string>>& pairs);

// "--registry FILE": the registry file the installation folder is looked up
// in; empty leaves the lookup to its defaults. The second form is for a
// command that uses the file otherwise and says how.
void AddRegistryOption(CLI::App& sub, std::string& registry);
void AddRegistryOption(CLI::App& sub, std::string& registry, const std::string& description);

// How a command that prints a pack's profiles and their targets writes them:
// the details string of the component's interface, JSON, or (neither) the
// readable table.
struct DetailsFormat {
  bool raw = false;
  bool json = false;
};

// "--raw" and "--json", which exclude each other.
void AddDetailsFormatFlags(CLI::App& sub, DetailsFormat& format, const std::string& raw_description,
                           const std::string& json_description);

}  // namespace kestrel::cli
