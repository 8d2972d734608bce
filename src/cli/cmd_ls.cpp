// kestrel ls: what a logic pack holds, read without a store or an
// installation folder: the manifest's status and options, the profiles, and
// every file with its rows and whether it still matches its integrity sum.
#include <iostream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "command.h"
#include "output.h"
#include "present/store_view.h"
#include "shared_options.h"
#include "kestrel/pack_facts.h"
#include "kestrel/inspect.h"

namespace kestrel::cli {
namespace {

using kestrel::inspect::PackContents;
using kestrel::present::PackJson;
using kestrel::present::SumsHold;

struct LsOptions {
  std::string pack;
  bool json = false;
};

void DeclareLsOptions(CLI::App& sub, LsOptions& o) {
  AddPackArgument(sub, o.pack);
  AddJsonFlag(sub, o.json, "print what the pack holds as JSON");
}

std::string YesNo(bool b) { return b ? "yes" : "no"; }

void PrintPack(std::ostream& out, const std::string& folder, const PackContents& p) {
  std::string applications;
  for (const auto& a : p.applications) applications += (applications.empty() ? "" : ", ") + ForStdout(a);
  std::string sums(kestrel::kNoPackSums);
  if (p.has_sums) {
    sums = SumsHold(p) ? "every file matches" : "the pack was changed after its export";
    for (const auto& m : p.missing_files) sums += "; " + ForStdout(m) + " is missing";
  }
  PrintTable(out, {{"pack:", folder},
                   {"export:", p.export_succeeded ? "succeeded" : "failed"},
                   {"revisions:", YesNo(p.revisions)},
                   {"for synchronisation:", YesNo(p.for_sync)},
                   {"new profile number:", p.new_profile_number ? std::to_string(p.new_profile_number) : "none"},
                   {"applications:", applications},
                   {"integrity sums:", sums}});
  out << '\n';
  std::vector<std::vector<std::string>> profiles{{"Profile", "Source", "Target", "VRC", "Description"}};
  for (const auto& pr : p.profiles)
    profiles.push_back({std::to_string(pr.number), ForStdout(pr.source_application),
                        ForStdout(pr.target_application),
                        ForStdout(fmt::format("{}/{}/{}", pr.version, pr.release, pr.customer)),
                        ForStdout(pr.description)});
  PrintTable(out, profiles, {0});
  out << '\n';
  std::vector<std::vector<std::string>> files{{"File", "Kind", "Rows", "Sum"}};
  for (const auto& f : p.files) {
    std::string sum = !f.sum_matches ? "-" : *f.sum_matches ? "ok" : "DIFFERS";
    if (!f.problem.empty()) sum += "  " + ForStdout(f.problem);
    files.push_back({ForStdout(f.name), f.kind, f.rows ? std::to_string(*f.rows) : "-", sum});
  }
  PrintTable(out, files, {2});
}

int RunLs(const LsOptions& o) {
  Detail("reading pack " + o.pack);
  const PackContents p = kestrel::inspect::InspectPack(CommandEnv(), o.pack, [](size_t read, size_t total) {
    ShowProgress("Reading the pack's files", static_cast<long long>(read), static_cast<long long>(total));
  });
  EndProgress();
  if (o.json)
    PrintJson(std::cout, PackJson(ShownPack(o.pack), p));
  else
    PrintPack(std::cout, ShownPack(o.pack), p);
  return 0;
}

const Registration kLs{"ls", "list what a logic pack holds: manifest, profiles, files with their rows and sums",
                       DeclareLsOptions, RunLs};

}  // namespace
}  // namespace kestrel::cli
