// Error texts, errno mapping and the trap formatter shared by every procedure.
#include "base/error.h"

#include <cerrno>
#include <cstring>

#include <fmt/format.h>

#include "base/errors_ours.h"

namespace kestrel {

std::string_view RuntimeErrorText(int32_t number) {
  switch (number) {
    case rt::InvalidProcedureCall: return "Invalid procedure call or argument";
    case rt::Overflow: return "Overflow";
    case rt::SubscriptOutOfRange: return "Subscript out of range";
    case rt::TypeMismatch: return "Type mismatch";
    case rt::FileNotFound: return "File not found";
    case rt::InputPastEnd: return "Input past end of file";
    case rt::PermissionDenied: return "Permission denied";
    case rt::PathNotFound: return "Path not found";
    case rt::InvalidUseOfNull: return "Invalid use of Null";
    case rt::BadFileNameOrNumber: return "Bad file name or number";
    case rt::FileAlreadyExists: return "File already exists";
    case rt::ObjectNotSet: return "Object variable or With block variable not set";
    case rt::CannotCreateObject: return "ActiveX component can't create object";
    case rt::NoSuchMember: return "Object doesn't support this property or method";
    case rt::WrongArguments: return "Wrong number of arguments or invalid property assignment";
    default: return "Application-defined or object-defined error";
  }
}

void RaiseRuntime(int32_t number, const std::string& path) {
  Place place;
  place.path = path;
  throw ComError(number, std::string(RuntimeErrorText(number)), std::move(place));
}

void RaiseErrno(int err, bool path_is_folder, const std::string& path) {
  int32_t number;
  switch (err) {
    case ENOENT: number = path_is_folder ? rt::PathNotFound : rt::FileNotFound; break;
    case ENOTDIR: number = rt::PathNotFound; break;
    case EACCES:
    case EPERM:
    case EROFS: number = rt::PermissionDenied; break;
    default: {
      Place place;
      place.path = path;
      throw ComError(err, std::strerror(err), std::move(place));
    }
  }
  RaiseRuntime(number, path);
}

ComError AsComError(const std::exception& e) {
  if (auto* c = dynamic_cast<const ComError*>(&e)) return *c;
  // A failure without a text of its own still says what it is.
  const std::string_view what = e.what();
  return ComError(Number(Ours::Internal), what.empty() ? std::string(DefaultText(Ours::Internal)) : std::string(what));
}

std::string TrapText(std::string_view head, int32_t number, std::string_view description) {
  return fmt::format("{}{}   {}", head, number, description);
}

std::string TrapText(std::string_view head, const ComError& e) {
  return TrapText(head, e.number(), e.description());
}

std::string ExportTrapHead(std::string_view procedure) {
  return fmt::format("UnSpecified Error: --{}-- ", procedure);
}

std::string ExportWriterTrapHead(std::string_view tag) {
  return fmt::format("UnSpecified Error: --{}--", tag);
}

std::string UnexpectedErrorReport(const ComError& e) {
  return fmt::format("Unexpected Error.Error Number: {}Description: {}", e.number(), e.description());
}

std::string ImportTrapHead(std::string_view procedure) {
  return fmt::format("Unspecified Error : --{}-- ", procedure);
}

std::string Place::Text() const {
  std::string text;
  auto add = [&](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
  if (!file.empty()) add(line > 0 ? file + " line " + std::to_string(line) : file);
  else if (line > 0) add("line " + std::to_string(line));
  if (!table.empty()) add("table " + table);
  if (entry >= 0) add("entry " + std::to_string(entry + 1));
  if (!path.empty()) add(path);
  return text;
}

}  // namespace kestrel
