// Named stores: short names for store locations ("dev", "prod"), kept in
// stores files of lines "NAME = LOCATION", which every place that takes a
// store location takes instead of the location (store::Open, store::Create
// and DiscardNewStore resolve them, so the command line, the web wizard and
// the C and Python interfaces all do).
//
// The files, first one first (a name the first defines is that one's, and
// the same name in a later file is overridden):
//   1. $KESTREL_STORES, when set (it must name a readable file);
//   2. this user's file, $XDG_CONFIG_HOME/kestrel/stores.ini, by default
//      ~/.config/kestrel/stores.ini (when it exists);
//   3. /etc/kestrel/stores.ini (when it exists).
// Every file that exists is read whole and strictly: a line that is not
// blank, a comment ("#" or ";" first) or "NAME = LOCATION" fails with
// Ours::StoresFileLine naming the file and line (never quoting the line,
// which may hold a password). A NAME is letters, digits, "-" and "_" (a
// letter or digit first); a
// LOCATION is an absolute path, "~/PATH" (in the home folder), or a server
// location (IsServerLocation). There are no sections, no quotes and no
// comments after a location: a location runs to the end of its line.
//
// A text is taken for a name only when it has a name's shape (no "/", no
// ".", no "=") and no file or folder of that name exists: an existing path
// always wins, so that no name added later changes which store a command
// that named a file works on. ResolveStoreLocation says when a name was
// passed over so.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/export.h"

namespace kestrel {
class Env;
}  // namespace kestrel

namespace kestrel::store {

// The stores file of the machine's settings.
inline constexpr std::string_view kSystemStoresFile = "/etc/kestrel/stores.ini";
// The variable that names a stores file read before the others.
inline constexpr std::string_view kStoresFileVariable = "KESTREL_STORES";

// A line's place: the stores file and its 1-based line.
struct StoresFilePlace {
  std::string file;
  int line = 0;
};

struct NamedStore {
  std::string name;
  std::string location;  // as the file gives it, "~/" made the home folder
  StoresFilePlace place;
  // The lines of later files that give the same name, overridden by this one.
  std::vector<StoresFilePlace> overrides;
};

// The stores files in the order they are read, whether or not they exist
// (the user's is left out when no home folder is known).
KESTREL_API std::vector<std::string> StoresFiles(Env& env);

// Every name the stores files give, by name; a name given by more than one
// file as the first gives it. Fails with Ours::StoresFileLine on a bad line
// and Ours::StoresFileUnreadable on a file that cannot be read ($KESTREL_STORES
// naming none among them).
KESTREL_API std::vector<NamedStore> NamedStores(Env& env);

// Whether `text` has the shape of a store name: letters, digits, "-", "_",
// a letter or digit first.
KESTREL_API bool IsStoreName(std::string_view text);

struct ResolvedStore {
  std::string location;  // what to open: the name's location, or the text given
  // The named store the location is, or, when `passed_over`, the one a file
  // or folder of the same name won over.
  std::optional<NamedStore> named;
  bool passed_over = false;
};

// The location `given` stands for: the named store's location when `given`
// is a name the stores files give and no file or folder of that name exists,
// else `given` itself. The stores files are read only for a text of a name's
// shape.
KESTREL_API ResolvedStore ResolveStoreLocation(Env& env, const std::string& given);

}  // namespace kestrel::store
