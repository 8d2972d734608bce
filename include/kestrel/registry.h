// The registry component the installation lookup reads through: one call,
// GetKeyValue(hive, key, value name, data). Our implementation reads an
// INI-style registry file: sections are key paths below their hive, entries
// value names, for instance
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Corvane\Tresk\Tresk2.0]
//   Path=/opt/lumo
//
// Section and value names match without regard to case. Lines end with LF or
// CR LF; blank lines and lines starting with ';' or '#' are ignored; blanks
// and tabs around names and values are dropped, and a value may be put
// between double quotes to keep blanks at its ends. When an entry appears
// more than once, the last one counts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kestrel/env.h"
#include "kestrel/export.h"

namespace kestrel {

inline constexpr uint32_t HKEY_CLASSES_ROOT_VALUE = 0x80000000u;
inline constexpr uint32_t HKEY_CURRENT_USER_VALUE = 0x80000001u;
inline constexpr uint32_t HKEY_LOCAL_MACHINE_VALUE = 0x80000002u;
inline constexpr uint32_t HKEY_USERS_VALUE = 0x80000003u;

class KESTREL_API Registry {
 public:
  virtual ~Registry() = default;
  // True when the value was found and read into `data` (left unchanged otherwise).
  virtual bool GetKeyValue(uint32_t hive, const std::string& key, const std::string& value_name,
                           std::string& data) = 0;
};

// A registry file. A missing file holds no values; a file that exists but
// cannot be read makes GetKeyValue raise the file seam's ComError.
class KESTREL_API RegistryFile : public Registry {
 public:
  // The file at `path`, reached through `env`, which must outlive this object.
  RegistryFile(Env& env, std::string path) : env_(&env), path_(std::move(path)) {}
  bool GetKeyValue(uint32_t hive, const std::string& key, const std::string& value_name,
                   std::string& data) override;
  // Records `data` under the key and value name: an existing entry gets the
  // new value, a missing one is added to its section (the section to the end
  // of the file). Every other line stays as it was. Creates the file and its
  // folder when missing; the file is replaced in one step, so a failure leaves
  // the old one whole.
  void SetKeyValue(uint32_t hive, const std::string& key, const std::string& value_name,
                   const std::string& data);
  const std::string& path() const { return path_; }

 private:
  Env* env_;
  std::string path_;
};

// The section name of a key: "HKEY_LOCAL_MACHINE\" + key, "" for an unknown hive.
KESTREL_API std::string RegistrySection(uint32_t hive, std::string_view key);

// The registry file of this machine: $KESTREL_REGISTRY when set, else this
// user's file when it exists, else /etc/kestrel/registry.ini.
KESTREL_API std::string RegistryFilePath(Env& env);
// This user's registry file, whether or not it exists:
// $XDG_CONFIG_HOME/kestrel/registry.ini, by default ~/.config/kestrel/registry.ini.
KESTREL_API std::string UserRegistryFilePath(Env& env);
// A file of this user's Kestrel settings, whether or not it exists:
// $XDG_CONFIG_HOME/kestrel/FILE when that variable holds an absolute path,
// else ~/.config/kestrel/FILE; "" when no home folder is known.
KESTREL_API std::string UserConfigFilePath(Env& env, std::string_view file_name);
// This user's home folder: $HOME, else the account's; "" when neither is known.
KESTREL_API std::string HomeFolder(Env& env);
// A RegistryFile on RegistryFilePath(), reached through `env`, which must
// outlive it.
KESTREL_API std::shared_ptr<Registry> CreateRegistry(Env& env);

// Makes `folder` an installation that clsImport can be created on: creates
// its working folders and records it in the registry file `registry_file`,
// as an absolute path without "..", links or a trailing "/", as the lookup
// hands it out. Returns the folder as recorded.
KESTREL_API std::string RecordInstallation(Env& env, const std::string& registry_file, const std::string& folder);

}  // namespace kestrel
