// Outlook Express as it lies on a machine: identities with their settings branches and message
// stores, mail and directory accounts, rules, blocked senders, signatures, the address book,
// the shared stationery and the client's registration as a mail client.
#include <array>
#include <span>
#include <string>
#include <string_view>

#include "tools/world_clients.h"

namespace mailstow {
namespace {

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * kKiB;

constexpr std::array<std::wstring_view, 7> kOtherIdentityNames = {
    L"Work",           L"Anna Adler",  L"Family",    L"Zo\u00eb Dubois",
    L"Club Secretary", L"Newsletters", L"Ben (home)"};
constexpr std::array<std::wstring_view, 6> kUserFolders = {
    L"Family", L"Receipts", L"Travel 2005", L"Club News", L"Work Projects", L"Archive"};
constexpr std::array<std::wstring_view, 6> kStationeryThemes = {
    L"Ivy", L"Chess", L"Sunflower", L"Balloon Party Invitation", L"Notebook", L"Leaves"};
constexpr std::array<std::wstring_view, 5> kBlockedSenders = {
    L"offers@spam.example.com", L"winner@lottery.example.net", L"news@junk.example.org",
    L"bulk.example.com", L"promo@deals.example.net"};

// How an identity's "Store Root" names its store folder: the registry text, whether it is an
// expandable string, and where the folder really lies.
struct StoreRoot {
  std::wstring text;
  bool expandable;
  std::wstring folder;
};

std::wstring FolderNameOf(std::wstring_view display_name) {
  std::wstring name;
  for (wchar_t c : display_name) {
    if (c != L'(' && c != L')') name += c;
  }
  return name;
}

// Identities use, in turn: the profile token in mixed case, an absolute folder, the profile
// token in upper case with a trailing backslash, the system-drive token in lower case.
StoreRoot StoreRootOf(int identity, const std::wstring& key, std::wstring_view name) {
  const std::wstring below_profile =
      L"\\Local Settings\\Application Data\\Identities\\" + key + L"\\Microsoft\\Outlook Express";
  switch (identity % 4) {
    case 0:
      return {L"%UserProfile%" + below_profile, true, L"<UserProfile>" + below_profile};
    case 1: {
      const std::wstring folder = L"<SystemDrive>\\Mail\\" + FolderNameOf(name);
      return {folder, false, folder};
    }
    case 2:
      return {L"%USERPROFILE%" + below_profile + L"\\", true, L"<UserProfile>" + below_profile};
    default:
      return {L"%systemdrive%\\Mail Stores\\" + key, true, L"<SystemDrive>\\Mail Stores\\" + key};
  }
}

void AddMessageStore(ClientWorld& world, WorldRandom& random, const std::wstring& folder,
                     double scale) {
  struct StoreFile {
    std::wstring_view name;
    ContentKind kind;
    uint64_t smallest;
    uint64_t largest;
  };
  static constexpr StoreFile kStandardFiles[] = {
      {L"Folders.dbx", ContentKind::kBinary, 64 * kKiB, 256 * kKiB},
      {L"Inbox.dbx", ContentKind::kMailbox, 8 * kMiB, 40 * kMiB},
      {L"Outbox.dbx", ContentKind::kMailbox, 64 * kKiB, 256 * kKiB},
      {L"Sent Items.dbx", ContentKind::kMailbox, 2 * kMiB, 12 * kMiB},
      {L"Deleted Items.dbx", ContentKind::kMailbox, 512 * kKiB, 6 * kMiB},
      {L"Drafts.dbx", ContentKind::kMailbox, 64 * kKiB, 512 * kKiB},
      {L"Offline.dbx", ContentKind::kBinary, 64 * kKiB, 128 * kKiB},
      {L"Pop3uidl.dbx", ContentKind::kBinary, 64 * kKiB, 512 * kKiB},
  };
  auto size = [&random, scale](uint64_t smallest, uint64_t largest) {
    return Scaled(smallest + random.Below(largest - smallest + 1), scale);
  };
  for (const StoreFile& file : kStandardFiles) {
    world.files.push_back(GeneratedFile(folder + L"\\" + std::wstring(file.name), file.kind,
                                        size(file.smallest, file.largest), random));
  }
  const int user_folders = random.Between(0, 3);
  const size_t first = random.Below(kUserFolders.size());
  for (int i = 0; i < user_folders; ++i) {
    const std::wstring name(kUserFolders[(first + i) % kUserFolders.size()]);
    world.files.push_back(GeneratedFile(folder + L"\\" + name + L".dbx", ContentKind::kMailbox,
                                        size(256 * kKiB, 8 * kMiB), random));
  }
}

void AddMailAccounts(KeyBuilder identity, WorldRandom& random, std::wstring_view name) {
  KeyBuilder manager = identity.Sub(L"Software\\Microsoft\\Internet Account Manager");
  manager.String(L"Default Mail Account", L"00000001");
  KeyBuilder accounts = manager.Sub(L"Accounts");
  const int count = random.Between(1, 2);
  for (int i = 1; i <= count; ++i) {
    const std::wstring domain = i == 1 ? L"example.com" : L"example.net";
    std::wstring user;
    for (wchar_t c : name) {
      if ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z')) user += c | 0x20;
    }
    KeyBuilder account = accounts.Sub(L"0000000" + std::to_wstring(i));
    account.String(L"Account Name", L"pop." + domain)
        .Dword(L"Connection Type", 3)
        .String(L"POP3 Server", L"pop." + domain)
        .String(L"POP3 User Name", user)
        .Binary(L"POP3 Password2", RandomBytes(random, 24))
        .Dword(L"POP3 Prompt for Password", 0)
        .Dword(L"Leave Mail On Server", random.Percent(50))
        .String(L"SMTP Server", L"smtp." + domain)
        .String(L"SMTP Display Name", std::wstring(name))
        .String(L"SMTP Email Address", user + L"@" + domain)
        .Dword(L"SMTP Port", 25)
        .Dword(L"POP3 Port", 110);
  }
}

void AddRulesAndBlockedSenders(KeyBuilder settings, WorldRandom& random) {
  KeyBuilder rules = settings.Sub(L"Rules\\Mail");
  const int rule_count = random.Between(1, 4);
  std::wstring order;
  for (int i = 0; i < rule_count; ++i) {
    const std::wstring id = L"00" + std::to_wstring(i);
    order += (i > 0 ? L" " : L"") + id;
    rules.Sub(id)
        .String(L"Name", L"Mail Rule #" + std::to_wstring(i + 1))
        .Dword(L"Enabled", random.Percent(80))
        .Binary(L"Criteria", RandomBytes(random, random.Between(24, 96)))
        .Binary(L"Actions", RandomBytes(random, random.Between(16, 64)));
  }
  rules.String(L"Order", order).Dword(L"Version", 1);

  KeyBuilder blocked = settings.Sub(L"Block Senders\\Mail\\Criteria");
  const int blocked_count = random.Between(1, 3);
  const size_t first = random.Below(kBlockedSenders.size());
  for (int i = 0; i < blocked_count; ++i) {
    blocked.Sub(std::to_wstring(i))
        .String(L"Value", kBlockedSenders[(first + i) % kBlockedSenders.size()])
        .Dword(L"Flags", random.Between(1, 2));
  }
}

void AddSignatures(KeyBuilder settings, WorldRandom& random, std::wstring_view name) {
  KeyBuilder signatures = settings.Sub(L"Signatures");
  signatures.String(L"Default Signature", L"00000000");
  const int count = random.Between(1, 2);
  for (int i = 0; i < count; ++i) {
    signatures.Sub(L"0000000" + std::to_wstring(i))
        .String(L"name", L"Signature #" + std::to_wstring(i + 1))
        .String(L"text", L"Kind regards,\r\n" + std::wstring(name))
        .Dword(L"type", 1);
  }
}

void AddIdentity(ClientWorld& world, WorldRandom& random, int ordinal, const std::wstring& key,
                 std::wstring_view name, double scale) {
  KeyBuilder identity(world, RegistryRoot::kCurrentUser, L"Identities\\" + key);
  identity.String(L"Username", name)
      .String(L"User ID", key)
      .Dword(L"Identity Ordinal", ordinal + 1)
      .Dword(L"Use Password", 0);

  const StoreRoot root = StoreRootOf(ordinal, key, name);
  KeyBuilder settings = identity.Sub(L"Software\\Microsoft\\Outlook Express\\5.0");
  if (root.expandable) {
    settings.ExpandString(L"Store Root", root.text);
  } else {
    settings.String(L"Store Root", root.text);
  }
  settings.Dword(L"Store Migrated", 1).Dword(L"Show Splash", 0).Dword(L"Last VerStamp", 6);
  settings.Sub(L"Mail")
      .Dword(L"Check Mail On Startup", random.Percent(70))
      .Dword(L"Poll For Mail", 60000 * random.Between(5, 30))
      .Dword(L"Send Mail Immediately", 1)
      .Dword(L"Safe Attachments", random.Percent(50))
      .Dword(L"Message Send HTML", random.Percent(60));
  settings.Sub(L"Columns")
      .Binary(L"Mail", RandomBytes(random, 44))
      .Binary(L"News", RandomBytes(random, 44));
  AddRulesAndBlockedSenders(settings, random);
  AddSignatures(settings, random, name);
  AddMailAccounts(identity, random, name);

  world.folders.push_back(root.folder);
  AddMessageStore(world, random, root.folder, scale);
  world.scope.folders.push_back(root.folder);
}

void AddDirectoryAccounts(ClientWorld& world) {
  KeyBuilder accounts(world, RegistryRoot::kCurrentUser,
                      L"Software\\Microsoft\\Internet Account Manager\\Accounts");
  accounts.Sub(L"00000001")
      .String(L"Account Name", L"Example Directory Service")
      .String(L"LDAP Server", L"ldap.example.com")
      .String(L"LDAP Search Base", L"c=US")
      .Dword(L"LDAP Timeout", 60)
      .Dword(L"LDAP Search Return", 100);
  accounts.Sub(L"00000002")
      .String(L"Account Name", L"Example People Search")
      .String(L"LDAP Server", L"people.example.org")
      .Dword(L"LDAP Timeout", 30)
      .Dword(L"LDAP Search Return", 50);
}

void AddAddressBook(ClientWorld& world, WorldRandom& random, double scale) {
  const std::wstring folder = L"<AppData>\\Microsoft\\Address Book";
  const std::wstring owner = random.Percent(50) ? L"owner" : L"main";
  world.folders.push_back(folder);
  const uint64_t size = Scaled(256 * kKiB + random.Below(2 * kMiB), scale);
  world.files.push_back(
      GeneratedFile(folder + L"\\" + owner + L".wab", ContentKind::kBinary, size, random));
  world.files.push_back(
      GeneratedFile(folder + L"\\" + owner + L".wa~", ContentKind::kBinary, size / 2, random));
  world.scope.folders.push_back(folder);
}

std::string StationeryPage(std::wstring_view theme, std::wstring_view image) {
  std::string title(theme.begin(), theme.end());
  std::string picture(image.begin(), image.end());
  return "<HTML><HEAD><TITLE>" + title +
         "</TITLE>\r\n<STYLE>BODY { font-family: Arial; font-size: 10pt; color: #000066; "
         "margin-left: 60px }</STYLE>\r\n</HEAD>\r\n<BODY background=\"" +
         picture + "\">\r\n<P>&nbsp;</P>\r\n</BODY></HTML>\r\n";
}

void AddStationery(ClientWorld& world, WorldRandom& random, double scale) {
  const std::wstring below = L"\\Common Files\\Microsoft Shared\\Stationery";
  const std::wstring folder = L"<ProgramFiles>" + below;
  KeyBuilder stationery(world, RegistryRoot::kLocalMachine,
                        L"SOFTWARE\\Microsoft\\Shared Tools\\Stationery");
  if (random.Percent(50)) {
    stationery.ExpandString(L"Stationery Folder", L"%ProgramFiles%" + below + L"\\");
  } else {
    stationery.String(L"Stationery Folder", folder + L"\\");
  }
  world.folders.push_back(folder);
  const int themes = random.Between(3, 6);
  const size_t first = random.Below(kStationeryThemes.size());
  for (int i = 0; i < themes; ++i) {
    const std::wstring theme(kStationeryThemes[(first + i) % kStationeryThemes.size()]);
    const std::wstring image = theme + (i % 2 == 0 ? L" Bkgrd.jpg" : L".gif");
    world.files.push_back(TextFile(folder + L"\\" + theme + L".htm", StationeryPage(theme, image)));
    world.files.push_back(GeneratedFile(folder + L"\\" + image, ContentKind::kBinary,
                                        Scaled(8 * kKiB + random.Below(72 * kKiB), scale), random));
  }
  world.scope.branches.push_back(
      {L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\Microsoft\\Shared Tools\\Stationery"});
  world.scope.folders.push_back(folder);
}

void AddMailClientRegistration(ClientWorld& world) {
  KeyBuilder client(world, RegistryRoot::kLocalMachine,
                    L"SOFTWARE\\Clients\\Mail\\Outlook Express");
  client.String(L"", L"Outlook Express")
      .ExpandString(L"DLLPath", L"%ProgramFiles%\\Outlook Express\\msoe.dll");
  client.Sub(L"Protocols\\mailto").String(L"", L"URL:MailTo Protocol").String(L"URL Protocol", L"");
  client.Sub(L"shell\\open\\command")
      .ExpandString(L"", L"\"%ProgramFiles%\\Outlook Express\\msimn.exe\" /mail");
  KeyBuilder(world, RegistryRoot::kLocalMachine, L"SOFTWARE\\Microsoft\\Outlook Express")
      .ExpandString(L"InstallRoot", L"%ProgramFiles%\\Outlook Express")
      .String(L"MediaVer", L"6,0,2900,5512");
}

}  // namespace

ClientWorld DescribeOutlookExpress(uint64_t seed, double scale) {
  WorldRandom random(seed, "OutlookExpress");
  ClientWorld world;
  world.client = L"OutlookExpress";
  world.default_client_name = L"Outlook Express";
  AddMailClientRegistration(world);

  const int count = random.Between(3, 4);
  std::vector<std::wstring> keys;
  for (int i = 0; i < count; ++i) keys.push_back(random.Guid());
  KeyBuilder identities(world, RegistryRoot::kCurrentUser, L"Identities");
  identities.String(L"Default User ID", keys[0])
      .String(L"Last User ID", keys[0])
      .String(L"Last Username", L"Main Identity")
      .Dword(L"Identity Ordinal", count + 1)
      .Dword(L"Migrated5", 1);
  const size_t first_name = random.Below(kOtherIdentityNames.size());
  for (int i = 0; i < count; ++i) {
    const std::wstring name =
        i == 0 ? L"Main Identity"
               : std::wstring(kOtherIdentityNames[(first_name + i) % kOtherIdentityNames.size()]);
    WorldRandom identity_random = random.Fork("identity" + std::to_string(i));
    AddIdentity(world, identity_random, i, keys[i], name, scale);
  }
  AddDirectoryAccounts(world);
  WorldRandom shared = random.Fork("shared");
  AddAddressBook(world, shared, scale);
  AddStationery(world, shared, scale);

  world.scope.branches.push_back({L"HKEY_CURRENT_USER", L"Identities"});
  world.scope.branches.push_back(
      {L"HKEY_CURRENT_USER", L"Software\\Microsoft\\Internet Account Manager\\Accounts"});
  return world;
}

}  // namespace mailstow
