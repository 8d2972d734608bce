// The pager: a child process fed through a pipe.
#include "pager.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

namespace kestrel::cli {
namespace {

// Whether `program` is an executable file in a folder of PATH.
bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "/usr/bin:/bin";
  while (true) {
    const size_t colon = rest.find(':');
    std::string folder(rest.substr(0, colon));
    if (folder.empty()) folder = ".";
    if (::access((folder + "/" + program).c_str(), X_OK) == 0) return true;
    if (colon == std::string_view::npos) return false;
    rest.remove_prefix(colon + 1);
  }
}

// The pager's shell command; "" for none.
std::string PagerCommand() {
  if (const char* pager = std::getenv("PAGER")) {
    const std::string command = pager;
    return command == "cat" ? std::string() : command;
  }
  return OnPath("less") ? "less -FRX" : "";
}

}  // namespace

bool StdoutIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

void WritePaged(std::string_view text, bool allowed) {
  const std::string command = allowed && StdoutIsTerminal() && !text.empty() ? PagerCommand() : "";
  if (command.empty()) {
    std::cout << text;
    std::cout.flush();
    return;
  }
  std::cout.flush();
  FILE* pager = ::popen(command.c_str(), "w");
  if (!pager) {
    std::cout << text;
    std::cout.flush();
    return;
  }
  // While the pager runs, it answers the keyboard: Ctrl-C is its own, and a
  // pager quit before the end closes the pipe, which is no failure of ours.
  // (Set after the pager started, which would inherit what is ignored.)
  const auto old_pipe = std::signal(SIGPIPE, SIG_IGN);
  const auto old_interrupt = std::signal(SIGINT, SIG_IGN);
  std::fwrite(text.data(), 1, text.size(), pager);
  ::pclose(pager);
  std::signal(SIGINT, old_interrupt);
  std::signal(SIGPIPE, old_pipe);
}

}  // namespace kestrel::cli
