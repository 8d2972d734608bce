// The registry file: reading one value, recording one value, and where the
// file of this machine lies.
#include "kestrel/registry.h"

#include <cerrno>
#include <vector>

#include <fmt/format.h>

#include "base/error.h"
#include "base/files.h"
#include "base/text.h"

namespace kestrel {
namespace {

constexpr std::string_view kSystemRegistryFile = "/etc/kestrel/registry.ini";

// A CR is space too: a line that ends in a stray one ("\r\r\n", or a last line
// without its LF) loses it when the file is written back, and a line must mean
// the same before and after, or a value recorded under a section would read
// back under another.
std::string_view TrimSpace(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

// One line of the file as the parser sees it.
struct Line {
  enum Kind { Other, Section, Entry } kind = Other;
  std::string_view name;   // section or value name
  std::string_view value;  // entry value, quotes removed
};

Line Parse(std::string_view raw) {
  Line line;
  std::string_view t = TrimSpace(raw);
  if (t.empty() || t.front() == ';' || t.front() == '#') return line;
  if (t.front() == '[') {
    if (t.back() != ']') return line;
    line.kind = Line::Section;
    line.name = TrimSpace(t.substr(1, t.size() - 2));
    return line;
  }
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return line;
  line.kind = Line::Entry;
  line.name = TrimSpace(t.substr(0, eq));
  line.value = TrimSpace(t.substr(eq + 1));
  if (line.value.size() >= 2 && line.value.front() == '"' && line.value.back() == '"')
    line.value = line.value.substr(1, line.value.size() - 2);
  return line;
}

// The file's lines without their ends (LF or CR LF); a missing file has none.
struct Content {
  std::vector<std::string> lines;
  std::string eol = "\n";
};

Content Load(Env& env, const std::string& path) {
  Content c;
  if (env.FolderExists(path)) RaiseErrno(EISDIR, false, path);
  if (!env.FileExists(path)) return c;
  std::string all = files::ReadWholeFile(env, path);  // an unreadable file raises here
  size_t first_lf = all.find('\n');
  if (first_lf != std::string::npos && first_lf > 0 && all[first_lf - 1] == '\r') c.eol = "\r\n";
  size_t start = 0;
  while (start < all.size()) {
    size_t lf = all.find('\n', start);
    size_t end = lf == std::string::npos ? all.size() : lf;
    size_t stop = (end > start && all[end - 1] == '\r' && lf != std::string::npos) ? end - 1 : end;
    c.lines.emplace_back(all, start, stop - start);
    if (lf == std::string::npos) break;
    start = lf + 1;
  }
  return c;
}

std::string FormatEntry(const std::string& name, const std::string& data) {
  if (data.find_first_of("\r\n") != std::string::npos)
    throw ComError(rt::InvalidProcedureCall, "Invalid procedure call or argument: a registry value cannot hold a line end");
  bool quote = !data.empty() && (data.front() == ' ' || data.front() == '\t' || data.back() == ' ' ||
                                 data.back() == '\t' || data.front() == '"');
  return quote ? fmt::format("{}=\"{}\"", name, data) : fmt::format("{}={}", name, data);
}

}  // namespace

std::string HomeFolder(Env& env) {
  if (std::string home = env.Variable("HOME"); !home.empty()) return home;
  return env.AccountHome();
}

std::string RegistrySection(uint32_t hive, std::string_view key) {
  std::string_view name;
  switch (hive) {
    case HKEY_CLASSES_ROOT_VALUE: name = "HKEY_CLASSES_ROOT"; break;
    case HKEY_CURRENT_USER_VALUE: name = "HKEY_CURRENT_USER"; break;
    case HKEY_LOCAL_MACHINE_VALUE: name = "HKEY_LOCAL_MACHINE"; break;
    case HKEY_USERS_VALUE: name = "HKEY_USERS"; break;
    default: return {};
  }
  return fmt::format("{}\\{}", name, key);
}

bool RegistryFile::GetKeyValue(uint32_t hive, const std::string& key, const std::string& value_name,
                               std::string& data) {
  std::string section = RegistrySection(hive, key);
  if (section.empty()) return false;
  Content c = Load(*env_, path_);
  bool in_section = false, have = false;
  std::string_view found;
  for (const auto& raw : c.lines) {
    Line line = Parse(raw);
    if (line.kind == Line::Section) {
      in_section = text::EqualNoCase(line.name, section);
    } else if (line.kind == Line::Entry && in_section && text::EqualNoCase(line.name, value_name)) {
      have = true;
      found = line.value;
    }
  }
  if (!have) return false;
  data.assign(found);
  return true;
}

void RegistryFile::SetKeyValue(uint32_t hive, const std::string& key, const std::string& value_name,
                               const std::string& data) {
  std::string section = RegistrySection(hive, key);
  if (section.empty()) throw ComError(rt::InvalidProcedureCall, "Invalid procedure call or argument: unknown registry hive");
  std::string entry = FormatEntry(value_name, data);
  Content c = Load(*env_, path_);

  bool in_section = false, replaced = false;
  size_t insert_at = std::string::npos;  // after the last entry of the last matching section
  for (size_t i = 0; i < c.lines.size(); ++i) {
    Line line = Parse(c.lines[i]);
    if (line.kind == Line::Section) {
      in_section = text::EqualNoCase(line.name, section);
      if (in_section) insert_at = i + 1;
    } else if (line.kind == Line::Entry && in_section) {
      insert_at = i + 1;
      if (text::EqualNoCase(line.name, value_name)) {
        c.lines[i] = entry;
        replaced = true;
      }
    }
  }
  if (!replaced) {
    if (insert_at != std::string::npos) {
      c.lines.insert(c.lines.begin() + static_cast<std::ptrdiff_t>(insert_at), entry);
    } else {
      if (!c.lines.empty() && !TrimSpace(c.lines.back()).empty()) c.lines.emplace_back();
      c.lines.push_back(fmt::format("[{}]", section));
      c.lines.push_back(entry);
    }
  }

  auto slash = path_.find_last_of('/');
  if (slash != std::string::npos && slash > 0) files::CreateFolders(*env_, path_.substr(0, slash));
  std::string temporary = path_ + ".new";
  try {
    auto out = files::TextWriter::Create(*env_, temporary);
    for (const auto& line : c.lines) out->Write(line + c.eol);
    out->Close();
    env_->RenameFile(temporary, path_);
  } catch (const ComError&) {
    if (env_->FileExists(temporary)) try { env_->DeleteFile(temporary); } catch (const ComError&) {}
    throw;
  }
}

std::string UserConfigFilePath(Env& env, std::string_view file_name) {
  std::string config = env.Variable("XDG_CONFIG_HOME");
  if (config.empty() || config[0] != '/') {
    std::string home = HomeFolder(env);
    if (home.empty()) return {};
    config = files::Join(home, ".config");
  }
  return files::Join(files::Join(config, "kestrel"), file_name);
}

std::string UserRegistryFilePath(Env& env) { return UserConfigFilePath(env, "registry.ini"); }

std::string RegistryFilePath(Env& env) {
  if (std::string chosen = env.Variable("KESTREL_REGISTRY"); !chosen.empty()) return chosen;
  std::string user = UserRegistryFilePath(env);
  if (!user.empty() && env.FileExists(user)) return user;
  return std::string(kSystemRegistryFile);
}

std::shared_ptr<Registry> CreateRegistry(Env& env) {
  return std::make_shared<RegistryFile>(env, RegistryFilePath(env));
}

}  // namespace kestrel
