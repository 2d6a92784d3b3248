// The Wine half of the backup benchmark (oe_backup_bench.sh runs it): makes a synthetic world
// of one client (Outlook Express unless named) with make_world.exe, backs it up through the
// real wizard of Mailstow.exe with a password and every identity and item ticked, and prints
// the time from "Ready to backup" to the completion page and the program's peak working set.
// The client's folders are written, as Linux paths, to a list file for the comparison run.
//
//   oe_backup_bench MAKE_WORLD SEED SCALE PASSWORD LIST_FILE [CLIENT]   (paths as Linux paths)
// MAILSTOW_DIST names the program folder to copy Mailstow.exe, Sqx.dll and English.lng from.
#include <gtest/gtest.h>  // the wizard session reports through it
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/wizard_session.h"
#include "tools/machine_world.h"
#include "tools/utf_text.h"

namespace mailstow::e2e {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }
double MiB(unsigned long long bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

int Fail(const char* message) {
  std::fprintf(stderr, "oe_backup_bench: %s\n", message);
  return 1;
}

// Runs a program to its end; false when it cannot start or fails.
bool RunToEnd(const std::wstring& executable, const std::wstring& arguments) {
  Program program;
  if (!program.Start(executable, arguments)) return false;
  return program.WaitForExit(std::chrono::hours(2)) == 0;
}

// The bytes and number of files in a folder tree.
unsigned long long FolderBytes(const std::wstring& folder, int* files) {
  unsigned long long bytes = 0;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    const std::wstring name = found.cFileName;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name != L"." && name != L"..") bytes += FolderBytes(folder + L"\\" + name, files);
      continue;
    }
    bytes += (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    ++*files;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return bytes;
}

// The folders that belong to the client in the world made from the same seed and scale.
std::vector<std::wstring> ClientFolders(const std::wstring& client, const wchar_t* seed,
                                        const wchar_t* scale) {
  WorldRequest request;
  request.seed = std::wcstoull(seed, nullptr, 10);
  request.scale = std::wcstod(scale, nullptr);
  request.clients = {client};
  std::vector<ClientWorld> worlds;
  std::wstring error;
  if (!DescribeMachineWorld(request, &worlds, &error)) return {};
  return ScopeOf(worlds).folders;
}

int Run(int argc, wchar_t** argv) {
  if (argc != 6 && argc != 7) {
    return Fail("usage: oe_backup_bench MAKE_WORLD SEED SCALE PASSWORD LIST_FILE [CLIENT]");
  }
  const std::wstring make_world = WindowsPath(ToUtf8(argv[1]));
  const std::wstring password = argv[4];
  const std::wstring client = argc == 7 ? argv[6] : L"OutlookExpress";

  const Clock::time_point world_start = Clock::now();
  if (!RunToEnd(make_world, std::wstring(L"--seed ") + argv[2] + L" --scale " + argv[3] +
                                L" --clients " + client)) {
    return Fail("make_world failed");
  }
  const double world_seconds = Seconds(Clock::now() - world_start);

  int files = 0;
  unsigned long long bytes = 0;
  std::string list;
  for (const std::wstring& folder : ClientFolders(client, argv[2], argv[3])) {
    bytes += FolderBytes(folder, &files);
    list += UnixPath(folder) + "\n";
  }
  FILE* list_file = _wfopen(WindowsPath(ToUtf8(argv[5])).c_str(), L"wb");
  if (list_file == nullptr) return Fail("cannot write the list file");
  std::fwrite(list.data(), 1, list.size(), list_file);
  std::fclose(list_file);

  const std::wstring folder =
      PrepareProgramFolder(L"bench", {L"Mailstow.exe", L"English.lng", L"Sqx.dll"});
  const std::wstring archive = L"C:\\Bench\\backup.ebk";
  RemoveTree(L"C:\\Bench");
  CreateDirectoryW(L"C:\\Bench", nullptr);
  WizardSession wizard;
  if (!wizard.Start(folder)) return Fail("Mailstow did not start");
  wizard.Next();
  wizard.Press(L"RadioButton1");
  wizard.Next();
  wizard.Next();
  if (wizard.ActivePage() != 4) return Fail("the identity page did not appear");
  wizard.Next();
  wizard.Type(L"Edit1", archive);
  wizard.Press(L"CheckBox1");
  wizard.Type(L"Edit2", password);
  wizard.Type(L"Edit3", password);
  wizard.Next();
  if (wizard.ActivePage() != 6) return Fail("the ready page did not appear");
  const Clock::time_point backup_start = Clock::now();
  wizard.Next();
  while (wizard.ActivePage() != 8 && wizard.program().Running()) Sleep(100);
  const double backup_seconds = Seconds(Clock::now() - backup_start);
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof(memory);
  const bool measured = GetProcessMemoryInfo(wizard.program().handle(), &memory, sizeof(memory));
  const std::wstring outcome = wizard.Text(L"Label14");
  wizard.Close();

  WIN32_FILE_ATTRIBUTE_DATA archive_data = {};
  GetFileAttributesExW(archive.c_str(), GetFileExInfoStandard, &archive_data);
  const unsigned long long archive_bytes =
      (static_cast<unsigned long long>(archive_data.nFileSizeHigh) << 32) |
      archive_data.nFileSizeLow;
  std::printf("world:    %d files, %.1f MiB, made in %.1f s\n", files, MiB(bytes), world_seconds);
  std::printf("mailstow: %.1f s, %.1f MiB/s, archive %.1f MiB, peak working set %.1f MiB (%s)\n",
              backup_seconds, MiB(bytes) / backup_seconds, MiB(archive_bytes),
              measured ? MiB(memory.PeakWorkingSetSize) : 0.0, ToUtf8(outcome).c_str());
  return outcome == L"Backup completed!" ? 0 : 1;
}

}  // namespace
}  // namespace mailstow::e2e

int wmain(int argc, wchar_t** argv) { return mailstow::e2e::Run(argc, argv); }
