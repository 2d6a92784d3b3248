// Eudora as it lies on a machine: the command line naming the data folder, mailboxes at the
// folder's top and in a three-level tree of ".fol" mail folders, the settings file, spool,
// filters, signatures, stationery, the address book, an attachments folder (which the
// program does not back up) and the client's registration as a mail client.
#include <string>
#include <string_view>

#include "tools/world_clients.h"

namespace mailstow {
namespace {

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * kKiB;

constexpr wchar_t kDataFolder[] = L"<AppData>\\Qualcomm\\Eudora Mail";

class EudoraWriter {
 public:
  EudoraWriter(ClientWorld& world, WorldRandom& random, double scale)
      : world_(world), random_(random), scale_(scale) {}

  // A mailbox and its table of contents, relative to the data folder.
  void Mailbox(const std::wstring& folder, std::wstring_view name, uint64_t smallest,
               uint64_t largest) {
    const std::wstring base = Path(folder, std::wstring(name));
    const uint64_t size = Scaled(smallest + random_.Below(largest - smallest + 1), scale_);
    world_.files.push_back(GeneratedFile(base + L".mbx", ContentKind::kMailbox, size, random_));
    world_.files.push_back(GeneratedFile(base + L".toc", ContentKind::kBinary,
                                         Scaled(size / 64 + 104, scale_), random_));
  }

  // A mail folder with its description map of the mailboxes it holds.
  void MailFolder(const std::wstring& folder, std::initializer_list<std::wstring_view> boxes) {
    std::string map;
    for (std::wstring_view box : boxes) {
      Mailbox(folder, box, 64 * kKiB, 24 * kMiB);
      map += std::string(box.begin(), box.end()) + "," + std::string(box.begin(), box.end()) +
             ".mbx,M,N\r\n";
    }
    Text(folder, L"descmap.pce", map);
  }

  void Text(const std::wstring& folder, std::wstring_view name, std::string text) {
    world_.files.push_back(TextFile(Path(folder, std::wstring(name)), std::move(text)));
  }

  void Binary(const std::wstring& folder, std::wstring_view name, uint64_t size) {
    world_.files.push_back(GeneratedFile(Path(folder, std::wstring(name)), ContentKind::kBinary,
                                         Scaled(size, scale_), random_));
  }

  static std::wstring Path(const std::wstring& folder, const std::wstring& name) {
    std::wstring path = kDataFolder;
    if (!folder.empty()) path += L"\\" + folder;
    if (!name.empty()) path += L"\\" + name;
    return path;
  }

