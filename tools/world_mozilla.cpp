// Netscape and Mozilla as they lie on a machine: the profile list file "registry.dat" (its own
// binary layout, absolute profile folders in the system code page), and per profile its
// settings files and a mail tree of local and server folders. Mailboxes have no extension;
// their sub-folders lie in "<mailbox>.sbd" folders beside them, each with its ".msf" summary.
// The list names one profile twice and one profile that no longer exists.
#include <string>
#include <string_view>

#include "tools/world_clients.h"

namespace mailstow {
namespace {

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * kKiB;

struct Profile {
  std::wstring name;  // the profile's name, the folder below "Profiles"
  std::string ansi;   // the same name in the system code page
  std::wstring salt;  // the profile's own folder below its name
  bool complete;      // all six profile files, or only three of them
};

const Profile kDefault = {L"default", "default", L"k3x9a2bq.slt", true};
const Profile kOffice = {L"B\u00fcro Mail", "B\xfcro Mail", L"p7m2c4rd.slt", false};
const Profile kStale = {L"Alt", "Alt", L"zz00zz00.slt", true};

std::wstring ProfileFolder(const Profile& profile) {
  return L"<AppData>\\Mozilla\\Profiles\\" + profile.name + L"\\" + profile.salt;
}

// One node of the list file: its name, a zero byte and a small binary record.
void Node(std::string& bytes, std::string_view name, char kind) {
  bytes += name;
  bytes += '\0';
  bytes += std::string("\x20\0\0\0", 4);
  bytes += kind;
  bytes += std::string(3, '\0');
}

// A profile's folder entry: "directory", its terminator, and the folder text.
void DirectoryEntry(std::string& bytes, const Profile& profile) {
  bytes += std::string("directory\0", 10);
  bytes += "<AppData>\\Mozilla\\Profiles\\" + profile.ansi + "\\" +
           std::string(profile.salt.begin(), profile.salt.end());
  bytes += '\0';
  Node(bytes, "NCHavePregInfo", '\x11');
}

std::string ProfileList() {
  std::string bytes("AdDv\x01\0\x02\0\x80\0\0\0", 12);
  Node(bytes, "/", '\x01');
  Node(bytes, "Common", '\x01');
  Node(bytes, "Profiles", '\x01');
  bytes += std::string("CurrentProfile\0default\0", 23);
  for (const Profile* profile : {&kDefault, &kOffice, &kStale, &kDefault}) {
    Node(bytes, profile->ansi, '\x01');
    DirectoryEntry(bytes, *profile);
  }
  Node(bytes, "Version Registry", '\x01');
  return bytes;
}

std::string Prefs(const Profile& profile, std::wstring_view server) {
  const std::string folder = "<AppData>\\\\Mozilla\\\\Profiles\\\\" + profile.ansi + "\\\\" +
                             std::string(profile.salt.begin(), profile.salt.end());
  const std::string host(server.begin(), server.end());
  return "# Mozilla User Preferences\r\n\r\n"
         "user_pref(\"mail.account.account1.identities\", \"id1\");\r\n"
         "user_pref(\"mail.account.account1.server\", \"server1\");\r\n"
         "user_pref(\"mail.account.account2.server\", \"server2\");\r\n"
         "user_pref(\"mail.accountmanager.accounts\", \"account1,account2\");\r\n"
         "user_pref(\"mail.identity.id1.useremail\", \"" +
         profile.ansi.substr(0, 3) + "@" + host.substr(4) +
         "\");\r\n"
         "user_pref(\"mail.server.server1.hostname\", \"" +
         host +
         "\");\r\n"
         "user_pref(\"mail.server.server1.directory\", \"" +
         folder + "\\\\Mail\\\\" + host +
         "\");\r\n"
         "user_pref(\"mail.server.server2.directory\", \"" +
         folder +
         "\\\\Mail\\\\Local Folders\");\r\n"
         "user_pref(\"mail.server.server2.type\", \"none\");\r\n";
}

std::string AddressBook(std::wstring_view name) {
  std::string ansi;
  for (wchar_t c : name) ansi += static_cast<char>(c);
  return "// <!-- <mdb:mork:z v=\"1.4\"/> -->\r\n"
         "< <(a=c)> // (f=iso-8859-1)\r\n  (B8=LastModifiedDate)(B9=FirstName)(BA=LastName)\r\n"
         "  (BB=DisplayName)(BC=PrimaryEmail)>\r\n"
         "<(80=0)(81=Anna)(82=Adler)(83=Anna Adler)(84=anna@example.com)(85=" +
         ansi + ")>\r\n{1:^80 {(k^C1:c)(s=9)} [1(^B8^80)(^B9^81)(^BA^82)(^BB^83)(^BC^84)]}\r\n";
}

class ProfileWriter {
 public:
  ProfileWriter(ClientWorld& world, WorldRandom& random, double scale)
      : world_(world), random_(random), scale_(scale) {}

  // A mailbox file without extension and its summary file.
  void Mailbox(const std::wstring& folder, std::wstring_view name, uint64_t largest) {
    const std::wstring path = folder + L"\\" + std::wstring(name);
    const uint64_t size = Scaled(largest / 4 + random_.Below(largest - largest / 4 + 1), scale_);
    world_.files.push_back(GeneratedFile(path, ContentKind::kMailbox, size, random_));
    world_.files.push_back(
        GeneratedFile(path + L".msf", ContentKind::kBinary, Scaled(largest / 20, scale_), random_));
  }

