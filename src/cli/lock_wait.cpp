// The lock wait option and its notice.
#include "lock_wait.h"

#include <iostream>

#include "command.h"

namespace kestrel::cli {

void AddWaitOption(CLI::App& sub, int& seconds) {
  sub.add_option("--wait", seconds,
                 "seconds to wait for the store's write lock while another program holds it (default " +
                     std::to_string(kDefaultLockWait) + ")")
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
