// The lock wait option and its notice.
#include "lock_wait.h"

#include <charconv>
#include <iostream>
#include <system_error>

#include <fmt/format.h>

#include "command.h"
#include "usage.h"

namespace kestrel::cli {
namespace {

// One command runs per process: the option's value is the process's.
int g_lock_wait = kDefaultLockWait;

}  // namespace

void AddWaitOption(CLI::App& sub) {
  sub.add_option("--wait", g_lock_wait,
                 fmt::format("seconds to wait, 0 to {}, for a lock another program holds on the store: its write "
                             "lock, or the store or a table it keeps locked (default {})",
                             kMaxLockWait, kDefaultLockWait))
      ->type_name("SECONDS")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            int n = 0;
            const char* end = text.data() + text.size();
            const auto [stop, problem] = std::from_chars(text.data(), end, n);
            if (text.empty() || problem != std::errc() || stop != end || n < 0 || n > kMaxLockWait)
              return fmt::format("{} is not a number of seconds from 0 to {}", TypedValue(text), kMaxLockWait);
            return "";
          },
          "", "seconds"));
}

int LockWaitSeconds() { return g_lock_wait; }

void UseLockWait(Kestrel20ImpExp::clsImport& import) {
  import.SetLockWait(g_lock_wait);
  if (!ProgressWanted()) return;
  import.SetNotice([](const std::string& line) {
    EndProgress();
    std::cerr << line << std::endl;
  });
}

}  // namespace kestrel::cli
