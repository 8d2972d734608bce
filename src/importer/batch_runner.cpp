// The batch file runner: argument splitting, the program's location, and one
// child process per line, run through the Env, with its output kept.
#include "importer/batch_runner.h"

#include "kestrel/modules.h"

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"

namespace kestrel::importer {
namespace {

// Enough of a line's output to say why it failed.
constexpr size_t kOutputKept = 2000;

// The end of the output, without trailing line ends.
std::string Tail(std::string out) {
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  if (out.size() > kOutputKept) out = "..." + out.substr(out.size() - kOutputKept);
  return out;
}

ChildOutcome Run(Env& env, const std::string& program, const std::vector<std::string>& args) {
  // Named here, since the failed start of a child only says "File not found".
  if (program.find('/') != std::string::npos && !env.FileExists(program))
    throw ComError(rt::FileNotFound, std::string(RuntimeErrorText(rt::FileNotFound)) + ": " + program);
  return env.RunProgram(program, std::vector<std::string>(args.begin() + 1, args.end()), kOutputKept);
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

std::string BulkCopyProgram(Env& env) {
  if (std::string set = env.Variable("KESTREL_BCP"); !set.empty()) return set;
  const std::string beside_program = files::Join(env.ProgramFolder(), "bcp");
  if (env.FileExists(beside_program)) return beside_program;
  if (const std::string library = LibraryFolder(); !library.empty())
    for (const std::string& candidate : {library + "bcp", library + "../bin/bcp"})
      if (env.FileExists(candidate)) return candidate;
  return beside_program;
}

void RunBatchFile(Env& env, const std::string& batch_path, const std::string& program) {
  const std::string content = files::ReadWholeFile(env, batch_path);
  size_t start = 0;
  for (size_t number = 1; start < content.size(); ++number) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::vector<std::string> args = SplitBatchLine(std::string_view(content).substr(start, end - start));
    start = end + 1;
    if (args.empty()) continue;

    const std::string where = fmt::format("line {} of {}", number, batch_path);
    if (args[0] != "bcp")
      Raise(Ours::BulkLoadFailed, fmt::format("{}: {} does not run bcp", DefaultText(Ours::BulkLoadFailed), where));
    // "bcp DB..table in FILE ...": without a file there is nothing to load.
    if (args.size() < 4 || args[2] != "in")
      Raise(Ours::BulkLoadFailed, fmt::format("{}: {} names no data file", DefaultText(Ours::BulkLoadFailed), where));
    if (!env.FileExists(args[3])) continue;

    ChildOutcome o = Run(env, program, args);
    if (o.status == 0 && !o.signaled) continue;
    // The line's store is the staging store in the import folder: named, so
    // that a failure of it (a full disk) is not taken for the store's.
    const std::string& target = args[1];
    const size_t dots = target.rfind("..");
    const std::string table = dots == std::string::npos ? target : target.substr(dots + 2);
    const std::string store = dots == std::string::npos ? std::string() : " of " + target.substr(0, dots);
    std::string text = fmt::format("{}: {} (table {}{}) {} {}", DefaultText(Ours::BulkLoadFailed), where, table, store,
                                   o.signaled ? "was ended by signal" : "exited with status", o.status);
    std::string output = Tail(std::move(o.output));
    if (!output.empty()) text += ": " + output;
    Raise(Ours::BulkLoadFailed, std::move(text));
  }
}

}  // namespace kestrel::importer
