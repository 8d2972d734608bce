// Runs a built program (`kestrel`, `bcp`) with arguments and extra
// environment variables and captures its exit code, standard output and
// standard error.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_folder.h"

extern char** environ;

namespace kestrel::testing {

struct RunResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// The registry file a child reads unless a test names its own: one that does
// not exist, so that no run sees the user's or the system's registry.
inline constexpr const char* kNoRegistryFile = "/nonexistent/kestrel-tests/registry.ini";

// Starts `program` (a path) without waiting for it, its standard output and
// error going to the files named; `extra` entries replace variables of this
// process, a nullopt value removes one; KESTREL_REGISTRY is kNoRegistryFile
// and KESTREL_STORE is unset unless `extra` says otherwise, and neither
// KESTREL_STORES nor XDG_CONFIG_HOME lead to a stores file, so that no run
// sees a store or registry of the user's. It runs in the folder `cwd` ("":
// this process's), its standard input read from `in_path`. Returns its
// process id, or -1.
inline pid_t StartProgram(const std::string& program, const std::vector<std::string>& args,
                          const std::string& out_path, const std::string& err_path,
                          const std::map<std::string, std::optional<std::string>>& extra = {},
                          const std::string& cwd = "", const std::string& in_path = "/dev/null") {
  std::map<std::string, std::optional<std::string>> env = extra;
  env.try_emplace("KESTREL_REGISTRY", kNoRegistryFile);
  env.try_emplace("KESTREL_STORE", std::nullopt);
  env.try_emplace("KESTREL_STORES", std::nullopt);
  env.try_emplace("XDG_CONFIG_HOME", "/nonexistent/kestrel-tests/config");
  std::vector<std::string> env_strings;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    if (!env.count(name)) env_strings.push_back(entry);
  }
  for (const auto& [name, value] : env)
    if (value) env_strings.push_back(name + "=" + *value);

  std::string argv0 = program;
  std::vector<char*> argv{argv0.data()};
  std::vector<std::string> arg_copies(args);
  for (auto& a : arg_copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, in_path.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  pid_t pid = 0;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

// Waits for a started program: its exit code, or minus the signal that
// ended it.
inline int WaitProgram(pid_t pid) {
  int status = 0;
  if (pid <= 0 || ::waitpid(pid, &status, 0) != pid) return -1000;
  if (WIFSIGNALED(status)) return -WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
}

// Runs `program` to its end, as StartProgram starts it.
inline RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::map<std::string, std::optional<std::string>>& env = {},
                            const std::string& cwd = "") {
  TempFolder io;
  const std::string out_path = io / "out", err_path = io / "err";
  RunResult result;
  const pid_t pid = StartProgram(program, args, out_path, err_path, env, cwd);
  if (pid < 0) return result;
  const int code = WaitProgram(pid);
  if (code >= 0 && code != -1000) result.exit_code = code;
  result.out = ReadFile(out_path);
  result.err = ReadFile(err_path);
  return result;
}

// Runs the built `kestrel` program.
inline RunResult RunKestrel(const std::vector<std::string>& args,
                            const std::map<std::string, std::optional<std::string>>& env = {},
                            const std::string& cwd = "") {
  return RunProgram(std::string(KESTREL_BIN_DIR) + "/kestrel", args, env, cwd);
}

// Runs kestrel with its stderr (and, with `stdout_too`, its stdout) on a
// terminal: the exit code, stdout when it went to a file, and what the
// terminal received (which turns each line end into CR LF). With `typed`,
// its stdin is the terminal too, on which `typed` waits to be read.
inline RunResult RunOnTerminal(const std::vector<std::string>& args, bool stdout_too = false,
                               const std::map<std::string, std::optional<std::string>>& env = {},
                               const std::string& typed = "") {
  RunResult result;
  const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (terminal < 0 || ::grantpt(terminal) != 0 || ::unlockpt(terminal) != 0) return result;
  TempFolder io;
  const std::string tty = ::ptsname(terminal);
  if (!typed.empty() && ::write(terminal, typed.data(), typed.size()) != static_cast<ssize_t>(typed.size()))
    return result;
  const pid_t pid = StartProgram(std::string(KESTREL_BIN_DIR) + "/kestrel", args, stdout_too ? tty : io / "out", tty,
                                 env, "", typed.empty() ? "/dev/null" : tty);
  result.exit_code = WaitProgram(pid);
  if (!stdout_too) result.out = ReadFile(io / "out");
  char buffer[4096];
  for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;) result.err.append(buffer, static_cast<size_t>(n));
  ::close(terminal);
  return result;
}

}  // namespace kestrel::testing
