// How Kestrel fails: one Error with a number, a text and a place. Every public
// call that can fail throws one (the two classes of the component's interface
// put theirs into ErrorNumber and ErrorDescription instead). The
// numbers of our own are in kestrel/errors.h; docs/errors.md lists them all.
#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

#include "kestrel/export.h"

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

// What a failure is about, as far as it is known: a file and line of a pack,
// a table, an entry of a selection (its index), a path. Empty fields say
// nothing.
struct KESTREL_API Place {
  std::string file;
  int64_t line = 0;  // 1-based; 0 when not known
  std::string table;
  int64_t entry = -1;  // 0-based index of a selection entry; -1 when none
  std::string path;

  bool Empty() const { return file.empty() && line == 0 && table.empty() && entry < 0 && path.empty(); }
  // "Qzmap120.dat line 12", "table qzmap120", "entry 2", "/path"; parts
  // joined by ", "; "" when empty.
  std::string Text() const;
  bool operator==(const Place&) const = default;
};

// The one failure of Kestrel: a number (the original run time's, a
// component's, or ours from 9001), its text, and the place it is about.
class KESTREL_API Error : public std::runtime_error {
 public:
  Error(int32_t number, std::string description, Place place = {})
      : std::runtime_error(description), number_(number), description_(std::move(description)),
        place_(std::move(place)) {}
  int32_t number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }
  const std::string& text() const noexcept { return description_; }
  const Place& place() const noexcept { return place_; }

 private:
  int32_t number_;
  std::string description_;
  Place place_;
};

// The name the component's run time gave it.
using ComError = Error;

// Texts of the run-time numbers above ("Overflow", "Type mismatch", ...).
KESTREL_API std::string_view RuntimeErrorText(int32_t number);

// Any std::exception that is not a ComError becomes one (number 9001 and its what()).
KESTREL_API ComError AsComError(const std::exception& e);

}  // namespace kestrel
