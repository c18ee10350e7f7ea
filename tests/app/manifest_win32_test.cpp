// The application manifests as the built programs carry them: resource type
// 24, id 1, read back out of each executable.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "lumetra_version.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

std::string ManifestOf(const std::string& exe) {
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return "";
  std::string text;
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (bytes) text.assign(bytes, SizeofResource(module, found));
  FreeLibrary(module);
  return text;
}

// The attribute of the first element of that name, or "(none)".
std::string Attribute(const std::string& xml, const std::string& element, const std::string& name) {
  std::smatch tag;
  if (!std::regex_search(xml, tag, std::regex("<" + element + "\\b[^>]*>"))) return "(none)";
  std::smatch value;
  const std::string text = tag.str();
  if (!std::regex_search(text, value, std::regex("\\b" + name + "=\"([^\"]*)\""))) return "(none)";
  return value[1];
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ApplicationManifest, BothProgramsDeclareWhatTheyAre) {
  const struct {
    const char* exe;
    const char* assembly;
  } programs[] = {{"app/lumetra.exe", "Pelo.Lumetra.Lumetra"}, {"loader/lumetra-loader.exe", "Pelo.Lumetra.LumetraLoader"}};
  for (const auto& program : programs) {
    const std::string xml = ManifestOf(testing::BinaryPath(program.exe));
    ASSERT_FALSE(xml.empty()) << program.exe << " carries no manifest (type 24, id 1)";
    SCOPED_TRACE(program.exe);

    EXPECT_EQ(Attribute(xml, "requestedExecutionLevel", "level"), "asInvoker");
    EXPECT_EQ(Attribute(xml, "requestedExecutionLevel", "uiAccess"), "false");

    EXPECT_EQ(Attribute(xml, "assemblyIdentity", "name"), program.assembly);
    EXPECT_EQ(Attribute(xml, "assemblyIdentity", "version"), LUMETRA_VERSION_DOTTED)
        << "the version comes from the project's one version number";
    EXPECT_EQ(Attribute(xml, "assemblyIdentity", "type"), "win32");

    const char* systems[] = {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",   // Windows 7
                             "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",   // Windows 8
                             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",   // Windows 8.1
                             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"};  // Windows 10 and 11
    for (const char* id : systems) EXPECT_TRUE(Contains(xml, "<supportedOS Id=\"" + std::string(id) + "\"/>")) << id;

    EXPECT_FALSE(Contains(xml, "Microsoft.Windows.Common-Controls")) << "the classic controls are meant";
    EXPECT_FALSE(Contains(xml, "<dpiAware")) << "DPI awareness stays undeclared";
    EXPECT_FALSE(Contains(xml, "<dpiAwareness"));
    EXPECT_FALSE(Contains(xml, "@")) << "a placeholder of the template was left";
  }
}

}  // namespace
}  // namespace lumetra
