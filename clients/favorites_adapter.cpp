#include "favorites_adapter.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>

#include "base/file_search.h"
#include "base/registry_key.h"
#include "base/wizard_job.h"
#include "clients/adapter_steps.h"
#include "clients/adapter_values.h"
#include "engine/archive_job.h"
#include "engine/run_log.h"

namespace mailstow {
namespace {

constexpr wchar_t kClientKey[] = L"Favorites";
constexpr int kClientIndex = 10;

// The Favorites folder V without a final backslash. When the user's shell folders do not
// name it, the system's own Favorites folder is used rather than the root of a drive.
std::wstring FavoritesFolder() {
  RegistryKey key;
  std::wstring folder;
  if (key.Open(HKEY_CURRENT_USER,
               L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", false,
               KEY_READ)) {
    folder = key.ReadString(L"Favorites").value;
  }
  if (folder.empty()) {
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_FAVORITES, nullptr, SHGFP_TYPE_CURRENT, path))) {
      folder = path;
    }
  }
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder;
}

bool HasUrlExtension(const std::wstring& name) {
  return name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".url") == 0;
}

// Folder (with trailing "\") of a target: base + "\" or base + "\" + relative + "\".
std::wstring TargetFolder(std::wstring base, const std::wstring& relative) {
  while (!base.empty() && base.back() == L'\\') base.pop_back();
  return relative.empty() ? base + L"\\" : base + L"\\" + relative + L"\\";
}

class FavoritesAdapter : public MailClientAdapter {
 public:
  explicit FavoritesAdapter(AdapterContext& context) : context_(context) {}

  void FillLists() override {
    context_.job.backup_items().Add(L"Favorites");
    context_.job.backup_identities().Add(L"Default");
  }

  void Backup() override {
    const std::wstring favorites = FavoritesFolder();
    BeginBackup(context_);
    // Number the folders holding ".url" files in the order they are first found.
    std::vector<std::wstring> table;
    FileSearch search;
    search.search_file = favorites + L"\\*.url";
    search.recurse_sub_folders = true;
    search.process_messages = [this] { context_.host.ProcessMessages(); };
    search.on_file_find = [&table](const std::wstring& folder, const std::wstring& name) {
      if (HasUrlExtension(name) && std::find(table.begin(), table.end(), folder) == table.end()) {
        table.push_back(folder);
      }
    };
    if (favorites.empty()) {
      LogItemNotFound(context_, kClientKey);
    } else if (!FolderExists(favorites)) {
      context_.log.Line(L"Not found: " + favorites);
    } else {
      search.Execute();
    }
    IniWriter map;
    for (size_t k = 1; k <= table.size(); ++k) {
      std::wstring path = table[k - 1];
      path.pop_back();
      context_.archive.AddFolderEntries(path, L"Dir" + std::to_wstring(k), path + L"\\", L"url");
      const size_t skip = std::min(path.size(), favorites.size() + 1);
      map.Set(L"Directory", L"Dir" + std::to_wstring(k), path.substr(skip));
    }
    const std::wstring staging = context_.staging_folder + L"\\";
    map.Save(staging + L"directory.ini");
    context_.archive.AddJobEntry(staging + L"directory.ini", L"", staging);
    IniWriter manifest;
    manifest.Set(L"Backup", L"EmailClient", kClientKey);
    manifest.Save(staging + L"infobak.ini");
    context_.archive.AddJobEntry(staging + L"infobak.ini", L"", staging);
    FinishBackup(context_, kClientIndex);
  }

  void ReadManifest() override {
    if (!ReadOwnManifest(context_, kClientKey)) return;
    context_.job.restore_items().Add(L"Favorites");
    context_.job.restore_identities().Add(L"Default");
  }

  void RestoreDirect() override {
    BeginRestore(context_, {});
    RestoreTree(FavoritesFolder());
  }

  void RestoreToFolder() override {
    context_.host.SetRestoreProgress(0);
    ArchiveJob& archive = context_.archive;
    archive.PrepareExtract();
    archive.AddExtractEntry(L"directory.ini", context_.staging_folder + L"\\");
    archive.UnpackJob(context_.job.restore_archive_path());
    archive.ReadArchiveNames(context_.job.restore_archive_path());
    archive.ReleaseFileList();
    if (const std::optional<std::wstring> chosen = OtherRestoreFolder(context_)) {
      RestoreTree(WithTrailingBackslash(*chosen));
    }
  }

 private:
  // Extracts every numbered folder into base + its relative path from the directory map.
  void RestoreTree(const std::wstring& base) {
    if (base.empty()) return;
    ExtractNames(context_, {L"directory.ini"}, context_.staging_folder + L"\\");
    const IniText map = ReadStagingIni(context_, L"directory.ini");
    const size_t count = map.KeyNames(L"Directory").size();
    for (size_t k = 1; k <= count; ++k) {
      const std::wstring key = L"Dir" + std::to_wstring(k);
      ExtractFolder(context_, key, TargetFolder(base, map.ReadString(L"Directory", key, L"")));
    }
  }

  AdapterContext& context_;
};

}  // namespace

std::unique_ptr<MailClientAdapter> CreateFavoritesAdapter(AdapterContext& context) {
  return std::make_unique<FavoritesAdapter>(context);
}

}  // namespace mailstow