  void Add(const Profile& profile, std::wstring_view server) {
    const std::wstring folder = ProfileFolder(profile);
    const std::wstring local = folder + L"\\Mail\\Local Folders";
    for (std::wstring_view box : {L"Inbox", L"Sent", L"Trash", L"Drafts", L"Unsent Messages"}) {
      Mailbox(local, box, 2 * kMiB);
    }
    Mailbox(local, L"Reisen S\u00fcd 2005", 1 * kMiB);
    Mailbox(local + L"\\Inbox.sbd", L"Receipts", 1 * kMiB);
    Mailbox(local + L"\\Inbox.sbd", L"Caf\u00e9 Club", 512 * kKiB);
    Mailbox(local + L"\\Inbox.sbd\\Receipts.sbd", L"2005", 512 * kKiB);
    // A folder the user created and left empty.
    world_.folders.push_back(local + L"\\Inbox.sbd\\Leerer Ordner");

    const std::wstring remote = folder + L"\\Mail\\" + std::wstring(server);
    for (std::wstring_view box : {L"Inbox", L"Sent", L"Trash"}) Mailbox(remote, box, 4 * kMiB);
    world_.files.push_back(
        TextFile(remote + L"\\popstate.dat", "# POP3 State File\r\n*" +
                                                 std::string(server.begin(), server.end()) +
                                                 " user\r\nk 3f2a1b00 1134000000\r\n"));
    world_.files.push_back(
        TextFile(remote + L"\\msgFilterRules.dat",
                 "version=\"8\"\r\nlogging=\"no\"\r\nname=\"Receipts\"\r\n"
                 "enabled=\"yes\"\r\ntype=\"17\"\r\naction=\"Move to folder\"\r\n"
                 "condition=\"AND (subject,contains,receipt)\"\r\n"));

    FileSpec prefs = TextFile(folder + L"\\prefs.js", Prefs(profile, server));
    prefs.placeholders_in_text = true;
    world_.files.push_back(prefs);
    world_.files.push_back(TextFile(folder + L"\\abook.mab", AddressBook(profile.name)));
    world_.files.push_back(
        TextFile(folder + L"\\panels.rdf",
                 "<?xml version=\"1.0\"?>\r\n<RDF:RDF xmlns:RDF=\"http://www.w3.org/1999/02/"
                 "22-rdf-syntax-ns#\">\r\n  <RDF:Seq about=\"urn:sidebar:current-panel-list\"/>\r\n"
                 "</RDF:RDF>\r\n"));
    if (profile.complete) {
      world_.files.push_back(GeneratedFile(folder + L"\\panacea.dat", ContentKind::kBinary,
                                           Scaled(64 * kKiB, scale_), random_));
      world_.files.push_back(GeneratedFile(folder + L"\\xul.mfl", ContentKind::kBinary,
                                           Scaled(256 * kKiB, scale_), random_));
      world_.files.push_back(TextFile(
          folder + L"\\localstore.rdf",
          "<?xml version=\"1.0\"?>\r\n<RDF:RDF xmlns:NC=\"http://home.netscape.com/NC-rdf#\">\r\n"
          "  <RDF:Description about=\"chrome://messenger/content/messenger.xul#messengerWindow\""
          " width=\"1024\" height=\"740\"/>\r\n</RDF:RDF>\r\n"));
    }
  }

 private:
  ClientWorld& world_;
  WorldRandom& random_;
  double scale_;
};

void AddInstallation(ClientWorld& world) {
  const std::wstring program = L"<ProgramFiles>\\Netscape\\Netscape 6";
  KeyBuilder netscape(world, RegistryRoot::kLocalMachine, L"SOFTWARE\\Netscape\\Netscape 6");
  netscape.String(L"CurrentVersion", L"6.2.3 (en)");
  netscape.Sub(L"6.2.3 (en)\\Main")
      .String(L"Install Directory", program)
      .String(L"PathToExe", program + L"\\netscp6.exe")
      .String(L"Program Folder Path", L"Netscape 6.2");
  KeyBuilder client(world, RegistryRoot::kLocalMachine, L"SOFTWARE\\Clients\\Mail\\Netscape");
  client.String(L"", L"Netscape Messenger");
  client.Sub(L"shell\\open\\command").String(L"", program + L"\\netscp6.exe -mail");
  world.scope.branches.push_back({L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\Netscape"});
}

}  // namespace

ClientWorld DescribeMozilla(uint64_t seed, double scale) {
  WorldRandom random(seed, "Netscape");
  ClientWorld world;
  world.client = L"Netscape";
  world.default_client_name = L"Netscape";
  AddInstallation(world);

  FileSpec list = TextFile(L"<AppData>\\Mozilla\\registry.dat", ProfileList());
  list.placeholders_in_text = true;
  world.files.push_back(list);
  WorldRandom first = random.Fork("default");
  ProfileWriter(world, first, scale).Add(kDefault, L"pop.example.com");
  WorldRandom second = random.Fork("office");
  ProfileWriter(world, second, scale).Add(kOffice, L"mail.example.de");
  world.scope.folders.push_back(L"<AppData>\\Mozilla");
  return world;
}

}  // namespace mailstow
