#include "clients/dump_root.h"

#include <gtest/gtest.h>

namespace mailstow {
namespace {

TEST(DumpRoot, OnlyTheRootOfKeyLinesMoves) {
  const std::string dump =
      "REGEDIT4\r\n\r\n"
      "[hkey_local_machine\\SOFTWARE\\incredimail\\identities\\A1]\r\n"
      "\"Identity\"=\"Ann\"\r\n"
      "\"Note\"=\"[HKEY_LOCAL_MACHINE\\SOFTWARE] stays as typed\"\r\n"
      "\"Path\"=\"HKEY_LOCAL_MACHINE\\x\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE]\r\n"
      "[HKEY_LOCAL_MACHINEX\\other]\r\n"
      "[HKEY_CURRENT_USER\\Software]\r\n";
  const std::string expected =
      "REGEDIT4\r\n\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\incredimail\\identities\\A1]\r\n"
      "\"Identity\"=\"Ann\"\r\n"
      "\"Note\"=\"[HKEY_LOCAL_MACHINE\\SOFTWARE] stays as typed\"\r\n"
      "\"Path\"=\"HKEY_LOCAL_MACHINE\\x\"\r\n\r\n"
      "[HKEY_CURRENT_USER]\r\n"
      "[HKEY_LOCAL_MACHINEX\\other]\r\n"
      "[HKEY_CURRENT_USER\\Software]\r\n";
  EXPECT_EQ(RebaseDumpRoot(dump, "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"), expected);
  // The other way, and a last line without a line break.
  EXPECT_EQ(RebaseDumpRoot("[HKEY_CURRENT_USER\\a]", "hkey_current_user", "HKEY_LOCAL_MACHINE"),
            "[HKEY_LOCAL_MACHINE\\a]");
  EXPECT_EQ(RebaseDumpRoot("", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"), "");
}

}  // namespace
}  // namespace mailstow
