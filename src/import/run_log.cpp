// The import run log.
#include "import/run_log.h"

#include <memory>

#include "component/datetime.h"
#include "component/files.h"

namespace Kestrel20ImpExp::detail {

void WriteImportLog(const ImportState& s, std::string_view message) {
  // The log must never stop an import: every failure here only loses the line.
  std::unique_ptr<files::TextWriter> log;
  try {
    log = files::TextWriter::Append(s.ImportLogPath);
  } catch (const std::exception&) {
    try {
      log = files::TextWriter::Create(s.ImportLogPath);
    } catch (const std::exception&) {
      return;
    }
  }
  try {
    std::string line = NowText();
    line += ' ';
    line += message;
    log->WriteLine(line);
    log->Close();
  } catch (const std::exception&) {
  }
}

void ReverseStringArray(const ImportState& s, std::vector<std::string>& strArray) {
  if (strArray.size() < 2) return;
  std::vector<std::string> working(strArray.rbegin(), strArray.rend());
  WriteImportLog(s, "Sorting array ...");
  for (size_t i = 0; i < working.size(); ++i) {
    strArray[i] = std::move(working[i]);
    WriteImportLog(s, std::to_string(i) + "---->" + strArray[i]);
  }
}

std::string UnexpectedErrorReport(const ComError& e) {
  return "Unexpected Error." + std::string("Error Number: ") + std::to_string(e.number()) + "Description: " +
         e.description();
}

}  // namespace Kestrel20ImpExp::detail
