// How Kestrel fails: one Error with a number, a text and a place. Every public
// call that can fail throws one (the two classes of the component's interface
// put theirs into ErrorNumber and ErrorDescription instead). The
// numbers of our own are in kestrel/errors.h; docs/errors.md lists them all.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
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

// How the trap of one of the component's procedures words the failure it
// caught: each family has a head of its own, which the component's
// ErrorDescription and a failed export's manifest put before the caught
// failure's number and text.
enum class TrapHead : uint8_t {
  Export,             // the export's procedures
  ExportWriter,       // the export's file writers, named by their tag
  ExportObject,       // the export of a profile's objects
  Import,             // the import's procedures
  ImportTransaction,  // the import of a checked pack as a whole
  Unexpected,         // the driving calls' report of a failure nothing else caught
};

// The one failure of Kestrel: a number (the original run time's, a
// component's, or ours from 9001), its text, and the place it is about. A
// failure a procedure's trap caught keeps the caught one: the trap gives
// the number, the caught failure the text and place.
class KESTREL_API Error : public std::runtime_error {
 public:
  Error(int32_t number, std::string description, Place place = {})
      : std::runtime_error(description), number_(number), description_(std::move(description)),
        place_(std::move(place)) {}
  // `caught` as the trap of `procedure` records it, under the trap's `number`.
  Error(int32_t number, TrapHead head, std::string procedure, const Error& caught)
      : Error(number, caught.description_, caught.place_) {
    caught_ = std::make_shared<const Error>(caught);
    head_ = head;
    procedure_ = std::move(procedure);
  }
  int32_t number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }
  const std::string& text() const noexcept { return description_; }
  const Place& place() const noexcept { return place_; }
  // The failure the trap caught (nullptr when none), how the trap words it,
  // and the procedure whose trap it was.
  const Error* caught() const noexcept { return caught_.get(); }
  TrapHead head() const noexcept { return head_; }
  const std::string& procedure() const noexcept { return procedure_; }
  // The same failure, trapped as it was, with another text (for a trapped
  // one, its caught failure's) or about another place.
  Error WithText(std::string text) const;
  Error WithPlace(Place place) const;

 private:
  int32_t number_;
  std::string description_;
  Place place_;
  std::shared_ptr<const Error> caught_;
  TrapHead head_ = TrapHead::Export;
  std::string procedure_;
};

// The name the component's run time gave it.
using ComError = Error;

// Texts of the run-time numbers above ("Overflow", "Type mismatch", ...).
KESTREL_API std::string_view RuntimeErrorText(int32_t number);

// Any std::exception that is not a ComError becomes one (number 9001 and its what()).
KESTREL_API ComError AsComError(const std::exception& e);

}  // namespace kestrel
