#include "client_table.h"

#include <array>

namespace mailstow {
namespace {

constexpr std::wstring_view kOutlookExpressExe[] = {L"msimn.exe"};
constexpr std::wstring_view kOutlookExe[] = {L"outlook.exe"};
constexpr std::wstring_view kEudoraExe[] = {L"eudora.exe"};
constexpr std::wstring_view kNetscapeExe[] = {L"netscp.exe"};
constexpr std::wstring_view kIncrediMailExe[] = {L"incredimail.exe", L"incred~1.exe",
                                                 L"incmail.exe", L"imapp.exe"};
constexpr std::wstring_view kPegasusExe[] = {L"winpm-32.exe"};
constexpr std::wstring_view kTheBatExe[] = {L"thebat.exe"};
constexpr std::wstring_view kPocoExe[] = {L"poco.exe"};
constexpr std::wstring_view kOperaExe[] = {L"opera.exe"};

constexpr std::array<ClientInfo, kClientCount> kClients = {{
    {1, L"OutlookExpress", L"RadioButton3", L"Microsoft Outlook Express", L"Outlook Express",
     L"OExpressBackup ", kOutlookExpressExe, L"Last1", L"Outlook Express"},
    {2, L"Outlook", L"RadioButton4", L"Microsoft Outlook", L"Microsoft Outlook", L"Mailstow ",
     kOutlookExe, L"Last2", L"Microsoft Outlook"},
    {3, L"Eudora", L"RadioButton5", L"Eudora", L"Eudora", L"EudoraBackup ", kEudoraExe, L"Last3",
     L"Eudora"},
    {4, L"Netscape", L"RadioButton6", L"Netscape Messenger", L"Netscape", L"NetscapeBackup ",
     kNetscapeExe, L"Last9", L"Netscape Mail"},
    {5, L"IncrediMail", L"RadioButton7", L"Incredi Mail", L"IncrediMail", L"IncrediMailBackup ",
     kIncrediMailExe, L"Last4", L"IncrediMail"},
    {6, L"PegasusMail", L"RadioButton8", L"Pegasus Mail", L"Pegasus Mail", L"PegasusMailBackup ",
     kPegasusExe, L"Last5", L"Pegasus Mail"},
    {7, L"TheBat", L"RadioButton9", L"The Bat", L"The Bat!", L"TheBatBackup ", kTheBatExe, L"Last6",
     L"The Bat!"},
    {8, L"PocoMail", L"RadioButton10", L"Poco Mail", L"Poco", L"PocoMailBackup ", kPocoExe,
     L"Last7", L"Poco Mail"},
    {9, L"Opera", L"RadioButton13", L"Opera Mail", L"Opera", L"OperaBackup ", kOperaExe, L"Last8",
     L"Opera Mail"},
    {10,
     L"Favorites",
     L"RadioButton16",
     L"Internet Explorer Favorites",
     L"",
     L"FavoritesBackup ",
     {},
     L"",
     L"Favorites"},
}};

}  // namespace

std::span<const ClientInfo> AllClients() { return kClients; }

const ClientInfo* ClientByIndex(int index) {
  return index >= 1 && index <= kClientCount ? &kClients[static_cast<size_t>(index - 1)] : nullptr;
}

int ClientIndexForKey(std::wstring_view key) {
  for (const ClientInfo& client : kClients) {
    if (client.key == key) return client.index;
  }
  return 0;
}

}  // namespace mailstow
