// What an export leaves for its manifest and its host: the files and
// applications the pack holds, whether the profile keeps revisions, and the
// error as clsExport reports it. The steps add to it as they go; a clsExport
// keeps one for its whole life, so that the error of one call is still there
// for the next to read or to overwrite in part.
#pragma once

#include <string>
#include <string_view>

#include "base/error.h"

namespace kestrel::exporter {

struct ExportResults {
  ErrorState Error;  // what clsExport reads as ErrorNumber and ErrorDescription
  // File names of the pack, each ended by CR LF: application data, rules.
  std::string DataFileList;
  std::string RuleFileList;
  // Application codes, each ended by CR LF.
  std::string ApplicationList;
  // As the profile's header row says (scme "Y" or "N"; any other value leaves
  // what an earlier call found).
  bool ProfileRevisionsEnabled = false;

  // Revisions travel only when the host asked and the profile keeps them.
  bool WithRevisions(bool asked) const { return asked && ProfileRevisionsEnabled; }
  void ListDataFile(std::string_view name);
  void ListRuleFile(std::string_view name);
  void ListApplication(std::string_view code);
};

}  // namespace kestrel::exporter
