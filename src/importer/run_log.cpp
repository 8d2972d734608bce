// The import run log.
#include "importer/run_log.h"

#include <memory>

#include <fmt/format.h>

#include "base/datetime.h"
#include "base/files.h"

namespace kestrel::importer {

void WriteImportLog(const ImportContext& cx, std::string_view message) {
  // The log must never stop an import: every failure here only loses the line.
  std::unique_ptr<files::TextWriter> log;
  try {
    log = files::TextWriter::Append(cx.env(), cx.ImportLogPath);
  } catch (const std::exception&) {
    try {
      log = files::TextWriter::Create(cx.env(), cx.ImportLogPath);
    } catch (const std::exception&) {
      return;
    }
  }
  try {
    std::string line = FormatDateTime(cx.env().Now());
    line += ' ';
    line += message;
    log->WriteLine(line);
    log->Close();
  } catch (const std::exception&) {
  }
}

void ReverseStringArray(const ImportContext& cx, std::vector<std::string>& strArray) {
  ReverseStringArray(cx, strArray, [](const std::string& s) -> const std::string& { return s; });
}

std::string UnexpectedErrorReport(const ComError& e) {
  return fmt::format("Unexpected Error.Error Number: {}Description: {}", e.number(), e.description());
}

}  // namespace kestrel::importer
