#include "app/client_detection.h"

#include <gtest/gtest.h>

namespace mailstow {
namespace {

std::vector<int> Installed(const DetectionResult& result) {
  std::vector<int> indices;
  for (int i = 1; i <= kClientCount; ++i) {
    if (result.installed[static_cast<size_t>(i)]) indices.push_back(i);
  }
  return indices;
}

TEST(ClientDetection, SubkeysMarkClientsAndTheDefaultIsPreselected) {
  DetectionInput input;
  input.mail_client_subkeys = {L"Microsoft Outlook", L"Outlook Express"};
  input.default_mail_client = L"Microsoft Outlook";
  const DetectionResult result = DetectClients(input);
  EXPECT_EQ(Installed(result), (std::vector<int>{1, 2, 10}));
  EXPECT_EQ(result.default_client, 2);
}

TEST(ClientDetection, ADefaultWithoutItsInstallationIsStillPreselected) {
  DetectionInput input;
  input.mail_client_subkeys = {L"Outlook Express"};
  input.default_mail_client = L"Netscape";
  const DetectionResult result = DetectClients(input);
  EXPECT_FALSE(result.installed[4]);
  EXPECT_EQ(result.default_client, 4);
}

TEST(ClientDetection, WithoutMailClientKeysTheUserPocoKeyDoesNotCount) {
  DetectionInput input;
  input.user_poco_key = true;
  input.opera_key = true;
  const DetectionResult result = DetectClients(input);
  EXPECT_EQ(Installed(result), (std::vector<int>{9, 10}));
  EXPECT_EQ(result.default_client, 0);

  input.mail_client_subkeys = {L"Hotmail"};
  EXPECT_TRUE(DetectClients(input).installed[8]);
  input.mail_client_subkeys = {L"PocoSystems"};
  input.user_poco_key = false;
  EXPECT_TRUE(DetectClients(input).installed[8]);
}

TEST(ClientDetection, NamesCompareExactlyAndCaseSensitively) {
  DetectionInput input;
  input.mail_client_subkeys = {L"The Bat! 2", L"eudora"};
  input.default_mail_client = L"The Bat";
  const DetectionResult result = DetectClients(input);
  EXPECT_TRUE(result.installed[7]);
  EXPECT_FALSE(result.installed[3]);
  EXPECT_EQ(result.default_client, 0);
  input.default_mail_client = L"The Bat!";
  EXPECT_EQ(DetectClients(input).default_client, 7);
}

}  // namespace
}  // namespace mailstow
