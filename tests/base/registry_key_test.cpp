#include "base/registry_key.h"

#include <gtest/gtest.h>

#include "tests/registry_denial.h"

namespace mailstow {
namespace {

constexpr wchar_t kTestKey[] = L"Software\\MailstowTests\\RegistryKey";

class RegistryKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    ASSERT_TRUE(key_.Open(HKEY_CURRENT_USER, kTestKey, true));
  }
  void TearDown() override {
    key_.Close();
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
  }
  RegistryKey key_;
};

TEST_F(RegistryKeyTest, TypedValuesRoundTripWithTheirRegistryTypes) {
  ASSERT_TRUE(key_.WriteString(L"S", L"C:\\Mail\\"));
  ASSERT_TRUE(key_.WriteInteger(L"I", -7));
  ASSERT_TRUE(key_.WriteBool(L"B", true));
  ASSERT_TRUE(key_.WriteDateTime(L"D", 46363.375));
  EXPECT_EQ(key_.ReadString(L"S").value, L"C:\\Mail\\");
  EXPECT_EQ(key_.ReadInteger(L"I").value, -7);
  EXPECT_TRUE(key_.ReadBool(L"B").value);
  EXPECT_DOUBLE_EQ(key_.ReadDateTime(L"D").value, 46363.375);

  DWORD type = 0, size = 0;
  RegQueryValueExW(key_.handle(), L"D", nullptr, &type, nullptr, &size);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(size, 8u);
  RegQueryValueExW(key_.handle(), L"B", nullptr, &type, nullptr, &size);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
}

TEST_F(RegistryKeyTest, MissingAndWronglyTypedValuesAreToldApart) {
  EXPECT_EQ(key_.ReadInteger(L"Absent").status, ReadStatus::kMissing);
  ASSERT_TRUE(key_.WriteString(L"X", L"12"));
  EXPECT_EQ(key_.ReadInteger(L"X").status, ReadStatus::kWrongType);
  ASSERT_TRUE(key_.WriteInteger(L"N", 5));
  EXPECT_EQ(key_.ReadString(L"N").status, ReadStatus::kWrongType);
  const unsigned char four[4] = {1, 2, 3, 4};
  RegSetValueExW(key_.handle(), L"Short", 0, REG_BINARY, four, sizeof(four));
  EXPECT_EQ(key_.ReadDateTime(L"Short").status, ReadStatus::kWrongType);
}

TEST_F(RegistryKeyTest, AnyNonZeroBooleanReadsAsTrue) {
  ASSERT_TRUE(key_.WriteInteger(L"B", 42));
  EXPECT_TRUE(key_.ReadBool(L"B").value);
  ASSERT_TRUE(key_.WriteInteger(L"B", 0));
  EXPECT_FALSE(key_.ReadBool(L"B").value);
}

// Writing is decided by the key's security, or for a missing key by its nearest existing
// parent's; machine keys are checked in the view the program writes them in.
TEST_F(RegistryKeyTest, KeyWritableFollowsTheSecurityOfTheKeyOrItsNearestParent) {
  const std::wstring missing = std::wstring(kTestKey) + L"\\Missing\\Deeper";
  EXPECT_TRUE(KeyWritable(HKEY_CURRENT_USER, kTestKey));
  EXPECT_TRUE(KeyWritable(HKEY_CURRENT_USER, missing));
  {
    RegistryWriteDenial denial(HKEY_CURRENT_USER, kTestKey);
    ASSERT_TRUE(denial.applied());
    EXPECT_FALSE(KeyWritable(HKEY_CURRENT_USER, kTestKey));
    EXPECT_FALSE(KeyWritable(HKEY_CURRENT_USER, missing));
    // Reading still works.
    RegistryKey reader;
    EXPECT_TRUE(reader.Open(HKEY_CURRENT_USER, kTestKey, false, KEY_READ));
  }
  EXPECT_TRUE(KeyWritable(HKEY_CURRENT_USER, missing));

  const std::wstring machine = L"Software\\MailstowTests\\MachineKey";
  ASSERT_TRUE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, machine));
  {
    RegistryWriteDenial denial(HKEY_LOCAL_MACHINE, machine);
    ASSERT_TRUE(denial.applied());
    EXPECT_FALSE(KeyWritable(HKEY_LOCAL_MACHINE, machine + L"\\Sub"));
    EXPECT_TRUE(KeyWritable(HKEY_LOCAL_MACHINE, L"Software\\MailstowTests"));
  }
  EXPECT_TRUE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, machine));
}

}  // namespace
}  // namespace mailstow
