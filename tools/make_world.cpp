// make_world: installs synthetic worlds of mail clients for tests and demonstrations, removes
// them, snapshots them and compares snapshots. See WorldUsage for the command line.
#include <windows.h>

#include <string>
#include <vector>

#include "tools/machine_world.h"
#include "tools/snapshot_file.h"
#include "tools/utf_text.h"
#include "tools/world_installer.h"
#include "tools/world_options.h"
#include "tools/world_removal.h"
#include "tools/world_snapshot.h"

namespace mailstow {
namespace {

constexpr int kSame = 0;
constexpr int kDifferent = 1;
constexpr int kFailed = 2;

void Print(DWORD stream, const std::wstring& text) {
  const std::string bytes = ToUtf8(text);
  DWORD written = 0;
  WriteFile(GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
            nullptr);
}

int Fail(const std::wstring& message) {
  Print(STD_ERROR_HANDLE, L"make_world: " + message + L"\n");
  return kFailed;
}

bool ReadWholeFile(const std::wstring& path, std::string* content) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  content->clear();
  char piece[65536];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(file, piece, sizeof(piece), &got, nullptr)) && got > 0) {
    content->append(piece, got);
  }
  CloseHandle(file);
  return ok;
}

bool WriteWholeFile(const std::wstring& path, const std::string& content) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
      written == content.size();
  return CloseHandle(file) && ok;
}

bool LoadSnapshot(const std::wstring& path, Snapshot* snapshot, std::wstring* error) {
  std::string text;
  if (!ReadWholeFile(path, &text)) {
    *error = L"cannot read " + path;
    return false;
  }
  std::wstring reason;
  if (!ParseSnapshot(text, snapshot, &reason)) {
    *error = path + L": " + reason;
    return false;
  }
  return true;
}

int Compare(const WorldOptions& options) {
  Snapshot before, after;
  std::wstring error;
  if (!LoadSnapshot(options.first_file, &before, &error) ||
      !LoadSnapshot(options.second_file, &after, &error)) {
    return Fail(error);
  }
  const std::vector<std::wstring> differences = Differences(before, after);
  for (const std::wstring& line : differences) Print(STD_OUTPUT_HANDLE, line + L"\n");
  return differences.empty() ? kSame : kDifferent;
}

int Run(const std::vector<std::wstring>& args) {
  WorldOptions options;
  std::wstring error;
  if (!ParseWorldOptions(args, &options, &error)) return Fail(error + L"\n\n" + WorldUsage());
  if (options.action == WorldAction::kHelp) {
    Print(STD_OUTPUT_HANDLE, WorldUsage());
    return kSame;
  }
  if (options.action == WorldAction::kCompare) return Compare(options);

  std::vector<ClientWorld> worlds;
  if (!DescribeMachineWorld(options.request, &worlds, &error)) return Fail(error);
  switch (options.action) {
    case WorldAction::kRemove:
      if (!RemoveScope(ScopeOf(worlds), &error)) return Fail(error);
      return kSame;
    case WorldAction::kSnapshot:
      if (!WriteWholeFile(options.snapshot_file,
                          SerializeSnapshot(TakeSnapshot(ScopeOf(worlds))))) {
        return Fail(L"cannot write " + options.snapshot_file);
      }
      return kSame;
    default: {
      InstallSummary summary;
      if (!InstallWorld(worlds, &summary, &error)) return Fail(error);
      Print(STD_OUTPUT_HANDLE, L"Installed " + std::to_wstring(worlds.size()) + L" clients: " +
                                   std::to_wstring(summary.keys) + L" keys, " +
                                   std::to_wstring(summary.values) + L" values, " +
                                   std::to_wstring(summary.files) + L" files, " +
                                   std::to_wstring(summary.bytes) + L" bytes.\n");
      return kSame;
    }
  }
}

}  // namespace
}  // namespace mailstow

int wmain(int argc, wchar_t** argv) {
  return mailstow::Run(std::vector<std::wstring>(argv + 1, argv + argc));
}
