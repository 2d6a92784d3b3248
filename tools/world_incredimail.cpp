// IncrediMail as it lies on a machine (the per-user variant): identities under the user's
// program key with their accounts and rules, one identity marked invalid, each identity's
// folder with message store, attachments, address book and rule order, the stationery
// folders with their content branch, and the client's registration as a mail client. Value
// texts name registry roots, as the client's own settings do.
#include <array>
#include <string>
#include <string_view>

#include "tools/world_clients.h"

namespace mailstow {
namespace {

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * kKiB;

constexpr wchar_t kProgramKey[] = L"SOFTWARE\\incredimail";
constexpr wchar_t kDataFolder[] = L"<AppData>\\IM";

struct IdentityPlan {
  std::wstring_view name;
  int valid;  // the "IsValid" value; -1 for none
};

// Display names with non-ASCII letters, characters that file names cannot hold, and an
// identity that the client no longer uses.
constexpr std::array<IdentityPlan, 5> kIdentities = {{
    {L"Main Identity", 1},
    {L"Zo\u00eb Dubois", 1},
    {L"Sales <EU> | Q&A", 1},
    {L"Family", -1},
    {L"Old Identity", 0},
}};

// Stationery folders that hold files; the others are missing, as on many machines.
constexpr std::array<std::wstring_view, 5> kStationeryFolders = {L"Letter", L"Animation", L"ECard",
                                                                 L"Emoticon", L"Sound"};

void AddIdentityFiles(ClientWorld& world, WorldRandom& random, const std::wstring& folder,
                      double scale) {
  auto generated = [&](const std::wstring& path, ContentKind kind, uint64_t smallest,
                       uint64_t largest) {
    const uint64_t size = Scaled(smallest + random.Below(largest - smallest + 1), scale);
    world.files.push_back(GeneratedFile(folder + L"\\" + path, kind, size, random));
  };
  for (const wchar_t* box : {L"Inbox", L"Sent Items", L"Deleted Items", L"Drafts"}) {
    generated(std::wstring(L"Message Store\\") + box + L".imm", ContentKind::kMailbox, 1 * kMiB,
              box == std::wstring_view(L"Inbox") ? 300 * kMiB : 40 * kMiB);
    generated(std::wstring(L"Message Store\\") + box + L".imh", ContentKind::kBinary, 8 * kKiB,
              256 * kKiB);
  }
  generated(L"Message Store\\Containers.db", ContentKind::kBinary, 16 * kKiB, 64 * kKiB);
  generated(L"Message Store\\Attachments\\Holiday photo " + std::to_wstring(random.Between(1, 9)) +
                L".jpg",
            ContentKind::kBinary, 2 * kMiB, 20 * kMiB);
  generated(L"Message Store\\Attachments\\R\u00e9sum\u00e9.doc", ContentKind::kBinary, 64 * kKiB,
            512 * kKiB);
  generated(L"AddressBook\\AddressBook.imb", ContentKind::kBinary, 32 * kKiB, 2 * kMiB);
  generated(L"AddressBook\\Contacts.db", ContentKind::kBinary, 8 * kKiB, 64 * kKiB);
  generated(L"RuleOrder.dat", ContentKind::kBinary, 64, 512);
  world.folders.push_back(folder + L"\\Message Store\\Attachments");
}

void AddIdentity(ClientWorld& world, WorldRandom& random, const std::wstring& key,
                 const IdentityPlan& plan, double scale) {
  KeyBuilder identity(world, RegistryRoot::kCurrentUser,
                      std::wstring(kProgramKey) + L"\\identities\\" + key);
  identity.String(L"Identity", plan.name)
      .String(L"IdentityFolder", std::wstring(kDataFolder) + L"\\Identities\\" + key)
      .String(L"UserRegPath", L"HKEY_CURRENT_USER\\Software\\IncrediMail\\Identities\\" + key)
      .String(L"CommonRegPath", L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\IncrediMail]")
      .Binary(L"WindowPlacement", RandomBytes(random, 44))
      .Dword(L"LastCheck", random.Between(1000000, 2000000));
  if (plan.valid >= 0) identity.Dword(L"IsValid", static_cast<uint32_t>(plan.valid));

  KeyBuilder accounts = identity.Sub(L"accounts");
  accounts.String(L"Default", L"1");
  const int count = random.Between(1, 2);
  for (int i = 1; i <= count; ++i) {
    accounts.Sub(std::to_wstring(i))
        .String(L"AccountName", L"Account " + std::to_wstring(i))
        .String(L"EmailAddress", L"user" + std::to_wstring(i) + L"@example.com")
        .String(L"POP3Server", L"pop.example.com")
        .String(L"SMTPServer", L"smtp.example.com")
        .Binary(L"Password", RandomBytes(random, 32))
        .Dword(L"LeaveOnServer", random.Percent(50));
  }
  KeyBuilder rules = identity.Sub(L"rules");
  rules.Dword(L"Count", 2);
  for (int i = 0; i < 2; ++i) {
    rules.Sub(L"Rule" + std::to_wstring(i))
        .String(L"Name", i == 0 ? L"Newsletters" : L"Caf\u00e9 club")
        .Binary(L"Conditions", RandomBytes(random, random.Between(16, 80)))
        .Dword(L"Enabled", 1);
  }
  AddIdentityFiles(world, random, std::wstring(kDataFolder) + L"\\Identities\\" + key, scale);
}

void AddStationery(ClientWorld& world, WorldRandom& random, double scale) {
  KeyBuilder content(world, RegistryRoot::kCurrentUser, std::wstring(kProgramKey) + L"\\content");
  content.Dword(L"Version", 5);
  for (std::wstring_view folder : kStationeryFolders) {
    KeyBuilder category = content.Sub(folder);
    const int items = random.Between(1, 3);
    for (int i = 0; i < items; ++i) {
      const std::wstring name = std::wstring(folder) + L" " + std::to_wstring(i + 1) + L".imc";
      world.files.push_back(GeneratedFile(
          std::wstring(kDataFolder) + L"\\" + std::wstring(folder) + L"\\" + name,
          ContentKind::kBinary, Scaled(16 * kKiB + random.Below(2 * kMiB), scale), random));
      category.Sub(std::to_wstring(i)).String(L"File", name).Dword(L"Installed", 1);
    }
  }
}

}  // namespace

ClientWorld DescribeIncrediMail(uint64_t seed, double scale) {
  WorldRandom random(seed, "IncrediMail");
  ClientWorld world;
  world.client = L"IncrediMail";
  world.default_client_name = L"IncrediMail";
  KeyBuilder(world, RegistryRoot::kLocalMachine, L"SOFTWARE\\Clients\\Mail\\IncrediMail")
      .String(L"", L"IncrediMail")
      .Sub(L"shell\\open\\command")
      .String(L"", L"<ProgramFiles>\\IncrediMail\\bin\\IncMail.exe");
  KeyBuilder(world, RegistryRoot::kLocalMachine, kProgramKey)
      .String(L"ApplicationPath", kDataFolder)
      .String(L"CommonDataPath", kDataFolder)
      .String(L"Version", L"5.85");
  KeyBuilder program(world, RegistryRoot::kCurrentUser, kProgramKey);
  program.String(L"ApplicationPath", kDataFolder).String(L"Language", L"English");

  for (const IdentityPlan& plan : kIdentities) {
    WorldRandom identity_random = random.Fork(std::string(plan.name.begin(), plan.name.end()));
    AddIdentity(world, identity_random, random.Guid(), plan, scale);
  }
  WorldRandom shared = random.Fork("stationery");
  AddStationery(world, shared, scale);

  world.scope.branches.push_back({L"HKEY_CURRENT_USER", kProgramKey});
  world.scope.branches.push_back({L"HKEY_LOCAL_MACHINE", kProgramKey});
  world.scope.folders.push_back(kDataFolder);
  return world;
}

}  // namespace mailstow
