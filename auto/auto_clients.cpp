#include "auto/auto_clients.h"

namespace mailstow {
namespace {

using Names = std::wstring_view[];

constexpr Names kOutlookExpressFlags = {L"Accounts", L"Mail",         L"Signatures",
                                        L"Rules",    L"Address Book", L"Stationery"};
constexpr Names kEudoraFlags = {L"Accounts", L"Mail", L"Filters", L"Signatures", L"Address Book"};
constexpr Names kIncrediMailFlags = {L"Accounts", L"Mail", L"Rules", L"Address Book",
                                     L"Stationery"};
constexpr Names kTheBatFlags = {L"Accounts", L"Mail", L"Filters", L"Address Book"};
constexpr Names kPocoMailFlags = {L"Accounts",   L"Mail",         L"Filters",
                                  L"Signatures", L"Address Book", L"Scripts"};
constexpr Names kOperaFlags = {L"Accounts", L"Mail", L"Filters", L"Signatures", L"Address Book"};

constexpr Names kOutlookExpressRows = {L"Accounts Settings", L"Mail Folders", L"Signatures",
                                       L"Message Rules",     L"Address Book", L"Stationery"};
constexpr Names kOutlookRows = {L"Accounts Settings", L"Mail Folders", L"Personal Store",
                                L"Message Rules", L"Address Book"};
constexpr Names kEudoraRows = {L"Accounts Settings", L"Mail Folders", L"Filters", L"Signatures",
                               L"Address Book"};
constexpr Names kIncrediMailRows = {L"Accounts Settings", L"Mail Folders", L"Message Rules",
                                    L"Address Book", L"Stationery"};
constexpr Names kPegasusRows = {L"Accounts Settings", L"Mail Folders", L"Signatures",
                                L"Address Book"};
constexpr Names kTheBatRows = {L"Accounts Settings", L"Mail Folders", L"Filters", L"Address Book"};
constexpr Names kPocoMailRows = {L"Accounts Settings", L"Mail Folders", L"Filters",
                                 L"Signatures",        L"Address Book", L"Scripts"};
constexpr Names kOperaRows = {L"Accounts Settings", L"Mail Folders", L"Filters", L"Signatures",
                              L"Address Book"};
constexpr Names kNetscapeRows = {L"Accounts Settings", L"Mail Folders", L"Filters",
                                 L"Address Book"};
constexpr Names kFavoritesRows = {L"Favorites"};

constexpr AutoClient kClients[] = {
    {L"Microsoft Outlook Express", L"Outlook Express", 1, L"OExpressBackup", kOutlookExpressFlags,
     kOutlookExpressRows},
    {L"Microsoft Outlook", L"Microsoft Outlook", 2, L"Mailstow", {}, kOutlookRows},
    {L"Eudora", L"Eudora", 3, L"EudoraBackup", kEudoraFlags, kEudoraRows},
    {L"IncrediMail", L"IncrediMail", 5, L"IncrediMailBackup", kIncrediMailFlags, kIncrediMailRows},
    {L"Pegasus Mail", L"Pegasus Mail", 6, L"PegasusMailBackup", {}, kPegasusRows},
    {L"The Bat", L"The Bat!", 7, L"TheBatBackup", kTheBatFlags, kTheBatRows},
    {L"Poco Mail", L"Poco Mail", 8, L"PocoMailBackup", kPocoMailFlags, kPocoMailRows},
    {L"Opera Mail", L"Opera Mail", 9, L"OperaBackup", kOperaFlags, kOperaRows},
    {L"Netscape Messenger", L"Netscape Mail", 4, L"NetscapeBackup", {}, kNetscapeRows},
    {L"Internet Explorer Favorites", L"Favorites", 10, L"FavoritesBackup", {}, kFavoritesRows},
};
static_assert(std::size(kClients) == kAutoClientCount);

}  // namespace

std::span<const AutoClient> AutoClients() { return kClients; }

AutoSelections ClearedSelections() {
  AutoSelections selections;
  for (size_t i = 0; i < selections.size(); ++i) {
    selections[i].items.assign(kClients[i].item_flags.size(), false);
  }
  return selections;
}

bool AutoItemTicked(const AutoClient& client, const AutoClientSelection& selection, int row) {
  if (row < 0) return false;
  if (client.item_flags.empty()) return true;
  const auto index = static_cast<size_t>(row);
  return index < selection.items.size() && selection.items[index];
}

}  // namespace mailstow
