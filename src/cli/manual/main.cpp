// kestrel_manual PROGRAM VERSION PROSE_DIR MAN_DIR TEMPLATE COMPLETION
//
// Runs `PROGRAM --describe`, writes kestrel.1 and kestrel-NAME.1 for every
// command into MAN_DIR (pages of commands that are gone removed) with the
// prose of PROSE_DIR/NAME.md, and writes the bash completion COMPLETION
// from TEMPLATE, whose line "@KESTREL_TABLES@" becomes the tables.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "manual.h"

namespace fs = std::filesystem;
using kestrel::manual::Json;

namespace {

Json Describe(const std::string& program) {
  // The path comes from the build; quoted for the shell all the same.
  std::string quoted = "'";
  for (char c : program) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  quoted += "'";
  FILE* pipe = ::popen((quoted + " --describe").c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run " + program);
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  if (::pclose(pipe) != 0) throw std::runtime_error(program + " --describe failed");
  return Json::parse(text);
}

void Write(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::cerr << "usage: kestrel_manual PROGRAM VERSION PROSE_DIR MAN_DIR TEMPLATE COMPLETION\n";
    return 2;
  }
  try {
    const std::string version = argv[2];
    const fs::path prose_dir = argv[3], man_dir = argv[4];
    const Json program = Describe(argv[1]);
    const std::string name = program.at("name").get<std::string>();
    const kestrel::manual::Prose common = kestrel::manual::ReadProse(prose_dir / (name + ".md"));

    fs::create_directories(man_dir);
    for (const auto& entry : fs::directory_iterator(man_dir))
      if (entry.path().extension() == ".1") fs::remove(entry.path());
    Write(man_dir / (name + ".1"), kestrel::manual::ProgramPage(program, common, version));
    for (const auto& command : program.at("commands")) {
      const std::string page = name + "-" + command.at("name").get<std::string>();
      Write(man_dir / (page + ".1"),
            kestrel::manual::CommandPage(program, command, kestrel::manual::ReadProse(prose_dir / (page + ".md")),
                                         common, version));
    }

    std::ifstream template_file(argv[5]);
    if (!template_file) throw std::runtime_error(std::string("cannot read ") + argv[5]);
    std::string script;
    for (std::string line; std::getline(template_file, line);)
      script += line == "@KESTREL_TABLES@" ? kestrel::manual::CompletionTables(program) : line + "\n";
    Write(argv[6], script);
  } catch (const std::exception& e) {
    std::cerr << "kestrel_manual: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
