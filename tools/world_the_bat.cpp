// The Bat! as it lies on a machine: the working directory with the shared address book, three
// users in the Users Depot (one in the default folder below the working directory, one at a
// folder of its own outside it named with a trailing separator, one at a folder of its own
// inside it named without), nested mail folders with message bases (one without its message
// file), the per-user account, filter and mail-side files, and the client's registration.
#include <array>
#include <string>
#include <string_view>

#include "tools/world_clients.h"

namespace mailstow {
namespace {

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * kKiB;
constexpr wchar_t kWorking[] = L"<AppData>\\The Bat!";

struct BatUser {
  std::wstring_view name;
  std::wstring_view dir;     // the "Dir #" text; empty for the default folder
  std::wstring_view folder;  // where the user's files lie
};

constexpr std::array<BatUser, 3> kUsers = {{
    {L"Anna Adler", L"", L"<AppData>\\The Bat!\\Anna Adler"},
    {L"Work", L"<SystemDrive>\\Mail\\Bat Work\\", L"<SystemDrive>\\Mail\\Bat Work"},
    {L"Zo\u00eb Dubois", L"<AppData>\\The Bat!\\Home Zo\u00eb",
     L"<AppData>\\The Bat!\\Home Zo\u00eb"},
}};

constexpr std::array<std::wstring_view, 6> kMailFolders = {
    L"Inbox",  L"Inbox\\Archive 2005", L"Inbox\\Archive 2005\\Receipts",
    L"Outbox", L"Sent Messages",       L"Trash"};
constexpr std::array<std::wstring_view, 9> kAccountFiles = {
    L"account.cfg", L"account.vcf", L"account.srx", L"account.flx", L"account.m_d",
    L"account.m_r", L"account.pfx", L"account.qtn", L"account.sce"};

void AddMailFolder(ClientWorld& world, WorldRandom& random, const std::wstring& folder,
                   bool with_messages, double scale) {
  world.folders.push_back(folder);
  world.files.push_back(GeneratedFile(folder + L"\\Messages.tbi", ContentKind::kBinary,
                                      Scaled(4 * kKiB + random.Below(60 * kKiB), scale), random));
  if (with_messages) {
    world.files.push_back(GeneratedFile(folder + L"\\Messages.tbb", ContentKind::kMailbox,
                                        Scaled(256 * kKiB + random.Below(6 * kMiB), scale),
                                        random));
  }
}

void AddUser(ClientWorld& world, WorldRandom& random, const BatUser& user, int number,
             double scale) {
  const std::wstring folder(user.folder);
  world.folders.push_back(folder);
  for (std::wstring_view mail_folder : kMailFolders) {
    AddMailFolder(world, random, folder + L"\\" + std::wstring(mail_folder), true, scale);
  }
  // Drafts has an index but no message file yet.
  AddMailFolder(world, random, folder + L"\\Drafts", false, scale);
  // The last user has never set up a queue or a schedule: two mail-side files are missing.
  const size_t files = number == 3 ? kAccountFiles.size() - 2 : kAccountFiles.size();
  for (size_t i = 0; i < files; ++i) {
    world.files.push_back(GeneratedFile(folder + L"\\" + std::wstring(kAccountFiles[i]),
                                        ContentKind::kBinary,
                                        Scaled(1 * kKiB + random.Below(24 * kKiB), scale), random));
  }
}

void AddAddressBook(ClientWorld& world, WorldRandom& random, double scale) {
  const std::wstring working(kWorking);
  for (const wchar_t* book : {L"\\Default.abd", L"\\Business Contacts.abd"}) {
    world.files.push_back(GeneratedFile(working + book, ContentKind::kBinary,
                                        Scaled(32 * kKiB + random.Below(512 * kKiB), scale),
                                        random));
  }
  world.files.push_back(
      TextFile(working + L"\\Groups.cfg", "[Groups]\r\nFamily=Anna Adler;Ben Adler\r\n"));
  world.files.push_back(TextFile(working + L"\\Addrbook.ini",
                                 "[Books]\r\nDefault=Default.abd\r\nBusiness=Business "
                                 "Contacts.abd\r\n[Options]\r\nSortBy=LastName\r\n"));
}

}  // namespace

ClientWorld DescribeTheBat(uint64_t seed, double scale) {
  WorldRandom random(seed, "TheBat");
  ClientWorld world;
  world.client = L"TheBat";
  world.default_client_name = L"The Bat!";
  KeyBuilder registration(world, RegistryRoot::kLocalMachine, L"SOFTWARE\\Clients\\Mail\\The Bat!");
  registration.String(L"", L"The Bat!");
  registration.Sub(L"shell\\open\\command")
      .String(L"", L"<ProgramFiles>\\The Bat!\\thebat.exe /mail");

  KeyBuilder client(world, RegistryRoot::kCurrentUser, L"Software\\RIT\\The Bat!");
  client.String(L"Working Directory", std::wstring(kWorking) + L"\\")
      .String(L"Program Directory", L"<ProgramFiles>\\The Bat!\\")
      .Dword(L"Language", 9)
      .Binary(L"Window Position", RandomBytes(random, 16));
  KeyBuilder depot = client.Sub(L"Users Depot");
  depot.Dword(L"Count", static_cast<uint32_t>(kUsers.size()));
  for (size_t n = 1; n <= kUsers.size(); ++n) {
    depot.String(L"User #" + std::to_wstring(n), kUsers[n - 1].name)
        .String(L"Dir #" + std::to_wstring(n), kUsers[n - 1].dir);
  }

  world.folders.push_back(kWorking);
  for (size_t n = 1; n <= kUsers.size(); ++n) {
    WorldRandom user_random = random.Fork("user" + std::to_string(n));
    AddUser(world, user_random, kUsers[n - 1], static_cast<int>(n), scale);
  }
  WorldRandom shared = random.Fork("address book");
  AddAddressBook(world, shared, scale);

  world.scope.branches.push_back({L"HKEY_CURRENT_USER", L"Software\\RIT\\The Bat!"});
  world.scope.folders.push_back(kWorking);
  world.scope.folders.push_back(L"<SystemDrive>\\Mail\\Bat Work");
  return world;
}

}  // namespace mailstow
