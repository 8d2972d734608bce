// The line a terminal shows for a progress report.
#include "kestrel/progress.h"

#include <fmt/format.h>

#include <iterator>

namespace kestrel {
namespace {

// A step shows its rate once it has run this long: before, a few rows over a
// few milliseconds give a rate that means nothing.
constexpr double kSecondsBeforeRate = 0.5;

}  // namespace

std::string ProgressText(std::string_view what, int64_t done, int64_t total, double seconds) {
  std::string line = fmt::format("{}: {}", what, done);
  if (total > 0) {
    // Rounded down, so that 100 % is shown only when the step is done;
    // a count past its total (a file grown since it was counted) stays at 100.
    const int64_t percent = done >= total ? 100 : done <= 0 ? 0 : static_cast<int64_t>(
                                                                      static_cast<double>(done) * 100.0 /
                                                                      static_cast<double>(total));
    fmt::format_to(std::back_inserter(line), " of {} ({} %)", total, percent);
  }
  if (seconds > kSecondsBeforeRate)
    fmt::format_to(std::back_inserter(line), ", {:.0f}/s", static_cast<double>(done) / seconds);
  return line;
}

}  // namespace kestrel
