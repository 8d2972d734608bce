// Creation of both classes by ProgID: clsImport through the installation
// lookup, refused without an installation; unknown names refused.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "kestrel/cls_export.h"
#include "kestrel/cls_import.h"
#include "kestrel/create_object.h"
#include "kestrel/registry.h"
#include "support/error_of.h"

namespace kestrel::testing {
namespace {

// A registry that holds the installation folder, or nothing.
struct FakeRegistry : Registry {
  explicit FakeRegistry(std::string f) : folder(std::move(f)) {}
  bool GetKeyValue(uint32_t, const std::string&, const std::string&, std::string& data) override {
    if (folder.empty()) return false;
    data = folder;
    return true;
  }
  std::string folder;
};

TEST(CreateObjectTest, CreatesBothClassesByProgId) {
  auto e = Kestrel20ImpExp::CreateObject("Kestrel20ImpExp.clsExport");
  ASSERT_NE(e.Export, nullptr);
  EXPECT_EQ(e.Import, nullptr);
  auto i = Kestrel20ImpExp::CreateObject("kestrel20impexp.CLSIMPORT", std::make_shared<FakeRegistry>("/opt/lumo"));
  ASSERT_NE(i.Import, nullptr);
  EXPECT_EQ(i.Export, nullptr);
  std::string path;
  ASSERT_TRUE(i.Import->GetLumoInstallationPath(path));
  EXPECT_EQ(path, "/opt/lumo");
  const auto none = std::make_shared<FakeRegistry>("");
  EXPECT_EQ(ErrorOf([&] { Kestrel20ImpExp::CreateObject("Kestrel20ImpExp.clsImport", none); }), 505);
  for (const char* unknown : {"Kestrel20ImpExp.clsExporter", "clsExport", ""}) {
    const ComError err = CaughtFrom([&] { Kestrel20ImpExp::CreateObject(unknown); });
    EXPECT_EQ(err.number(), 429) << unknown;
    EXPECT_EQ(err.description(), "ActiveX component can't create object");
  }
}

}  // namespace
}  // namespace kestrel::testing