 private:
  ClientWorld& world_;
  WorldRandom& random_;
  double scale_;
};

std::string SettingsFile(WorldRandom& random) {
  return "[Settings]\r\nRealName=Anna Adler\r\nReturnAddress=anna@example.com\r\n"
         "POPAccount=anna@pop.example.com\r\nSMTPServer=smtp.example.com\r\n"
         "CheckForMailEvery=" +
         std::to_string(random.Between(5, 30)) +
         "\r\nLeaveMailOnServer=1\r\nSavePasswordText=" + std::to_string(random.Between(0, 1)) +
         "\r\n\r\n[Personalities]\r\nPersona0=<Dominant>\r\nPersona1=Work\r\n\r\n"
         "[Persona-Work]\r\nRealName=Anna Adler (Work)\r\nPOPAccount=aadler@mail.example.net\r\n";
}

}  // namespace

ClientWorld DescribeEudora(uint64_t seed, double scale) {
  WorldRandom random(seed, "Eudora");
  ClientWorld world;
  world.client = L"Eudora";
  world.default_client_name = L"Eudora";

  KeyBuilder(world, RegistryRoot::kLocalMachine, L"SOFTWARE\\Clients\\Mail\\Eudora")
      .String(L"", L"Eudora")
      .Sub(L"shell\\open\\command")
      .String(L"", L"\"<ProgramFiles>\\Qualcomm\\Eudora\\Eudora.exe\"");
  KeyBuilder eudora(world, RegistryRoot::kCurrentUser, L"SOFTWARE\\Qualcomm\\Eudora");
  eudora.String(L"Version", L"7.1.0.9");
  // Both paths hold spaces, so the arguments are quoted.
  eudora.Sub(L"CommandLine")
      .String(L"Current", L"\"<ProgramFiles>\\Qualcomm\\Eudora\\Eudora.exe\" \"" +
                              std::wstring(kDataFolder) + L"\" \"" + kDataFolder +
                              L"\\eudora.ini\"");
  eudora.Sub(L"Settings").Binary(L"WindowState", RandomBytes(random, 28));

  EudoraWriter data(world, random, scale);
  world.folders.push_back(data.Path(L"", L""));
  data.Mailbox(L"", L"In", 200 * kMiB, 400 * kMiB);
  data.Mailbox(L"", L"Out", 16 * kMiB, 64 * kMiB);
  data.Mailbox(L"", L"Trash", 8 * kMiB, 48 * kMiB);
  data.Mailbox(L"", L"Zo\u00eb's Letters", 1 * kMiB, 8 * kMiB);
  data.Text(L"", L"descmap.pce",
            "In,In.mbx,S,N\r\nOut,Out.mbx,S,N\r\nTrash,Trash.mbx,S,N\r\n"
            "Business,Business.fol,F,N\r\nFamily,Family.fol,F,N\r\n");
  data.Text(L"", L"eudora.ini", SettingsFile(random));
  data.Text(L"", L"filters.pce",
            "rule Newsletters\r\nincoming\r\nheader To:\r\nverb contains\r\n"
            "value news@example.org\r\ntransfer Family.fol\\Holidays.mbx\r\n");
  data.Binary(L"", L"nndbase.toc", 2 * kKiB);
  data.Text(L"", L"nndbase.txt",
            "alias bob bob@example.com\r\nnote bob <name:Bob Brown>\r\n"
            "alias \"zoe dubois\" zoe@example.net\r\nnote \"zoe dubois\" <name:Zo\xeb Dubois>\r\n");

  data.MailFolder(L"Business.fol", {L"Clients", L"Suppliers"});
  data.MailFolder(L"Business.fol\\Projects 2006.fol", {L"Alpha", L"Beta Launch"});
  data.MailFolder(L"Business.fol\\Projects 2006.fol\\Archiv M\u00fcller.fol", {L"Old Orders"});
  data.MailFolder(L"Family.fol", {L"Holidays"});
  // A second ".pce" file in one folder: the search reports that folder twice.
  data.Text(L"Family.fol", L"Family.pce", "Holidays,Holidays.mbx,M,N\r\n");

  world.folders.push_back(data.Path(L"Spool", L""));
  data.Binary(L"Spool", L"out0001.tmp", 24 * kKiB);
  data.Text(L"Stationery", L"Greetings.sta", "Subject: Season's greetings\r\n\r\nDear ,\r\n");
  data.Text(L"Stationery", L"Business Letter.sta", "Subject: \r\n\r\nDear Sir or Madam,\r\n");
  data.Text(L"Filters", L"Old Filters.pce", "rule Old\r\nincoming\r\n");
  data.Text(L"Sigs", L"Standard.txt", "Anna Adler\r\nanna@example.com\r\n");
  data.Text(L"Sigs", L"Alternate.txt", "-- \r\nA.\r\n");
  data.Text(L"Sigs", L"Priv\u00e9.txt", "Bisous,\r\nAnna\r\n");
  data.Binary(L"Attach", L"Invoice 2006-03.pdf", 96 * kKiB);

  world.scope.branches.push_back({L"HKEY_CURRENT_USER", L"SOFTWARE\\Qualcomm\\Eudora"});
  world.scope.folders.push_back(data.Path(L"", L""));
  return world;
}

}  // namespace mailstow
