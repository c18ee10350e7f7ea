#include "framework/support/settings_registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumetra {
namespace {

constexpr char kTestKey[] = "Software\\LumetraTest\\Settings";

struct TreeOwner {
  SettingsTree* tree = CreateTree();
  ~TreeOwner() { DestroyTree(tree, true); }
};

class SettingsRegistry : public ::testing::Test {
 protected:
  void SetUp() override { DeleteRegistryTree(kRegistryCurrentUser, "Software\\LumetraTest"); }
  void TearDown() override {
    EXPECT_EQ(DeleteRegistryTree(kRegistryCurrentUser, "Software\\LumetraTest"), kOk);
    HKEY key;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\LumetraTest", 0, KEY_READ, &key),
              ERROR_SUCCESS)
        << "the test key is gone afterwards";
  }

  static void WriteRaw(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kTestKey, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
};

TEST_F(SettingsRegistry, SaveThenLoadKeepsValuesAndSubtreesInOrder) {
  TreeOwner saved;
  SetText(saved.tree, "CurrentScreen", "1");
  SetNumber(saved.tree, "count", -5);
  SetFlag(saved.tree, "on", true);
  SettingsTree* dialogs = GetOrCreateSubtree(saved.tree, "Dialogs");
  SettingsTree* dialog = GetOrCreateSubtree(dialogs, "883");
  SetText(dialog, "Position", "10 20 310 220");
  SetText(saved.tree, "empty", "");
  SetNumber(saved.tree, "z", 2147483647);
  ASSERT_EQ(SaveTreeToRegistry(saved.tree, kRegistryCurrentUser, kTestKey), kOk);

  TreeOwner loaded;
  ASSERT_EQ(LoadTreeFromRegistry(loaded.tree, kRegistryCurrentUser, kTestKey), kOk);
  EXPECT_STREQ(GetText(loaded.tree, "CurrentScreen", nullptr), "1");
  EXPECT_EQ(EntryType(loaded.tree, "count"), kNumberEntry);
  EXPECT_EQ(GetNumber(loaded.tree, "count", 0), -5);
  EXPECT_EQ(GetNumber(loaded.tree, "on", 0), 1) << "a flag comes back as a number";
  EXPECT_STREQ(GetText(loaded.tree, "empty", nullptr), "");
  EXPECT_EQ(GetNumber(loaded.tree, "z", 0), 2147483647);
  EXPECT_STREQ(GetText(GetSubtree(GetSubtree(loaded.tree, "Dialogs"), "883"), "Position", nullptr),
               "10 20 310 220");

  // Values in the registry's own order (Wine sorts them by name, Windows keeps
  // the order written), then the sub-keys.
  std::vector<std::string> order;
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  char name[256];
  for (DWORD i = 0, length = sizeof(name);
       RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, length = sizeof(name)) {
    order.push_back(name);
  }
  RegCloseKey(key);
  order.push_back("Dialogs");
  ASSERT_EQ(EntryCount(loaded.tree), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(EntryNameAt(loaded.tree, i), order[i]);
}

TEST_F(SettingsRegistry, SavingReplacesTheKeyWholesale) {
  TreeOwner first;
  SetText(first.tree, "old", "x");
  GetOrCreateSubtree(GetOrCreateSubtree(first.tree, "a"), "b");
  ASSERT_EQ(SaveTreeToRegistry(first.tree, kRegistryCurrentUser, kTestKey), kOk);

  TreeOwner second;
  SetNumber(second.tree, "new", 1);
  ASSERT_EQ(SaveTreeToRegistry(second.tree, kRegistryCurrentUser, kTestKey), kOk);

  TreeOwner loaded;
  ASSERT_EQ(LoadTreeFromRegistry(loaded.tree, kRegistryCurrentUser, kTestKey), kOk);
  EXPECT_EQ(EntryCount(loaded.tree), 1);
  EXPECT_FALSE(HasEntry(loaded.tree, "old"));
  EXPECT_FALSE(HasEntry(loaded.tree, "a"));
}

TEST_F(SettingsRegistry, LoadsBigEndianNumbersLongValuesAndPassesOverOtherTypes) {
  const BYTE big_endian[] = {0x00, 0x00, 0x01, 0x02};
  WriteRaw("big", REG_DWORD_BIG_ENDIAN, big_endian, sizeof(big_endian));
  const BYTE binary[] = {1, 2, 3};
  WriteRaw("binary", REG_BINARY, binary, sizeof(binary));
  const char unterminated[] = {'a', 'b', 'c'};
  WriteRaw("unterminated", REG_SZ, unterminated, sizeof(unterminated));
  std::string long_text(3000, 'L');
  WriteRaw("long", REG_SZ, long_text.c_str(), static_cast<DWORD>(long_text.size() + 1));

  TreeOwner loaded;
  ASSERT_EQ(LoadTreeFromRegistry(loaded.tree, kRegistryCurrentUser, kTestKey), kOk);
  EXPECT_EQ(GetNumber(loaded.tree, "big", 0), 258);
  EXPECT_FALSE(HasEntry(loaded.tree, "binary"));
  EXPECT_STREQ(GetText(loaded.tree, "unterminated", nullptr), "abc");
  EXPECT_EQ(GetText(loaded.tree, "long", ""), long_text) << "the value buffer grows";
}

TEST_F(SettingsRegistry, AValueTheBufferCannotNameIsPassedOverAndTheRestLoad) {
  // A name longer than the 512-character name buffer: the registry tells no
  // larger data size, so the value cannot be read; the values after it can.
  std::string long_name(600, 'a');
  WriteRaw(long_name.c_str(), REG_SZ, "x", 2);
  WriteRaw("b", REG_SZ, "kept", 5);
  WriteRaw("", REG_SZ, "unnamed", 8);

  TreeOwner loaded;
  ASSERT_EQ(LoadTreeFromRegistry(loaded.tree, kRegistryCurrentUser, kTestKey), kOk);
  EXPECT_FALSE(HasEntry(loaded.tree, long_name.c_str()));
  EXPECT_STREQ(GetText(loaded.tree, "b", nullptr), "kept")
      << "the enumeration goes on past a value it cannot name";
  EXPECT_STREQ(GetText(loaded.tree, "", nullptr), "unnamed");
}

TEST_F(SettingsRegistry, TextsOfEveryLengthKeepAllTheirCharacters) {
  // The registry is offered one byte less than the value buffer holds, so an
  // unterminated text that fills the offer still finds room for its end.
  for (DWORD length : {510u, 511u, 512u, 513u}) {
    std::string text(length, 'T');
    // No terminator, and none right after the data either: the registry would
    // count a NUL it finds there.
    std::string stored = text + 'X';
    WriteRaw("text", REG_SZ, stored.data(), length);
    TreeOwner loaded;
    ASSERT_EQ(LoadTreeFromRegistry(loaded.tree, kRegistryCurrentUser, kTestKey), kOk);
    EXPECT_EQ(GetText(loaded.tree, "text", ""), text) << length << " unterminated characters";
  }
}

TEST_F(SettingsRegistry, LoadingNeedsOnlyReadAccess) {
  WriteRaw("v", REG_DWORD, "\x07\0\0\0", 4);
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);

  // A DACL that lets everyone read the key and nothing more.
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                       &everyone));
  alignas(DWORD) BYTE acl_bytes[256];
  auto* acl = reinterpret_cast<PACL>(acl_bytes);
  ASSERT_TRUE(InitializeAcl(acl, sizeof acl_bytes, ACL_REVISION));
  ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone));
  SECURITY_DESCRIPTOR read_only;
  ASSERT_TRUE(InitializeSecurityDescriptor(&read_only, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&read_only, TRUE, acl, FALSE));
  ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &read_only), ERROR_SUCCESS);

  HKEY probe;
  LONG full = RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_ALL_ACCESS, &probe);
  if (full == ERROR_SUCCESS) RegCloseKey(probe);
  EXPECT_EQ(full, ERROR_ACCESS_DENIED) << "the key is readable only";

  TreeOwner loaded;
  EXPECT_EQ(LoadTreeFromRegistry(loaded.tree, kRegistryCurrentUser, kTestKey), kOk);
  EXPECT_EQ(GetNumber(loaded.tree, "v", 0), 7);

  // Full access again (a null DACL), through the handle opened before, so the
  // fixture can delete the key.
  SECURITY_DESCRIPTOR open_to_all;
  ASSERT_TRUE(InitializeSecurityDescriptor(&open_to_all, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&open_to_all, TRUE, nullptr, FALSE));
  EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &open_to_all), ERROR_SUCCESS);
  RegCloseKey(key);
  FreeSid(everyone);
}

TEST_F(SettingsRegistry, FailuresAreNegatedRegistryErrors) {
  TreeOwner loaded;
  EXPECT_EQ(LoadTreeFromRegistry(loaded.tree, kRegistryCurrentUser, "Software\\LumetraTest\\None"),
            -ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(DeleteRegistryTree(kRegistryCurrentUser, "Software\\LumetraTest\\None"),
            -ERROR_FILE_NOT_FOUND);

  // A subtree without a name cannot become a sub-key; saving stops there.
  TreeOwner nameless;
  SetText(nameless.tree, "kept", "1");
  GetOrCreateSubtree(nameless.tree, "");
  EXPECT_EQ(SaveTreeToRegistry(nameless.tree, kRegistryCurrentUser, kTestKey), kRefused);
  TreeOwner back;
  ASSERT_EQ(LoadTreeFromRegistry(back.tree, kRegistryCurrentUser, kTestKey), kOk);
  EXPECT_TRUE(HasEntry(back.tree, "kept"));
}

}  // namespace
}  // namespace lumetra
