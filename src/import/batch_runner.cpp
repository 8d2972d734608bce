// The batch file runner: argument splitting, the program's location, and one
// child process per line with its output captured through a pipe.
#include "import/batch_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "component/error.h"
#include "component/errors_ours.h"
#include "component/files.h"

extern char** environ;

namespace Kestrel20ImpExp::detail {
namespace {

// Enough of a line's output to say why it failed.
constexpr size_t kOutputKept = 2000;

std::string ProgramFolder() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string self(buf, static_cast<size_t>(n));
  auto slash = self.find_last_of('/');
  return slash == std::string::npos ? "." : self.substr(0, slash == 0 ? 1 : slash);
}

// The end of the output, without trailing line ends.
std::string Tail(std::string out) {
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  if (out.size() > kOutputKept) out = "..." + out.substr(out.size() - kOutputKept);
  return out;
}

struct Outcome {
  int status = 0;     // exit code, or the signal's number
  bool signaled = false;
  std::string output;
};

Outcome Run(const std::string& program, const std::vector<std::string>& args) {
  // Named here, since the failed start of a child only says "File not found".
  if (program.find('/') != std::string::npos && !files::FileExists(program))
    throw ComError(rt::FileNotFound, std::string(RuntimeErrorText(rt::FileNotFound)) + ": " + program);
  std::vector<std::string> argv_text(args);
  argv_text[0] = program;
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) RaiseErrno(errno);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
  pid_t pid = 0;
  const bool search_path = program.find('/') == std::string::npos;
  int rc = search_path ? ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ)
                       : ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  if (rc != 0) {
    ::close(pipe_fds[0]);
    RaiseErrno(rc);
  }

  Outcome o;
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(pipe_fds[0], buf, sizeof buf);
    if (n > 0) {
      o.output.append(buf, static_cast<size_t>(n));
      if (o.output.size() > 2 * kOutputKept) o.output.erase(0, o.output.size() - kOutputKept);
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  ::close(pipe_fds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) RaiseErrno(errno);
  if (WIFEXITED(status)) {
    o.status = WEXITSTATUS(status);
  } else {
    o.signaled = true;
    o.status = WIFSIGNALED(status) ? WTERMSIG(status) : -1;
  }
  return o;
}

}  // namespace

std::vector<std::string> SplitBatchLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::vector<std::string> args;
  std::string current;
  bool in_argument = false;  // a quote pair alone still makes an argument
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      in_argument = true;
    } else if (c == ' ' && !quoted) {
      if (in_argument) args.push_back(std::move(current));
      current.clear();
      in_argument = false;
    } else {
      current += c;
      in_argument = true;
    }
  }
  if (in_argument) args.push_back(std::move(current));
  return args;
}

std::string BulkCopyProgram() {
  if (const char* set = std::getenv("KESTREL_BCP"); set && *set) return set;
  return files::Join(ProgramFolder(), "bcp");
}

void RunBatchFile(const std::string& batch_path, const std::string& program) {
  const std::string content = files::ReadWholeFile(batch_path);
  size_t start = 0;
  for (size_t number = 1; start < content.size(); ++number) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::vector<std::string> args = SplitBatchLine(std::string_view(content).substr(start, end - start));
    start = end + 1;
    if (args.empty()) continue;

    const std::string where = "line " + std::to_string(number) + " of " + batch_path;
    if (args[0] != "bcp")
      Raise(Ours::BulkLoadFailed, std::string(DefaultText(Ours::BulkLoadFailed)) + ": " + where +
                                      " does not run bcp");
    // "bcp DB..table in FILE ...": without a file there is nothing to load.
    if (args.size() < 4 || args[2] != "in")
      Raise(Ours::BulkLoadFailed, std::string(DefaultText(Ours::BulkLoadFailed)) + ": " + where +
                                      " names no data file");
    if (!files::FileExists(args[3])) continue;

    Outcome o = Run(program, args);
    if (o.status == 0 && !o.signaled) continue;
    const std::string& target = args[1];
    std::string table = target.substr(target.rfind("..") == std::string::npos ? 0 : target.rfind("..") + 2);
    std::string text = std::string(DefaultText(Ours::BulkLoadFailed)) + ": " + where + " (table " + table + ") " +
                       (o.signaled ? "was ended by signal " : "exited with status ") + std::to_string(o.status);
    std::string output = Tail(std::move(o.output));
    if (!output.empty()) text += ": " + output;
    Raise(Ours::BulkLoadFailed, std::move(text));
  }
}

}  // namespace Kestrel20ImpExp::detail
