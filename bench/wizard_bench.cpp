// The Wine half of the backup and restore benchmark (wizard_bench.sh runs it and prints the
// table). Each command runs in the benchmark's Wine prefix:
//
//   wizard_bench prepare MAKE_WORLD MIB LIST_FILE
//       makes a small Outlook Express world, fills the first identity's store with MIB MiB of
//       mail-like data (70 % mailbox text, 20 % attachments that do not compress, the rest
//       small messages), and writes the folders a backup reads, as Linux paths, to LIST_FILE
//   wizard_bench backup ARCHIVE [PASSWORD]
//       backs up every identity and item through the real wizard
//   wizard_bench restore ARCHIVE [PASSWORD]
//       restores the archive directly through the real wizard over the world as it is (the
//       restore first keeps what it replaces, so that it can be undone), and checks that every
//       file of the first store is there with its size
//   wizard_bench floor
//       empties the first store and creates its files again with plain Win32 calls: what
//       writing them costs under Wine whoever does it (the store's content is then filler)
//
// backup and restore print one line: "<seconds> <peak working set bytes> <phase seconds>
// <outcome>", where <phase seconds> is the part of a backup spent reading the archive back
// (while the progress page says "Verifying"), or the part of a restore spent keeping what it
// replaces (while the page says "Keeping").
// MAILSTOW_DIST names the program folder to copy Mailstow.exe, Sqx.dll and English.lng from.
#include <gtest/gtest.h>  // the wizard session reports through it
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clients/folder_tokens.h"
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

// File names and sizes directly in a folder.
std::map<std::wstring, unsigned long long> FolderFiles(const std::wstring& folder) {
  std::map<std::wstring, unsigned long long> files;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    files[found.cFileName] =
        (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  } while (FindNextFileW(search, &found));
  const DWORD ended = GetLastError();
  if (ended != ERROR_NO_MORE_FILES) {
    std::fprintf(stderr, "wizard_bench: listing ended with error %lu after %zu files\n",
                 static_cast<unsigned long>(ended), files.size());
  }
  FindClose(search);
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

// Deterministic mail-like text and noise.
class Generator {
 public:
  void Text(std::string* out, size_t size) {
    static const char* const kWords[] = {
        "Hello",    "meeting", "tomorrow", "the",  "quarterly", "report",   "please", "find",
        "attached", "invoice", "Regards,", "and",  "project",   "schedule", "review", "customer",
        "order",    "thanks",  "we",       "will", "ship",      "on",       "Monday", "update"};
    while (out->size() < size) {
      *out += "From: user" + std::to_string(Next() % 500) + "@example.com\r\nSubject: Re: ";
      *out += kWords[Next() % 24];
      *out += " #" + std::to_string(++message_) + "\r\n\r\n";
      const int words = 40 + static_cast<int>(Next() % 200);
      for (int w = 0; w < words; ++w) {
        *out += kWords[Next() % 24];
        *out += (w % 12 == 11) ? "\r\n" : " ";
      }
      *out += "\r\n.\r\n";
    }
    out->resize(size);
  }
  void Noise(std::string* out, size_t size) {
    out->resize(size);
    for (size_t i = 0; i + 8 <= size; i += 8) {
      const uint64_t value = Next();
      std::memcpy(out->data() + i, &value, 8);
    }
  }

 private:
  uint64_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  uint64_t state_ = 0x9E3779B97F4A7C15ull;
  uint64_t message_ = 0;
};

bool WriteWhole(const std::wstring& path, const std::string& data) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
      written == data.size();
  CloseHandle(file);
  return ok;
}

