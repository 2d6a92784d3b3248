// Pegasus Mail as it lies on a machine. An even seed describes a multi-user installation: the
// mailbox value names a user's folder with a trailing separator, the user list "Pmail.usr" in
// the mailbox base lists four users (one of them literally "Default User") beside a line too
// short to name one, and one user folder holds a sub-folder. An odd seed describes a
// single-user installation: the one user's folder "Mail" below the mailbox base, no user list.
#include <array>
#include <string>
#include <string_view>

#include "tools/world_clients.h"

namespace mailstow {
namespace {

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * kKiB;
constexpr wchar_t kProgram[] = L"<SystemDrive>\\PMAIL";
constexpr wchar_t kKey[] = L"SOFTWARE\\Classes\\software\\pegasus mail";

struct PegasusUser {
  std::wstring_view folder;  // the user's name in the list and its folder below the base
  std::string_view list_line;
};

constexpr std::array<PegasusUser, 4> kUsers = {{
    {L"ADMIN", "Y ADMIN;Anna Adler (administrator)"},
    {L"BEN", "N BEN;Ben Adler"},
    {L"Default User", "N Default User;Guest account"},
    {L"Zo\u00eb", "N Zo\xeb;Zo\xeb Dubois"},
}};

void AddUserFolder(ClientWorld& world, WorldRandom& random, const std::wstring& folder,
                   double scale) {
  world.folders.push_back(folder);
  auto file = [&](const std::wstring& name, ContentKind kind, uint64_t smallest, uint64_t range) {
    world.files.push_back(GeneratedFile(folder + L"\\" + name, kind,
                                        Scaled(smallest + random.Below(range), scale), random));
  };
  const int mail_folders = random.Between(2, 4);
  for (int i = 1; i <= mail_folders; ++i) {
    const std::wstring stem = L"FOL0000" + std::to_wstring(i);
    file(stem + L".PMM", ContentKind::kMailbox, 256 * kKiB, 4 * kMiB);
    file(stem + L".PMI", ContentKind::kBinary, 2 * kKiB, 32 * kKiB);
  }
  file(L"NEW00001.CNM", ContentKind::kMailbox, 4 * kKiB, 64 * kKiB);
  file(L"HIERARCH.PM", ContentKind::kBinary, 1 * kKiB, 4 * kKiB);
  file(L"ADDRBOOK.PMR", ContentKind::kBinary, 8 * kKiB, 128 * kKiB);
  file(L"ADDRBOOK.PMX", ContentKind::kBinary, 1 * kKiB, 8 * kKiB);
  world.files.push_back(TextFile(folder + L"\\PMAIL.INI",
                                 "[Pegasus Mail for Windows]\r\nSignature=Kind regards\r\n"
                                 "Confirm deletions=Y\r\nSMTP host=smtp.example.com\r\n"));
}

}  // namespace

ClientWorld DescribePegasusMail(uint64_t seed, double scale) {
  WorldRandom random(seed, "PegasusMail");
  ClientWorld world;
  world.client = L"PegasusMail";
  world.default_client_name = L"Pegasus Mail";
  KeyBuilder(world, RegistryRoot::kLocalMachine, L"SOFTWARE\\Clients\\Mail\\Pegasus Mail")
      .String(L"", L"Pegasus Mail")
      .Sub(L"shell\\open\\command")
      .String(L"", std::wstring(kProgram) + L"\\winpm-32.exe");

  const std::wstring program(kProgram);
  const KeyBuilder client(world, RegistryRoot::kLocalMachine, kKey);
  world.folders.push_back(program);
  world.files.push_back(
      TextFile(program + L"\\PMAIL.CFG",
               "Home mailbox=" + std::string(seed % 2 ? "MAIL" : "MAIL\\ADMIN") + "\r\n"));
  if (seed % 2 == 1) {
    client.Sub(L"MailBox").String(L"", program + L"\\MAIL");
    client.Sub(L"Username").String(L"", L"Single-user mode");
    WorldRandom user_random = random.Fork("single");
    AddUserFolder(world, user_random, program + L"\\Mail", scale);
  } else {
    const std::wstring base = program + L"\\MAIL";
    client.Sub(L"MailBox").String(L"", base + L"\\ADMIN\\");
    client.Sub(L"Username")
        .String(L"", L"Multi-user mode")
        .Dword(L"Users", static_cast<uint32_t>(kUsers.size()));
    std::string list;
    for (const PegasusUser& user : kUsers) {
      list += std::string(user.list_line) + "\r\n";
      WorldRandom user_random = random.Fork("user" + std::string(user.list_line.substr(2, 3)));
      AddUserFolder(world, user_random, base + L"\\" + std::wstring(user.folder), scale);
    }
    list += ";\r\n";
    world.files.push_back(TextFile(base + L"\\Pmail.usr", list));
    // Files saved out of messages, in a sub-folder of one user.
    world.files.push_back(GeneratedFile(base + L"\\BEN\\ATTACH\\Invoice 2005.pdf",
                                        ContentKind::kBinary, Scaled(64 * kKiB, scale), random));
  }
  world.scope.branches.push_back({L"HKEY_LOCAL_MACHINE", kKey});
  world.scope.folders.push_back(program);
  return world;
}

}  // namespace mailstow
