// The Wine half of the backup and restore benchmark (wizard_bench.sh runs it and prints the
// table). Each command runs in the benchmark's Wine prefix:
//
//   wizard_bench prepare MAKE_WORLD MODE SIZE LIST_FILE
//       makes a small Outlook Express world, fills the first identity's store, and writes the
//       folders a backup reads, as Linux paths, to LIST_FILE. MODE "default": SIZE MiB of
//       mail-like data (70 % mailbox text, 20 % attachments that do not compress, the rest
//       small messages in the store itself); "many": SIZE messages of 1 to 8 KiB in folders of
//       250 below ten account folders; "large": one mailbox file of SIZE GiB
//   wizard_bench backup ARCHIVE [--password PASSWORD] [--volumes INDEX]
//       backs up every identity and item through the real wizard, split into volumes of the
//       size at INDEX of the wizard's list when asked
//   wizard_bench restore ARCHIVE [--password PASSWORD]
//       restores the archive directly through the real wizard over the world as it is (the
//       restore first keeps what it replaces, so that it can be undone), and checks that every
//       file below the first store is there with its size
//   wizard_bench peer PROGRAM ARGUMENTS...
//       runs another archiver (PROGRAM as a Linux path) in the same prefix and prints "<seconds>
//       <peak working set bytes> <exit code>"
//   wizard_bench floor
//       empties the first store's folders and creates their files again with plain Win32
//       calls: what writing them costs under Wine whoever does it (the content is then filler)
//
// backup and restore print one line: "<seconds> <peak working set bytes> <phase seconds>
// <outcome>", where <phase seconds> is the part of a backup spent reading the archive back
// (while the progress page says "Verifying"), or the part of a restore spent keeping what it
// replaces (while the page says "Keeping").
// MAILSTOW_DIST names the program folder to copy Mailstow.exe, Sqx.dll and English.lng from.
#include <gtest/gtest.h>  // the wizard session reports through it
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clients/folder_tokens.h"
#include "tests/e2e/bulk_mail.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/outlook_express_machine.h"
#include "tests/e2e/wizard_session.h"
#include "tools/utf_text.h"

namespace mailstow::e2e {
namespace {

using Clock = std::chrono::steady_clock;

int Fail(const char* message) {
  std::fprintf(stderr, "wizard_bench: %s\n", message);
  return 1;
}

using FileSizes = std::map<std::wstring, unsigned long long>;

// Every file below a folder with its size, by path relative to the folder (prefix `below`).
void ListFiles(const std::wstring& folder, const std::wstring& below, FileSizes* files) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name != L"." && name != L"..") {
        ListFiles(folder + L"\\" + name, below + name + L"\\", files);
      }
      continue;
    }
    (*files)[below + name] =
        (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  } while (FindNextFileW(search, &found));
  const DWORD ended = GetLastError();
  if (ended != ERROR_NO_MORE_FILES) {
    std::fprintf(stderr, "wizard_bench: listing ended with error %lu after %zu files\n",
                 static_cast<unsigned long>(ended), files->size());
  }
  FindClose(search);
}

FileSizes FilesBelow(const std::wstring& folder) {
  FileSizes files;
  ListFiles(folder, L"", &files);
  return files;
}

// The folders the adapter backs up: every identity's store, the address book, the stationery.
std::vector<std::wstring> BackedUpFolders() {
  std::vector<std::wstring> folders;
  for (const OeIdentity& identity : MachineIdentities()) folders.push_back(identity.store);
  const std::wstring app_data = ShellFolder(L"AppData");
  folders.push_back(app_data + L"\\Microsoft\\Address Book");
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  std::wstring stationery = ReplaceLeadingToken(
      ReadRegistryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Shared Tools\\Stationery",
                         L"Stationery Folder"),
      TokenFoldersFrom(app_data, windows));
  if (!stationery.empty() && stationery.back() == L'\\') stationery.pop_back();
  folders.push_back(stationery);
  return folders;
}

