#include "clients/profile_list.h"

#include <gtest/gtest.h>

namespace mailstow {
namespace {

using namespace std::string_literals;

struct ScanCase {
  const char* what;
  std::string bytes;
  std::vector<std::string> folders;
};

TEST(ProfileList, ScanFindsEveryEntryAndStopsSafelyAtTheEnd) {
  const std::string good = "C:\\Data\\Mozilla\\Profiles\\default\\a1b2.slt";
  const std::string overlong(kLongestProfileFolder + 1, 'x');
  const std::vector<ScanCase> cases = {
      {"two entries between binary records, a duplicate kept",
       "AdDv\x01\0\x02\0ProfileName\0default\0directory\0"s + good + "\0\x10\0\0\0directory\0"s +
           "D:\\Other\0"s + "directory\0"s + good + "\0"s,
       {good, "D:\\Other", good}},
      {"the name at the very end", "directory\0"s + good + "\0directory"s, {good}},
      {"the terminator byte at the very end", "directory\0"s + good + "\0directory\0"s, {good}},
      {"a text without its final zero byte",
       "directory\0"s + good + "\0directory\0C:\\cut"s,
       {good}},
      {"an empty text is skipped", "directory\0\0directory\0"s + good + "\0"s, {good}},
      {"an overlong text is skipped",
       "directory\0"s + overlong + "\0directory\0"s + good + "\0"s,
       {good}},
      {"the longest text allowed is kept",
       "directory\0"s + overlong.substr(1) + "\0"s,
       {overlong.substr(1)}},
      {"a name preceded by its first letter", "ddirectory\0"s + good + "\0"s, {good}},
      {"other case is another name", "Directory\0"s + good + "\0"s, {}},
      {"bytes in the system code page pass unchanged", "directory\0C:\\Zo\xeb\0"s, {"C:\\Zo\xeb"}},
      {"nothing at all", "", {}},
  };
  for (const ScanCase& scan : cases) {
    EXPECT_EQ(ScanProfileList(scan.bytes), scan.folders) << scan.what;
  }
}

}  // namespace
}  // namespace mailstow
