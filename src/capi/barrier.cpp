// The thread's last error and the checks of what a host passes in.
#include "capi/barrier.h"

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"

namespace kestrel::capi {
namespace {

thread_local Error last_error(0, "");

}  // namespace

std::string Bytes(const char* bytes, size_t length, std::string_view what) {
  if (bytes == nullptr && length != 0) RaiseRuntime(rt::InvalidProcedureCall);
  std::string text = length ? std::string(bytes, length) : std::string();
  if (text.find('\0') != std::string::npos) RaiseWithDetail(Ours::NulInArgument, what);
  return text;
}

void RaiseOutOfRange(int64_t n, const Range& r, bool fits_type) {
  const int32_t number = fits_type ? rt::InvalidProcedureCall : rt::Overflow;
  throw Error(number,
              fmt::format("{}: {} takes {} to {}, not {}", RuntimeErrorText(number), r.name, r.lowest, r.highest, n));
}

int Fail(const Error& e) {
  if (e.number() != 0)
    last_error = e;
  else
    last_error = Error(Number(Ours::Internal), e.text().empty() ? std::string(DefaultText(Ours::Internal)) : e.text(),
                       e.place());
  return last_error.number();
}

const Error& LastError() { return last_error; }

}  // namespace kestrel::capi
