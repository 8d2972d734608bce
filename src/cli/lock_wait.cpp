// The lock wait option and its notice.
#include "lock_wait.h"

#include <iostream>

#include <fmt/format.h>

#include "command.h"

namespace kestrel::cli {

void AddWaitOption(CLI::App& sub, int& seconds) {
  sub.add_option("--wait", seconds,
                 fmt::format("seconds to wait for the store's write lock while another program holds it (default {})",
                             kDefaultLockWait))
      ->check(CLI::NonNegativeNumber);
}

void UseLockWait(Kestrel20ImpExp::clsImport& import, int seconds) {
  import.SetLockWait(seconds);
  if (!ProgressWanted()) return;
  import.SetNotice([](const std::string& line) {
    EndProgress();
    std::cerr << line << std::endl;
  });
}

}  // namespace kestrel::cli
