// The one error model of the component: platform layers throw ComError with a
// number and a text; each procedure's trap turns it into ErrorNumber and
// ErrorDescription through TrapText, so no procedure formats its own message.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "kestrel/error.h"
#include "kestrel/errors.h"

namespace kestrel {

// Throws ComError with a run-time number and its standard text; `path`, the
// file or folder it is about, goes into the error's place.
[[noreturn]] void RaiseRuntime(int32_t number, const std::string& path = {});

// Maps an errno value to the run time's number and text: a missing file 53,
// a missing folder 76, no permission 70, anything else errno and strerror.
// The texts are the run time's own, without the path, so that messages read
// as they always did; the path (when known) is the error's place, which the
// faces show. `path_is_folder` tells a missing folder from a missing file.
[[noreturn]] void RaiseErrno(int err, bool path_is_folder = false, const std::string& path = {});

// The trap's text: head + number + three blanks + description. Heads are the
// fixed prefixes of each procedure, e.g. "UnSpecified Error: --ExportSingleProfile-- ".
std::string TrapText(std::string_view head, const ComError& e);
std::string TrapText(std::string_view head, int32_t number, std::string_view description);

// Prefixes of the two catch-all families.
std::string ExportTrapHead(std::string_view procedure);   // "UnSpecified Error: --P-- "
std::string ImportTrapHead(std::string_view procedure);   // "Unspecified Error : --P-- "
// The export writers' prefix: their tag follows without a blank and the
// failure's number joins it directly: "UnSpecified Error: --Qzddi140--".
std::string ExportWriterTrapHead(std::string_view tag);
// "Unexpected Error.Error Number: N" + "Description: TEXT", the report of an
// unexpected failure inside ImportLogicPack and VerifyUserSelections.
std::string UnexpectedErrorReport(const ComError& e);

// ErrorNumber / ErrorDescription of an object.
struct ErrorState {
  int32_t ErrorNumber = 0;
  std::string ErrorDescription;

  void Set(int32_t number, std::string description) {
    ErrorNumber = number;
    ErrorDescription = std::move(description);
  }
  void Clear() { Set(0, ""); }
  // The number as the interface reads it: cut to 16 bits.
  int16_t NumberAsRead() const { return static_cast<int16_t>(ErrorNumber); }
  // The catch-all of a trap: number and head + the failure's number and text.
  // A store that another program kept locked for the whole wait is no
  // unspecified failure: it keeps its own number and text.
  void Trap(int32_t number, std::string_view head, const ComError& e) {
    if (e.number() == static_cast<int32_t>(Ours::StoreLocked))
      Set(e.number(), e.description());
    else
      Set(number, TrapText(head, e));
  }
};

}  // namespace kestrel
