// Microsoft Outlook as it lies on a machine: the mail profiles with their services and the
// personal-folders files they use (in the local Outlook folder, in a sub-folder of it, beside
// it and in folders of their own), the Outlook folders below both application-data folders,
// the mail accounts, the signatures and the client's registration as a mail client.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "tools/world_clients.h"

namespace mailstow {
namespace {

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * kKiB;

constexpr wchar_t kProfiles[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";
constexpr wchar_t kOldProfiles[] = L"Software\\Microsoft\\Windows Messaging Subsystem\\Profiles";
constexpr wchar_t kLocalOutlook[] = L"<LocalAppData>\\Microsoft\\Outlook";
constexpr wchar_t kAppOutlook[] = L"<AppData>\\Microsoft\\Outlook";
constexpr wchar_t kSignatures[] = L"<AppData>\\Microsoft\\Signatures";
constexpr wchar_t kBeside[] = L"<LocalAppData>\\Pers\u00f6nliche Ordner";
constexpr wchar_t kArchiveFolder[] = L"<SystemDrive>\\Mail Archive";
constexpr wchar_t kDataFolder[] = L"<SystemDrive>\\Daten\\Outlook";

// A personal-folders file of the backed-up profile: where it lies, its size at scale 1, and
// whether the profile names it as text rather than as ANSI text in binary data.
struct PersonalFolders {
  std::wstring_view folder;
  std::wstring_view name;
  std::wstring_view display;
  uint64_t size;
  bool as_text;
};

// In service order: the default store directly in the local Outlook folder, an archive in a
// sub-folder of it, one beside it, and three in two folders of their own, the folder of the
// first coming back after another folder.
std::vector<PersonalFolders> PersonalFoldersFiles() {
  return {
      {kLocalOutlook, L"Outlook.pst", L"Pers\u00f6nliche Ordner", 300 * kMiB, false},
      {L"<LocalAppData>\\Microsoft\\Outlook\\Archiv 2005", L"archive.pst", L"Archiv", 120 * kMiB,
       false},
      {kBeside, L"Privat J\u00f6rg.pst", L"Privat", 80 * kMiB, false},
      {kArchiveFolder, L"Alte Post.pst", L"Alte Post", 150 * kMiB, true},
      {kDataFolder, L"Backup Kopie.pst", L"Backup", 40 * kMiB, false},
      {kArchiveFolder, L"Projekte 2004.pst", L"Projekte", 60 * kMiB, false},
  };
}

// A service key name as profiles use them: 32 lower-case hexadecimal digits.
std::wstring ServiceName(WorldRandom& random) {
  std::wstring name;
  for (int i = 0; i < 32; ++i) name += L"0123456789abcdef"[random.Below(16)];
  return name;
}

// The services of a profile that name no file: the profile's own sections.
void AddPlainServices(KeyBuilder profile, WorldRandom& random, int count) {
  for (int i = 0; i < count; ++i) {
    profile.Sub(ServiceName(random))
        .Binary(L"01023d00", RandomBytes(random, 16))
        .Binary(L"00033009", {0x00, 0x10, 0x00, 0x00})
        .Binary(L"0102300b", RandomBytes(random, 16))
        .AnsiText(L"001e3d09", L"MSEMS");
  }
}

void AddProfiles(ClientWorld& world, WorldRandom& random, double scale) {
  KeyBuilder profiles(world, RegistryRoot::kCurrentUser, kProfiles);
  profiles.String(L"DefaultProfile", L"Outlook");

  // The backed-up profile: the first in registry order.
  KeyBuilder profile = profiles.Sub(L"Outlook");
  AddPlainServices(profile, random, 3);
  const std::vector<PersonalFolders> files = PersonalFoldersFiles();
  std::vector<std::wstring> services;
  for (size_t i = 0; i < files.size(); ++i) services.push_back(ServiceName(random));
  std::sort(services.begin(), services.end());  // the registry lists them in this order
  for (size_t i = 0; i < files.size(); ++i) {
    const PersonalFolders& file = files[i];
    const std::wstring path = std::wstring(file.folder) + L"\\" + std::wstring(file.name);
    KeyBuilder service = profile.Sub(services[i]);
    service.AnsiText(L"001e3001", file.display)
        .Binary(L"01023d00", RandomBytes(random, 16))
        .Binary(L"00036601", {0x00, 0x00, 0x00, 0x00})
        .Binary(L"01020fff", RandomBytes(random, 48));
    if (file.as_text) {
      service.String(L"001e6700", path);
    } else {
      service.AnsiText(L"001e6700", path);
    }
    world.folders.push_back(std::wstring(file.folder));
    world.files.push_back(
        GeneratedFile(path, ContentKind::kMailbox, Scaled(file.size, scale), random));
  }

  // A second profile that only shares the old archive; a restore of the first leaves it be.
  KeyBuilder second = profiles.Sub(L"Privat Zweitprofil");
  AddPlainServices(second, random, 2);
  second.Sub(ServiceName(random))
      .AnsiText(L"001e3001", L"Alte Post")
      .AnsiText(L"001e6700", std::wstring(kArchiveFolder) + L"\\Alte Post.pst");
}

void AddOutlookFolders(ClientWorld& world, WorldRandom& random, double scale) {
  world.folders.push_back(kLocalOutlook);
  world.files.push_back(GeneratedFile(std::wstring(kLocalOutlook) + L"\\extend.dat",
                                      ContentKind::kBinary, Scaled(12 * kKiB, scale), random));
  world.files.push_back(GeneratedFile(std::wstring(kLocalOutlook) + L"\\frmcache.dat",
                                      ContentKind::kBinary, Scaled(256 * kKiB, scale), random));
  world.folders.push_back(kAppOutlook);
  for (std::wstring_view name :
       {L"Outlook.NK2", L"outcmd.dat", L"Outlook.rwz", L"VbaProject.OTM", L"outlook.FAV"}) {
    world.files.push_back(
        GeneratedFile(std::wstring(kAppOutlook) + L"\\" + std::wstring(name), ContentKind::kBinary,
                      Scaled(8 * kKiB + random.Below(120 * kKiB), scale), random));
  }
}

void AddSignatures(ClientWorld& world) {
  KeyBuilder(world, RegistryRoot::kCurrentUser,
             L"Software\\Microsoft\\Office\\10.0\\Common\\General")
      .String(L"Signatures", L"Signatures")
      .String(L"Templates", L"Templates");
  world.folders.push_back(kSignatures);
  const std::wstring folder(kSignatures);
  const std::string text =
      "Mit freundlichen Gr\xfc\xdf"
      "en\r\nJ\xf6rg M\xfcller\r\nBeispiel GmbH\r\n";
  world.files.push_back(TextFile(folder + L"\\Gesch\u00e4ftlich.txt", text));
  world.files.push_back(TextFile(folder + L"\\Gesch\u00e4ftlich.htm",
                                 "<html><body><p>Mit freundlichen Gr&uuml;&szlig;en<br>"
                                 "J&ouml;rg M&uuml;ller</p></body></html>\r\n"));
  world.files.push_back(TextFile(folder + L"\\Gesch\u00e4ftlich.rtf",
                                 "{\\rtf1\\ansi Mit freundlichen Gr\\'fc\\'dfen\\par}\r\n"));
  world.files.push_back(TextFile(folder + L"\\Privat.txt",
                                 "Viele Gr\xfc\xdf"
                                 "e\r\nJ\xf6rg\r\n"));
}

void AddAccounts(ClientWorld& world, WorldRandom& random) {
  KeyBuilder outlook(world, RegistryRoot::kCurrentUser, L"Software\\Microsoft\\Office\\Outlook");
  KeyBuilder manager = outlook.Sub(L"OMI Account Manager");
  manager.String(L"Default Mail Account", L"00000001").Dword(L"Account ID", 3);
  const std::array<std::wstring_view, 2> domains = {L"example.com", L"example.de"};
  for (size_t i = 0; i < domains.size(); ++i) {
    const std::wstring domain(domains[i]);
    manager.Sub(L"Accounts\\0000000" + std::to_wstring(i + 1))
        .String(L"Account Name", L"pop." + domain)
        .String(L"POP3 Server", L"pop." + domain)
        .String(L"POP3 User Name", L"joerg")
        .Binary(L"POP3 Password2", RandomBytes(random, 24))
        .Dword(L"Leave Mail On Server", random.Percent(50))
        .String(L"SMTP Server", L"smtp." + domain)
        .String(L"SMTP Display Name", L"J\u00f6rg M\u00fcller")
        .String(L"SMTP Email Address", L"joerg@" + domain)
        .Dword(L"POP3 Port", 110)
        .Dword(L"SMTP Port", 25);
  }
  outlook.Sub(L"Setup").Dword(L"MailSupport", 1).String(L"First-Run", L"");
  outlook.Sub(L"Addins\\Outlook.Sample.Connect")
      .Dword(L"LoadBehavior", 3)
      .String(L"FriendlyName", L"Beispiel Add-in");
}

void AddMailClientRegistration(ClientWorld& world) {
  KeyBuilder client(world, RegistryRoot::kLocalMachine,
                    L"SOFTWARE\\Clients\\Mail\\Microsoft Outlook");
  client.String(L"", L"Microsoft Outlook")
      .ExpandString(L"DLLPath", L"%ProgramFiles%\\Common Files\\System\\Mapi\\1031\\mapi32.dll");
  client.Sub(L"shell\\open\\command")
      .ExpandString(L"", L"\"%ProgramFiles%\\Microsoft Office\\Office10\\OUTLOOK.EXE\"");
}

}  // namespace

ClientWorld DescribeOutlook(uint64_t seed, double scale) {
  WorldRandom random(seed, "Outlook");
  ClientWorld world;
  world.client = L"Outlook";
  world.default_client_name = L"Microsoft Outlook";
  AddMailClientRegistration(world);
  AddProfiles(world, random, scale);
  AddOutlookFolders(world, random, scale);
  AddSignatures(world);
  AddAccounts(world, random);

  world.scope.branches.push_back({L"HKEY_CURRENT_USER", kProfiles});
  world.scope.branches.push_back({L"HKEY_CURRENT_USER", kOldProfiles});
  world.scope.branches.push_back({L"HKEY_CURRENT_USER", L"Software\\Microsoft\\Office\\Outlook"});
  for (const wchar_t* folder :
       {kLocalOutlook, kAppOutlook, kSignatures, kBeside, kArchiveFolder, kDataFolder}) {
    world.scope.folders.push_back(folder);
  }
  return world;
}

}  // namespace mailstow