// Fills the folder with `mib` MiB: 70 % in mailbox files of up to 64 MiB, 20 % in attachments
// of a few MiB, 10 % in small messages of about 2 KiB (19 183 of them at 401 MiB).
bool FillStore(const std::wstring& store, double mib) {
  Generator generator;
  const auto total = static_cast<unsigned long long>(mib * 1048576.0);
  std::string data;
  unsigned long long mailbox = total * 7 / 10;
  for (int n = 1; mailbox > 0; ++n) {
    const size_t size = static_cast<size_t>(std::min<unsigned long long>(mailbox, 64ull << 20));
    data.clear();
    generator.Text(&data, size);
    if (!WriteWhole(store + L"\\Mailbox " + std::to_wstring(n) + L".dbx", data)) return false;
    mailbox -= size;
  }
  unsigned long long attachments = total * 2 / 10;
  for (int n = 1; attachments > 0; ++n) {
    const size_t size = static_cast<size_t>(std::min<unsigned long long>(attachments, 3ull << 20));
    generator.Noise(&data, size);
    if (!WriteWhole(store + L"\\Attachment " + std::to_wstring(n) + L".bin", data)) return false;
    attachments -= size;
  }
  const auto messages = static_cast<int>(19183.0 * mib / 401.0);
  const unsigned long long each = (total / 10) / static_cast<unsigned long long>(messages + 1);
  for (int n = 1; n <= messages; ++n) {
    data.clear();
    generator.Text(&data, static_cast<size_t>(each));
    if (!WriteWhole(store + L"\\Message " + std::to_wstring(n) + L".eml", data)) return false;
  }
  return true;
}

int Prepare(const std::wstring& make_world, const std::wstring& mib, const std::wstring& list) {
  Program world;
  if (!world.Start(make_world, L"--seed 1 --scale 0.001 --clients OutlookExpress") ||
      world.WaitForExit(std::chrono::minutes(10)) != 0) {
    return Fail("make_world failed");
  }
  const std::vector<OeIdentity> identities = MachineIdentities();
  if (identities.empty()) return Fail("the world has no identity");
  if (!FillStore(identities[0].store, _wtof(mib.c_str()))) return Fail("cannot write the data");
  std::string text;
  for (const std::wstring& folder : BackedUpFolders()) text += UnixPath(folder) + "\n";
  FILE* file = _wfopen(list.c_str(), L"wb");
  if (file == nullptr) return Fail("cannot write the list file");
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
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
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof(memory);
  GetProcessMemoryInfo(wizard.program().handle(), &memory, sizeof(memory));
  const std::wstring outcome = wizard.Text(outcome_label);
  std::printf("%.2f %llu %.2f %s\n", seconds,
              static_cast<unsigned long long>(memory.PeakWorkingSetSize), phase_seconds,
              ToUtf8(outcome).c_str());
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

int Backup(const std::wstring& archive, const std::wstring& password) {
  DeleteFileW(archive.c_str());
  CreateDirectoryW(L"C:\\Bench", nullptr);
  WizardSession wizard;
  if (!StartWizard(wizard, L"RadioButton1")) return Fail("Mailstow did not start");
  if (wizard.ActivePage() != 4) return Fail("the identity page did not appear");
  wizard.Next();
  wizard.FillArchivePage(archive, password, false);
  wizard.Next();
  if (wizard.ActivePage() != 6) return Fail("the ready page did not appear");
  return TimeRun(wizard, L"Label14", {L"Label15", L"Verifying"});
}

int Restore(const std::wstring& archive, const std::wstring& password) {
  const std::wstring store = MachineIdentities().at(0).store;
  const std::map<std::wstring, unsigned long long> before = FolderFiles(store);
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
  const std::map<std::wstring, unsigned long long> after = FolderFiles(store);
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

// What any program pays under Wine to write the store's files back: empties the store and
// creates every file again with its size, in name order (the archive's), timing only that.
// Wine looks a new name up by reading the whole folder, so this grows faster than the count.
int CreateFloor() {
  const std::wstring store = MachineIdentities().at(0).store;
  const std::map<std::wstring, unsigned long long> files = FolderFiles(store);
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
  if (command == L"prepare" && argc == 5) {
    return Prepare(WindowsPath(ToUtf8(argv[2])), argv[3], WindowsPath(ToUtf8(argv[4])));
  }
  if ((command == L"backup" || command == L"restore") && (argc == 3 || argc == 4)) {
    const std::wstring password = argc == 4 ? argv[3] : L"";
    return command == L"backup" ? Backup(argv[2], password) : Restore(argv[2], password);
  }
  if (command == L"floor" && argc == 2) return CreateFloor();
  return Fail("usage: wizard_bench prepare|backup|restore|floor ... (see the source)");
}

}  // namespace
}  // namespace mailstow::e2e

int wmain(int argc, wchar_t** argv) { return mailstow::e2e::Run(argc, argv); }