// Fills the folder with `mib` MiB: 70 % in mailbox files of up to 64 MiB, 20 % in attachments
// of a few MiB, 10 % in small messages of about 2 KiB (19 183 of them at 401 MiB).
bool FillMixed(const std::wstring& store, double mib) {
  MailGenerator generator;
  const auto total = static_cast<unsigned long long>(mib * 1048576.0);
  std::string data;
  unsigned long long mailbox = total * 7 / 10;
  for (int n = 1; mailbox > 0; ++n) {
    const size_t size = static_cast<size_t>(std::min<unsigned long long>(mailbox, 64ull << 20));
    data.clear();
    generator.Text(&data, size);
    if (!WriteBytes(store + L"\\Mailbox " + std::to_wstring(n) + L".dbx", data)) return false;
    mailbox -= size;
  }
  unsigned long long attachments = total * 2 / 10;
  for (int n = 1; attachments > 0; ++n) {
    const size_t size = static_cast<size_t>(std::min<unsigned long long>(attachments, 3ull << 20));
    generator.Noise(&data, size);
    if (!WriteBytes(store + L"\\Attachment " + std::to_wstring(n) + L".bin", data)) return false;
    attachments -= size;
  }
  const auto messages = static_cast<int>(19183.0 * mib / 401.0);
  const unsigned long long each = (total / 10) / static_cast<unsigned long long>(messages + 1);
  for (int n = 1; n <= messages; ++n) {
    data.clear();
    generator.Text(&data, static_cast<size_t>(each));
    if (!WriteBytes(store + L"\\Message " + std::to_wstring(n) + L".eml", data)) return false;
  }
  return true;
}

// Fills the folder with `count` small messages of 1 to 8 KiB, as a client that keeps one file
// per message does: ten accounts of mail folders with 250 messages each.
bool FillMany(const std::wstring& store, int count) {
  constexpr int kPerFolder = 250;
  constexpr int kAccounts = 10;
  const int folders = (count + kPerFolder - 1) / kPerFolder;
  MailGenerator generator;
  std::string data;
  for (int f = 0, n = 0; f < folders; ++f) {
    const std::wstring account = store + L"\\Account " + std::to_wstring(f % kAccounts + 1);
    const std::wstring folder = account + L"\\Folder " + std::to_wstring(f / kAccounts + 1);
    CreateDirectoryW(account.c_str(), nullptr);
    if (!CreateDirectoryW(folder.c_str(), nullptr)) return false;
    for (int i = 0; i < kPerFolder && n < count; ++i, ++n) {
      data.clear();
      generator.Text(&data, 1024 + (static_cast<size_t>(n) * 2654435761u) % 7168);
      if (!WriteBytes(folder + L"\\" + std::to_wstring(n + 1) + L".eml", data)) return false;
    }
  }
  return true;
}

// Fills the store as the mode asks: "default" `size` MiB of mixed data, "many" `size` small
// messages in many folders, "large" one mailbox of `size` GiB.
bool FillStore(const std::wstring& store, const std::wstring& mode, double size) {
  if (mode == L"default") return FillMixed(store, size);
  if (mode == L"many") return FillMany(store, static_cast<int>(size));
  if (mode == L"large") {
    return WriteMailbox(store + L"\\Mailbox.dbx",
                        static_cast<unsigned long long>(size * 1073741824.0))
        .has_value();
  }
  return false;
}

int Prepare(const std::wstring& make_world, const std::wstring& mode, const std::wstring& size,
            const std::wstring& list) {
  Program world;
  if (!world.Start(make_world, L"--seed 1 --scale 0.001 --clients OutlookExpress") ||
      world.WaitForExit(std::chrono::minutes(10)) != 0) {
    return Fail("make_world failed");
  }
  const std::vector<OeIdentity> identities = MachineIdentities();
  if (identities.empty()) return Fail("the world has no identity");
  if (!FillStore(identities[0].store, mode, _wtof(size.c_str()))) {
    return Fail("cannot write the data");
  }
  std::string text;
  for (const std::wstring& folder : BackedUpFolders()) text += UnixPath(folder) + "\n";
  FILE* file = _wfopen(list.c_str(), L"wb");
  if (file == nullptr) return Fail("cannot write the list file");
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  return 0;
}

