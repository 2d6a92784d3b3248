// PocoMail as it lies on a machine: the program folder holding the default user's settings file
// and data (mailboxes in nested mail folders, one folder with three mailboxes, attachments,
// templates, signatures, address book and scripts), two further users below the users folder
// with settings files of their own, and the client's registry entries.
#include <string>
#include <string_view>

#include "tools/world_clients.h"

namespace mailstow {
namespace {

constexpr uint64_t kKiB = 1024;

constexpr wchar_t kProgram[] = L"<ProgramFiles>\\PocoMail";

// The folder names one user's "poco.ini" gives; each is written with a final backslash.
struct UserFolders {
  std::wstring_view mail;
  std::wstring_view attachments;
  std::wstring_view templates;
  std::wstring_view signatures;
  std::wstring_view address;
  std::wstring_view scripts;
};

std::string Ansi(std::wstring_view text) {
  std::string bytes;
  for (wchar_t c : text) bytes += static_cast<char>(c);  // the world's names are Latin-1
  return bytes;
}

std::string PocoIni(const UserFolders& folders, std::string_view user) {
  return "[Program]\r\nVersion=3.6\r\nAddressPath=" + Ansi(folders.address) +
         "\\\r\nMailPath=" + Ansi(folders.mail) + "\\\r\nScriptPath=" + Ansi(folders.scripts) +
         "\\\r\nSigPath=" + Ansi(folders.signatures) +
         "\\\r\nTemplatePath=" + Ansi(folders.templates) + "\\\r\nLastUser=" + std::string(user) +
         "\r\n\r\n[Mail]\r\nAttachPath=" + Ansi(folders.attachments) +
         "\\\r\nCheckOnStartup=1\r\nDeleteFromServer=0\r\n";
}

std::string AccountsIni(std::string_view user, WorldRandom& random) {
  return "[Accounts]\r\nCount=1\r\nDefault=" + std::string(user) + "\r\n\r\n[" + std::string(user) +
         "]\r\nPOPServer=pop.example.com\r\nSMTPServer=smtp.example.com\r\n" +
         "UserName=" + std::string(user) + "\r\nPassword=" + std::to_string(random.Next() % 99991) +
         "\r\nLeaveOnServer=" + (random.Percent(50) ? "1" : "0") + "\r\n";
}

class PocoWriter {
 public:
  PocoWriter(ClientWorld& world, WorldRandom& random, double scale)
      : world_(world), random_(random), scale_(scale) {}

  // A mailbox with its index file; the larger boxes hold real-looking messages.
  void Mailbox(const std::wstring& folder, std::wstring_view name, uint64_t largest) {
    const uint64_t size = Scaled(16 * kKiB + random_.Below(largest), scale_);
    world_.files.push_back(GeneratedFile(folder + L"\\" + std::wstring(name) + L".mbx",
                                         ContentKind::kMailbox, size, random_));
    world_.files.push_back(GeneratedFile(folder + L"\\" + std::wstring(name) + L".itx",
                                         ContentKind::kBinary, Scaled(2 * kKiB, scale_), random_));
  }

  void Binary(const std::wstring& path, uint64_t size) {
    world_.files.push_back(
        GeneratedFile(path, ContentKind::kBinary, Scaled(size, scale_), random_));
  }

  void Text(const std::wstring& path, std::string text) {
    world_.files.push_back(TextFile(path, std::move(text)));
  }

