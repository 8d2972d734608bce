// The fields of a clsExport object, shared by the export's private procedures.
// Internal: only the component, its procedures and the tests include it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "component/error.h"
#include "component/files.h"
#include "component/spooled_text.h"

namespace Kestrel20ImpExp {
class clsExport;
namespace store { class Connection; }

namespace detail {

// Progress for people: what is being done and how many rows or objects so far.
using ProgressFn = std::function<void(const std::string& what, int64_t done)>;

struct ExportState {
  // Fields of the interface, in declaration order, with their defaults.
  std::shared_ptr<store::Connection> DataConnection;
  int16_t MigrationProfileTobeExported = 0;
  int16_t NewProfileNumber = 0;
  std::string Path;
  ErrorState Error;                       // ErrorNumber, ErrorDescription
  bool OverWrite = false;
  bool ExportRevisionInformation = false;
  bool ExportToSingleProfile = false;
  std::string TreskDataPath;
  std::string ExportBasedOn;
  bool ExportForSync = false;
  std::unique_ptr<files::TextWriter> ManifestStream;
  // The manifest's progress text; past a threshold it waits in a spool file
  // in the pack folder (see ExportMigrationProfiles).
  SpooledText ManifestText;
  std::string DataFileList;
  std::string RuleFileList;
  std::string ApplicationList;
  std::string FieldSeparator = std::string(1, '\x01');
  // The rule file streams of the single-profile export, by file name; some
  // stay open until the object is released.
  std::map<std::string, std::unique_ptr<files::TextWriter>> RuleStreams;
  bool ProfileRevisionsEnabled = false;
  bool traveseparent = false;

  // Working fields of the chain export.
  std::vector<std::string> ChainApplications;
  std::vector<int16_t> ChainProfiles;

  ProgressFn Progress;
  void Report(const std::string& what, int64_t done) const {
    if (Progress) Progress(what, done);
  }
};

ExportState& StateOf(clsExport& e);

// The connection the caller set; raises 91 "Object variable or With block
// variable not set" when there is none.
store::Connection& ConnectionOf(const ExportState& s);

}  // namespace detail
}  // namespace Kestrel20ImpExp