// Runs another program to its end and prints "<seconds> <peak working set bytes> <exit code>".
// Wine reports no memory counters once a process has ended, so the peak is read while it runs;
// the last reading comes at most one poll before its end.
int RunPeer(int argc, wchar_t** argv) {
  std::wstring arguments;
  for (int i = 3; i < argc; ++i) {
    const std::wstring argument = argv[i];
    if (!arguments.empty()) arguments += L" ";
    arguments += argument.find(L' ') == std::wstring::npos ? argument : L"\"" + argument + L"\"";
  }
  Program peer;
  const Clock::time_point start = Clock::now();
  if (!peer.Start(WindowsPath(ToUtf8(argv[2])), arguments))
    return Fail("the program did not start");
  unsigned long long peak = 0;
  while (WaitForSingleObject(peer.handle(), 20) == WAIT_TIMEOUT) {
    peak = std::max(peak, PeakWorkingSet(peer.handle()));
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const DWORD code = peer.WaitForExit();
  std::printf("%.2f %llu %lu\n", seconds, peak, static_cast<unsigned long>(code));
  return 0;
}

// A stretch of a run that a label of the progress page names while it lasts.
struct Phase {
  const wchar_t* label;
  const wchar_t* starts_with;
};

// Presses Next on the ready page and waits for the completion page, where the outcome label
// shows; prints the line. Only that label and the phase's label are watched: finding the
// active page among all controls every few milliseconds would load the Wine server the
// measured run depends on.
int TimeRun(WizardSession& wizard, const wchar_t* outcome_label, const Phase& phase) {
  const HWND outcome_control = wizard.Control(outcome_label);
  if (outcome_control == nullptr) return Fail("the outcome label is missing");
  const HWND phase_control = wizard.Control(phase.label);
  const Clock::time_point start = Clock::now();
  std::optional<Clock::time_point> phase_start, phase_end;
  wizard.Next();
  while (!IsWindowVisible(outcome_control) && wizard.program().Running()) {
    // The text of another process's window is read without a message to its busy thread.
    wchar_t text[64] = {};
    const bool in_phase = phase_control != nullptr && GetWindowTextW(phase_control, text, 64) > 0 &&
                          std::wstring_view(text).starts_with(phase.starts_with);
    if (in_phase && !phase_start) phase_start = Clock::now();
    if (!in_phase && phase_start && !phase_end) phase_end = Clock::now();
    Sleep(20);
  }
  const Clock::time_point end = Clock::now();
  const double seconds = std::chrono::duration<double>(end - start).count();
  const double phase_seconds =
      phase_start ? std::chrono::duration<double>(phase_end.value_or(end) - *phase_start).count()
                  : 0.0;
  const std::wstring outcome = wizard.Text(outcome_label);
  std::printf("%.2f %llu %.2f %s\n", seconds, PeakWorkingSet(wizard.program().handle()),
              phase_seconds, ToUtf8(outcome).c_str());
  wizard.Close();
  return 0;
}

bool StartWizard(WizardSession& wizard, const wchar_t* action) {
  const std::wstring folder =
      PrepareProgramFolder(L"bench", {L"Mailstow.exe", L"English.lng", L"Sqx.dll"});
  if (!wizard.Start(folder)) return false;
  wizard.Next();
  wizard.Press(action);
  wizard.Next();
  wizard.Press(L"RadioButton3");  // Outlook Express
  wizard.Next();
  return true;
}

// `volumes` is the index of the volume size to split into, or -1 for one file.
int Backup(const std::wstring& archive, const std::wstring& password, int volumes) {
  DeleteFileW(archive.c_str());
  CreateDirectoryW(L"C:\\Bench", nullptr);
  WizardSession wizard;
  if (!StartWizard(wizard, L"RadioButton1")) return Fail("Mailstow did not start");
  if (wizard.ActivePage() != 4) return Fail("the identity page did not appear");
  wizard.Next();
  wizard.FillArchivePage(archive, password, volumes >= 0);
  if (volumes >= 0) SendMessageW(wizard.Control(L"ComboBox2"), CB_SETCURSEL, volumes, 0);
  wizard.Next();
  if (wizard.ActivePage() != 6) return Fail("the ready page did not appear");
  return TimeRun(wizard, L"Label14", {L"Label15", L"Verifying"});
}

int Restore(const std::wstring& archive, const std::wstring& password) {
  const std::wstring store = MachineIdentities().at(0).store;
  const FileSizes before = FilesBelow(store);
  WizardSession wizard;
  if (!StartWizard(wizard, L"RadioButton2")) return Fail("Mailstow did not start");
  wizard.Type(L"Edit4", archive);
  wizard.Next();
  if (!password.empty()) {
    if (!wizard.EnterPassword(password)) return Fail("no password prompt");
    wizard.WaitForPage(10, std::chrono::minutes(5));
  }
  if (wizard.ActivePage() != 10) return Fail("the identity page did not appear");
  wizard.Next();
  wizard.Next();
  if (!wizard.Answer(L"Are you sure?", L"Yes")) return Fail("no confirmation of a direct restore");
  if (wizard.ActivePage() != 12) return Fail("the ready page did not appear");
  const int result = TimeRun(wizard, L"Label30", {L"Label28", L"Keeping"});
  const FileSizes after = FilesBelow(store);
  if (after != before) {
    size_t missing = 0;
    for (const auto& [name, size] : before) missing += after.count(name) == 0 ? 1 : 0;
    std::fprintf(stderr, "wizard_bench: %zu of %zu files missing in %s, %zu there\n", missing,
                 before.size(), ToUtf8(store).c_str(), after.size());
    for (const auto& [name, size] : after) {
      if (before.count(name) == 0)
        std::fprintf(stderr, "wizard_bench: new: %s\n", ToUtf8(name).c_str());
    }
    int shown = 0;
    for (const auto& [name, size] : before) {
      const auto found = after.find(name);
      if (found != after.end() && found->second == size) continue;
      std::fprintf(stderr, "wizard_bench: %s: %llu bytes before, %s after\n", ToUtf8(name).c_str(),
                   size, found == after.end() ? "missing" : std::to_string(found->second).c_str());
      if (++shown == 10) break;
    }
    return Fail("the store did not come back whole");
  }
  return result;
}

// What any program pays under Wine to write the store's files back: deletes every file below
// the store (its folders stay) and creates each again with its size, in path order (the
// archive's), timing only that. Wine looks a new name up by reading the whole folder, so in one
// folder this grows faster than the count.
int CreateFloor() {
  const std::wstring store = MachineIdentities().at(0).store;
  const FileSizes files = FilesBelow(store);
  for (const auto& [name, size] : files) DeleteFileW((store + L"\\" + name).c_str());
  const std::string block(1 << 20, 'x');
  const Clock::time_point start = Clock::now();
  for (const auto& [name, size] : files) {
    const HANDLE file = CreateFileW((store + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Fail("cannot create a file");
    for (unsigned long long left = size; left > 0;) {
      const DWORD n = static_cast<DWORD>(std::min<unsigned long long>(left, block.size()));
      DWORD written = 0;
      if (!WriteFile(file, block.data(), n, &written, nullptr) || written != n) {
        CloseHandle(file);
        return Fail("cannot write a file");
      }
      left -= n;
    }
    FILETIME time = {};
    GetSystemTimeAsFileTime(&time);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("%.2f %zu files\n", seconds, files.size());
  return 0;
}

int Run(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"prepare" && argc == 6) {
    return Prepare(WindowsPath(ToUtf8(argv[2])), argv[3], argv[4], WindowsPath(ToUtf8(argv[5])));
  }
  if ((command == L"backup" || command == L"restore") && argc >= 3) {
    std::wstring password;
    int volumes = -1;
    for (int i = 3; i + 1 < argc; i += 2) {
      const std::wstring option = argv[i];
      if (option == L"--password") {
        password = argv[i + 1];
      } else if (option == L"--volumes") {
        volumes = _wtoi(argv[i + 1]);
      } else {
        return Fail("unknown option");
      }
    }
    return command == L"backup" ? Backup(argv[2], password, volumes) : Restore(argv[2], password);
  }
  if (command == L"peer" && argc >= 3) return RunPeer(argc, argv);
  if (command == L"floor" && argc == 2) return CreateFloor();
  return Fail("usage: wizard_bench prepare|backup|restore|peer|floor ... (see the source)");
}

}  // namespace
}  // namespace mailstow::e2e

int wmain(int argc, wchar_t** argv) { return mailstow::e2e::Run(argc, argv); }
