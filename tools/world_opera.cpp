// Opera's mail client as it lies on a machine: the program folder with the account list and
// the contacts file, two account folders holding the standard mailboxes in mixed letter case,
// a mailbox of the user's own, nested sub-folders and filters, and signature files outside the
// mail folder.
#include <string>
#include <string_view>

#include "tools/world_clients.h"

namespace mailstow {
namespace {

constexpr uint64_t kKiB = 1024;

constexpr wchar_t kProgram[] = L"<ProgramFiles>\\Opera";
// Account settings name their signature by an absolute path, so it lies in a fixed folder.
constexpr wchar_t kSignatures[] = L"C:\\Opera Signatures";

class OperaWriter {
 public:
  OperaWriter(ClientWorld& world, WorldRandom& random, double scale)
      : world_(world), random_(random), scale_(scale) {}

  // A mailbox file and its index, with the extensions in the letter case given.
  void Mailbox(const std::wstring& folder, std::wstring_view name, std::wstring_view mbs,
               std::wstring_view idx, uint64_t largest) {
    const std::wstring base = folder + L"\\" + std::wstring(name) + L".";
    world_.files.push_back(GeneratedFile(base + std::wstring(mbs), ContentKind::kMailbox,
                                         Scaled(8 * kKiB + random_.Below(largest), scale_),
                                         random_));
    world_.files.push_back(GeneratedFile(base + std::wstring(idx), ContentKind::kBinary,
                                         Scaled(2 * kKiB, scale_), random_));
  }

  // An account folder's file is "Folder.ini", a sub-folder's "folder.ini".
  void FolderFile(const std::wstring& folder, std::string_view name, bool account = false) {
    world_.files.push_back(
        TextFile(folder + (account ? L"\\Folder.ini" : L"\\folder.ini"),
                 "[Folder]\r\nName=" + std::string(name) +
                     "\r\nSort=Date\r\nUnread=" + std::to_string(random_.Below(20)) + "\r\n"));
  }

  void Text(const std::wstring& path, std::string text) {
    world_.files.push_back(TextFile(path, std::move(text)));
  }

  void Binary(const std::wstring& path, uint64_t size) {
    world_.files.push_back(
        GeneratedFile(path, ContentKind::kBinary, Scaled(size, scale_), random_));
  }

 private:
  ClientWorld& world_;
  WorldRandom& random_;
  double scale_;
};

std::string AccountIni(std::string_view address, std::string_view signature) {
  return "[INCOMING]\r\nProtocol=POP\r\nServer=pop.example.com\r\nUsername=" +
         std::string(address) +
         "\r\n\r\n[OUTGOING]\r\nServer=smtp.example.com\r\nEmail=" + std::string(address) +
         "@example.com\r\nSignatureFile=" + std::string(signature) + "\r\n";
}

}  // namespace

ClientWorld DescribeOpera(uint64_t seed, double scale) {
  WorldRandom random(seed, "Opera");
  ClientWorld world;
  world.client = L"Opera";
  world.default_client_name = L"Opera";
  const std::wstring program = kProgram;
  KeyBuilder(world, RegistryRoot::kCurrentUser, L"Software\\Opera Software")
      .String(L"Last CommandLine", program + L"\\Opera.exe")
      .String(L"Last Directory3", program);
  KeyBuilder(world, RegistryRoot::kLocalMachine, L"SOFTWARE\\Clients\\Mail\\Opera")
      .String(L"", L"Opera");

  OperaWriter opera(world, random, scale);
  const std::wstring mail = program + L"\\Mail";
  opera.Text(mail + L"\\Accounts.ini",
             "Opera Preferences version 2.0\r\n\r\n[Accounts]\r\naccount1=1\r\naccount2=1\r\n"
             "\r\n[Settings]\r\nNext Id=3\r\n");
  opera.Binary(program + L"\\Contacts.adr", 12 * kKiB);

  // The first account: upper-case standard mailboxes, a mailbox of its own, and sub-folders,
  // one of which holds a mailbox not named like it.
  const std::wstring first = mail + L"\\account1";
  opera.Text(first + L"\\Account.ini",
             AccountIni("anna", std::string("C:\\Opera Signatures\\Anna work.txt")));
  for (std::wstring_view box : {L"Inbox", L"Outbox", L"Sent", L"Drafts", L"Trash"}) {
    opera.Mailbox(first, box, L"MBS", L"IDX", box == L"Inbox" ? 1024 * kKiB : 128 * kKiB);
  }
  opera.Mailbox(first, L"Mailing lists", L"mbs", L"idx", 256 * kKiB);
  opera.FolderFile(first, "account1", true);
  opera.Binary(first + L"\\filters.dat", 3 * kKiB);
  opera.Mailbox(first + L"\\Work", L"Work", L"mbs", L"idx", 256 * kKiB);
  opera.FolderFile(first + L"\\Work", "Work");
  opera.Mailbox(first + L"\\Work\\Clients", L"Clients", L"MBS", L"idx", 128 * kKiB);
  opera.Mailbox(first + L"\\Work\\Clients", L"Archive 2004", L"mbs", L"IDX", 64 * kKiB);
  opera.FolderFile(first + L"\\Work\\Clients", "Clients");

  // The second account: lower-case mailboxes and a signature in the same outside folder.
  const std::wstring second = mail + L"\\account2";
  opera.Text(second + L"\\Account.ini",
             AccountIni("family", std::string("C:\\Opera Signatures\\Home.sig")));
  for (std::wstring_view box : {L"Inbox", L"Outbox", L"Sent", L"Drafts", L"Trash"}) {
    opera.Mailbox(second, box, L"mbs", L"idx", box == L"Inbox" ? 512 * kKiB : 64 * kKiB);
  }
  opera.FolderFile(second, "account2", true);
  opera.Binary(second + L"\\filters.dat", 2 * kKiB);
  opera.Mailbox(second + L"\\Holidays", L"Holidays", L"mbs", L"idx", 128 * kKiB);
  opera.FolderFile(second + L"\\Holidays", "Holidays");

  const std::wstring signatures = kSignatures;
  opera.Text(signatures + L"\\Anna work.txt", "-- \r\nAnna Adler\r\nExample Ltd.\r\n");
  opera.Text(signatures + L"\\Home.sig", "-- \r\nThe Adlers\r\n");

  world.scope.folders.push_back(program);
  world.scope.folders.push_back(signatures);
  world.scope.branches.push_back({L"HKEY_CURRENT_USER", L"Software\\Opera Software"});
  return world;
}

}  // namespace mailstow