  // One user's settings, accounts, filters and the folders its settings file names.
  void User(const std::wstring& base, const UserFolders& folders, std::string_view name) {
    Text(base + L"\\poco.ini", PocoIni(folders, name));
    Text(base + L"\\accounts.ini", AccountsIni(name, random_));
    Text(base + L"\\Filters.ini",
         "[Filter1]\r\nName=Newsletters\r\nField=From\r\nContains=news@\r\nAction=Move\r\n"
         "Target=Newsletters\r\n");
    const std::wstring mail = base + L"\\" + std::wstring(folders.mail);
    for (std::wstring_view box : {L"Inbox", L"Outbox", L"Sent", L"Trash"}) {
      Mailbox(mail, box, box == L"Inbox" ? 2048 * kKiB : 256 * kKiB);
    }
    Binary(mail + L"\\folders.dat", 4 * kKiB);
    Binary(base + L"\\" + std::wstring(folders.attachments) + L"\\invoice 2005.pdf", 96 * kKiB);
    Binary(base + L"\\" + std::wstring(folders.attachments) + L"\\Photo \u00e9t\u00e9.jpg",
           160 * kKiB);
    Text(base + L"\\" + std::wstring(folders.templates) + L"\\Meeting.tpl",
         "Subject: Meeting on %date%\r\n\r\nHello,\r\n\r\nlet us meet at ...\r\n");
    Text(base + L"\\" + std::wstring(folders.signatures) + L"\\Default.sig",
         "-- \r\n" + std::string(name) + "\r\n");
    Binary(base + L"\\" + std::wstring(folders.address) + L"\\addrbook.pab", 24 * kKiB);
    Text(base + L"\\" + std::wstring(folders.scripts) + L"\\Auto reply.pms",
         "Program AutoReply\r\n  Reply \"I am away\"\r\nEnd\r\n");
  }

 private:
  ClientWorld& world_;
  WorldRandom& random_;
  double scale_;
};

}  // namespace

ClientWorld DescribePocoMail(uint64_t seed, double scale) {
  WorldRandom random(seed, "PocoMail");
  ClientWorld world;
  world.client = L"PocoMail";
  world.default_client_name = L"Poco";
  KeyBuilder(world, RegistryRoot::kLocalMachine, L"SOFTWARE\\Clients\\Mail\\PocoMail")
      .String(L"", L"PocoMail")
      .Sub(L"shell\\open\\command")
      .String(L"", std::wstring(kProgram) + L"\\poco.exe");
  const std::wstring uninstall =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\pocomail2moe_is1";
  KeyBuilder(world, RegistryRoot::kLocalMachine, uninstall)
      .String(L"Inno Setup: App Path", kProgram)
      .String(L"DisplayName", L"PocoMail 3.6")
      .String(L"UninstallString", std::wstring(kProgram) + L"\\unins000.exe");
  // The user's own record of the program folder ends with a backslash.
  KeyBuilder(world, RegistryRoot::kCurrentUser, L"Software\\Poco Systems Inc\\PocoMail 3")
      .String(L"Path", std::wstring(kProgram) + L"\\")
      .Dword(L"FirstRun", 0);

  PocoWriter poco(world, random, scale);
  const std::wstring program = kProgram;
  poco.User(program, {L"Mail", L"Attachments", L"Templates", L"Signatures", L"Address", L"Scripts"},
            "Default User");
  // Nested mail folders of the default user, one of them holding three mailboxes, and one
  // with an accented name.
  const std::wstring mail = program + L"\\Mail";
  poco.Mailbox(mail + L"\\Work", L"Projects", 512 * kKiB);
  poco.Binary(mail + L"\\Work\\folders.dat", 2 * kKiB);
  poco.Mailbox(mail + L"\\Work\\Old", L"2004", 256 * kKiB);
  for (std::wstring_view box : {L"Mum", L"Dad", L"Holidays"}) {
    poco.Mailbox(mail + L"\\Family", box, 256 * kKiB);
  }
  poco.Mailbox(mail + L"\\Caf\u00e9 Club", L"Members", 128 * kKiB);

  const std::wstring users = program + L"\\users";
  poco.User(users + L"\\Anna",
            {L"Mail", L"Attach", L"Templates", L"Sigs", L"Address Book", L"Scripts"}, "Anna");
  poco.User(users + L"\\J\u00fcrgen Weber",
            {L"Post", L"Anh\u00e4nge", L"Vorlagen", L"Signaturen", L"Adressen", L"Skripte"},
            "Juergen");

  world.scope.folders.push_back(program);
  world.scope.branches.push_back({L"HKEY_CURRENT_USER", L"Software\\Poco Systems Inc"});
  world.scope.branches.push_back({L"HKEY_LOCAL_MACHINE", uninstall});
  return world;
}

}  // namespace mailstow
