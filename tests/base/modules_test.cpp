// Loading a library on demand: the entry found, or the reason it was not, in
// words that name what is missing.
#include "kestrel/modules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kestrel {
namespace {

struct SystemLoad {
  const char* soname;
  const char* entry;
  bool found;
  const char* failure_names;  // a part of the failure's text, when not found
};

TEST(ModulesTest, SystemLibrariesByTheLoadersSearch) {
  const SystemLoad rows[] = {
      {"libc.so.6", "strlen", true, ""},
      {"libc.so.6", "kestrel_no_such_entry", false, "kestrel_no_such_entry"},
      {"libkestrel-no-such-library.so.1", "strlen", false, "libkestrel-no-such-library.so.1"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.soname) + " " + row.entry);
    std::string failure;
    void* address = LoadSystemLibraryEntry(row.soname, row.entry, failure);
    if (row.found) {
      ASSERT_NE(address, nullptr) << failure;
      // The entry itself, not the library's handle: it can be called.
      using Strlen = size_t (*)(const char*);
      EXPECT_EQ(reinterpret_cast<Strlen>(address)("kestrel"), 7u);
      EXPECT_EQ(failure, "");
    } else {
      EXPECT_EQ(address, nullptr);
      EXPECT_NE(failure.find(row.failure_names), std::string::npos) << failure;
    }
  }
}

TEST(ModulesTest, OurLibrariesAreLookedForBesideLibkestrel) {
  // A system library's name is not one of ours: beside libkestrel.so there is
  // no libc, and the failure says where it looked.
  std::string failure;
  EXPECT_EQ(LoadLibraryEntry("libc.so.6", "strlen", failure), nullptr);
  EXPECT_NE(failure.find("/libc.so.6"), std::string::npos) << failure;
}

}  // namespace
}  // namespace kestrel
