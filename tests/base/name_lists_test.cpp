// The compact name lists give back exactly what was put in, in order, whatever the names
// share and however long they are.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/name_sequence.h"
#include "base/text_blocks.h"

namespace mailstow {
namespace {

const std::vector<std::wstring>& Names() {
  static const std::vector<std::wstring> names = {
      L"Mail\\Inbox\\1.eml",
      L"Mail\\Inbox\\2.eml",
      L"Mail\\Inbox",
      L"",
      L"Mail\\Sent\\\x00E9t\x00E9",
      L"Mail\\Inbox\\1.eml",
      std::wstring(200000, L'x'),  // longer than a block
      std::wstring(200000, L'x') + L"y",
      std::wstring(40000, L'\xFFFF')};
  return names;
}

TEST(NameLists, SequenceGivesBackEveryNameInOrder) {
  NameSequence sequence;
  for (const std::wstring& name : Names()) sequence.Add(name);
  EXPECT_EQ(sequence.size(), Names().size());
  EXPECT_EQ(std::vector<std::wstring>(sequence.begin(), sequence.end()), Names());
  sequence.Clear();
  EXPECT_TRUE(sequence.empty());
  EXPECT_EQ(sequence.begin(), sequence.end());
}

TEST(NameLists, TextListKeepsEveryTextWholeAndEnded) {
  TextList list;
  for (const std::wstring& name : Names()) list.Add(name);
  ASSERT_EQ(list.size(), Names().size());
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i], Names()[i]);
    EXPECT_EQ(list[i].data()[list[i].size()], L'\0');
  }
}

}  // namespace
}  // namespace mailstow
