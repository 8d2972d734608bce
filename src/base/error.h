// The one error model of the component: platform layers throw ComError with a
// number and a text; a procedure that fails throws a Failure, worded by its
// own number or by its trap; the driving calls record the one that reaches
// them in the object's ErrorState, which the component words as ErrorNumber
// and ErrorDescription, so no procedure formats its own message.
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

// A failure a procedure has worded already, under its own number or as its
// trap words what it caught: the traps of the procedures that called it pass
// it on as it is.
class Failure : public Error {
 public:
  explicit Failure(Error e) : Error(std::move(e)) {}
  Failure(int32_t number, std::string text) : Error(number, std::move(text)) {}
};

// What the trap of `procedure` makes of `e`: `e` under the trap's number and
// head. A store that another program kept locked for the whole wait is no
// unspecified failure: it keeps its own number and text.
Error Trapping(int32_t number, TrapHead head, std::string procedure, const Error& e);

// Runs `body` under the trap of `procedure`: a Failure passes on as it is;
// anything else is raised again as a Failure the trap words.
template <class Body>
decltype(auto) UnderTrap(int32_t number, TrapHead head, std::string_view procedure, Body&& body) {
  try {
    return body();
  } catch (const Failure&) {
    throw;
  } catch (const std::exception& e) {
    throw Failure(Trapping(number, head, std::string(procedure), AsComError(e)));
  }
}

// The failure an object of the component is left with: none (number 0), a
// plain failure, or one a procedure's trap caught. The component words its
// ErrorNumber and ErrorDescription from it.
class ErrorState {
 public:
  int32_t number() const { return value_.number(); }
  const std::string& text() const { return value_.text(); }
  const Error& value() const { return value_; }

  void Set(int32_t number, std::string text) { value_ = Error(number, std::move(text)); }
  void Set(Error e) { value_ = std::move(e); }
  void Clear() { Set(0, ""); }
  // Another number for the failure it holds, which keeps its words.
  void Renumber(int32_t number) {
    Error e = value_.caught() ? Error(number, value_.head(), value_.procedure(), *value_.caught())
                              : Error(number, value_.text());
    value_ = e.WithPlace(value_.place());
  }
  // The number as the interface reads it: cut to 16 bits.
  int16_t NumberAsRead() const { return static_cast<int16_t>(value_.number()); }
  // The catch-all of the trap of `procedure`: `e` as the trap words it.
  void Trap(int32_t number, TrapHead head, std::string procedure, const ComError& e) {
    value_ = Trapping(number, head, std::move(procedure), e);
  }

 private:
  Error value_{0, ""};
};

}  // namespace kestrel
