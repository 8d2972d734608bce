// How Kestrel fails: a ComError with a number and a text, as the component's
// run time raised them. Every public call that can fail throws one (the two
// classes put theirs into ErrorNumber and ErrorDescription instead). The
// numbers of our own are in kestrel/errors.h; docs/errors.md lists them all.
#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrel {

// Numbers of the original run time that messages rely on.
namespace rt {
inline constexpr int32_t InvalidProcedureCall = 5;
inline constexpr int32_t Overflow = 6;
inline constexpr int32_t SubscriptOutOfRange = 9;
inline constexpr int32_t TypeMismatch = 13;
inline constexpr int32_t FileNotFound = 53;
inline constexpr int32_t InputPastEnd = 62;
inline constexpr int32_t PermissionDenied = 70;
inline constexpr int32_t PathNotFound = 76;
inline constexpr int32_t InvalidUseOfNull = 94;
inline constexpr int32_t BadFileNameOrNumber = 52;    // a stream used after Close
inline constexpr int32_t FileAlreadyExists = 58;      // CreateFolder on an existing folder
inline constexpr int32_t ObjectNotSet = 91;           // DataConnection not set
inline constexpr int32_t CannotCreateObject = 429;    // CreateObject with an unknown ProgID
inline constexpr int32_t NoSuchMember = 438;          // a property or method name the object lacks
inline constexpr int32_t WrongArguments = 450;        // a call with the wrong number of arguments, a read-only property put
}  // namespace rt

// A failure with a number and a text, as the original run time raised them.
class ComError : public std::runtime_error {
 public:
  ComError(int32_t number, std::string description)
      : std::runtime_error(description), number_(number), description_(std::move(description)) {}
  int32_t number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }

 private:
  int32_t number_;
  std::string description_;
};

// Texts of the run-time numbers above ("Overflow", "Type mismatch", ...).
std::string_view RuntimeErrorText(int32_t number);

// Any std::exception that is not a ComError becomes one (number 9001 and its what()).
ComError AsComError(const std::exception& e);

}  // namespace kestrel
