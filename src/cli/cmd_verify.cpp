// kestrel verify: checks a choice of target numbers, applications and
// parents for the profiles of a logic pack against the store, as an import
// does before it starts, and then the pack with that choice, as the import
// checks it before it deletes anything. Exit 0 when both pass.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "output.h"
#include "pack_request.h"
#include "selection_view.h"
#include "shared_options.h"
#include "kestrel/details.h"
#include "present/import_view.h"

namespace kestrel::cli {
namespace {

struct VerifyOptions {
  PackOptions pack;
  DetailsFormat format;
};

void DeclareVerifyOptions(CLI::App& sub, VerifyOptions& o) {
  DeclarePackOptions(sub, o.pack, "profile store file the pack would be imported into");
  AddDetailsFormatFlags(sub, o.format, "write the exact checked details string (characters 1 and 13 included)",
                        "write the checked details and the messages as JSON for host programs");
}

int RunVerify(const VerifyOptions& o) {
  kestrel::Store store = OpenStore(o.pack.store);
  const kestrel::ImportRequest request = RequestOf(o.pack, store);
  const kestrel::PackReader reader = ReaderOf(o.pack);
  // A pack the import can propose nothing for fails here as `show` fails.
  reader.Proposal(store);
  const std::vector<kestrel::PackProfile> sources = kestrel::present::ImportSources(reader.Info(), store);

  // The findings, and the one failure an import would refuse them with.
  const kestrel::SelectionVerdict selection = kestrel::Verdict(store, request, CommandContext());
  const std::vector<kestrel::Error>& findings = selection.findings;
  std::vector<std::string> messages;
  for (const kestrel::Error& e : findings) messages.push_back(e.text());
  // The pack is checked with the selection only when the selection passes.
  std::optional<kestrel::Error> refusal;
  if (findings.empty()) {
    try {
      kestrel::Check(store, request, CommandContext());
    } catch (const kestrel::Error& e) {
      refusal = e;
      messages.push_back(e.text());
      if (!e.place().Empty()) messages.push_back("in " + e.place().Text());
    }
  }
  const bool passed = findings.empty() && !refusal;
  const std::vector<kestrel::Target> marked = kestrel::Targets(store, request, CommandContext());
  if (o.format.raw) {
    std::cout << kestrel::DetailsOf(sources, marked);
  } else if (o.format.json) {
    // One document: the verdict, with the failure the exit code stands for.
    kestrel::present::Json verdict = kestrel::present::VerdictJson(sources, marked, passed, messages);
    if (!passed)
      verdict["error"] = kestrel::present::ErrorJson(refusal ? *refusal : *selection.refusal)["error"];
    PrintJson(std::cout, verdict);
  } else {
    PrintDetailsTable(std::cout, sources, marked);
    std::cout << (passed ? "The selection passes.\n" : "The selection does not pass:\n");
    for (const auto& line : messages) std::cout << line << '\n';
  }
  std::cout.flush();
  if (passed) return 0;
  if (refusal) return Fail(*refusal, "The pack was refused and the store left as it was: ");
  return Fail(*selection.refusal);
}

const Registration kVerify{"verify", "check a choice of numbers, applications and parents for a logic pack",
                           DeclareVerifyOptions, RunVerify};

}  // namespace
}  // namespace kestrel::cli
