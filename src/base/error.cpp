// Error texts, the errno mapping, and the failure's copies with another text or place.
#include "base/error.h"

#include <cerrno>
#include <cstring>


#include "base/errors_ours.h"

namespace kestrel {

Error Trapping(int32_t number, TrapHead head, std::string procedure, const Error& e) {
  if (e.number() == static_cast<int32_t>(Ours::StoreLocked)) return Error(e.number(), e.description());
  return Error(number, head, std::move(procedure), e);
}

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

Error Error::WithText(std::string text) const {
  Error e = caught_ ? Error(number_, head_, procedure_, caught_->WithText(std::move(text)))
                    : Error(number_, std::move(text));
  e.place_ = place_;
  return e;
}

Error Error::WithPlace(Place place) const {
  Error e = *this;
  e.place_ = std::move(place);
  return e;
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
