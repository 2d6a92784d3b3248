#include "mozilla_adapter.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <set>
#include <unordered_set>

#include "base/ansi_text.h"
#include "base/file_search.h"
#include "base/folders.h"
#include "base/ini_file.h"
#include "base/message_arguments.h"
#include "base/wizard_job.h"
#include "clients/adapter_steps.h"
#include "clients/adapter_values.h"
#include "clients/profile_list.h"
#include "engine/archive_job.h"
#include "engine/job_host.h"
#include "engine/job_rules.h"
#include "engine/run_log.h"
#include "sqx/sqx_api.h"

namespace mailstow {
namespace {

constexpr wchar_t kClientKey[] = L"Netscape";
constexpr int kClientIndex = 4;

// Shown for information only: the backup and the restores always take whole profiles.
constexpr std::array<const wchar_t*, 4> kItemNames = {L"Accounts Settings", L"Mail Folders",
                                                      L"Filters", L"Address Book"};
constexpr std::array<const wchar_t*, 6> kProfileFiles = {
    L"prefs.js", L"abook.mab", L"panacea.dat", L"xul.mfl", L"localstore.rdf", L"panels.rdf"};

std::wstring ClientFolder(const std::wstring& app_data) { return app_data + L"\\Mozilla\\"; }
std::wstring ProfileBase(const std::wstring& app_data) {
  return ClientFolder(app_data) + L"Profiles\\";
}

// The text between the profile folder's last two backslashes (the profile's name for a
// folder of the form ...\Profiles\<name>\<salt>).
std::wstring IdentityTextOf(const std::wstring& folder) {
  const size_t last = folder.rfind(L'\\');
  if (last == std::wstring::npos || last == 0) return folder;
  const size_t before = folder.rfind(L'\\', last - 1);
  const size_t start = before == std::wstring::npos ? 0 : before + 1;
  return folder.substr(start, last - start);
}

// The folder relative to the profile base, when it lies below it (letter case aside).
std::optional<std::wstring> RelativeToBase(const std::wstring& folder, const std::wstring& base) {
  if (folder.size() <= base.size() ||
      CompareStringOrdinal(folder.c_str(), static_cast<int>(base.size()), base.c_str(),
                           static_cast<int>(base.size()), TRUE) != CSTR_EQUAL) {
    return std::nullopt;
  }
  std::wstring relative = folder.substr(base.size());
  if (!IsSafeRelativePath(relative)) return std::nullopt;
  return relative;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

class MozillaAdapter : public MailClientAdapter {
 public:
  explicit MozillaAdapter(AdapterContext& context) : context_(context) {}

  void FillLists() override {
    TickList& items = context_.job.backup_items();
    for (const wchar_t* item : kItemNames) items.Add(item);
    items.SetListEnabled(false);
    profiles_.clear();
    const std::wstring app_data = AppDataFolder();
    if (app_data.empty()) return;
    const std::optional<std::string> list = ReadFileBytes(ClientFolder(app_data) + L"registry.dat");
    if (!list) return;
    for (const std::string& bytes : ScanProfileList(*list)) {
      // An empty or relative entry would name a folder of the drive root or the current folder.
      const std::wstring folder = WithoutTrailingBackslash(FromAnsi(bytes));
      if (!IsAbsoluteLocalPath(folder)) continue;
      profiles_.push_back(folder);
      context_.job.backup_identities().Add(IdentityTextOf(folder));
      context_.host.ProcessMessages();
    }
  }

  void Backup() override {
    BeginBackup(context_);
    const std::wstring app_data = AppDataFolder();
    if (app_data.empty()) context_.log.Line(L"Not found: the application-data folder");
    const std::wstring base = ProfileBase(app_data);
    const TickList& identities = context_.job.backup_identities();
    std::vector<std::wstring> names;
    std::vector<std::wstring> relatives;
    for (int n = 0; n < identities.Count(); ++n) {
      if (!identities.IsTicked(n) || static_cast<size_t>(n) >= profiles_.size()) continue;
      const std::wstring& folder = profiles_[static_cast<size_t>(n)];
      const std::wstring name = identities.Text(n);
      // The archive keeps profiles relative to the profile base; one elsewhere could not be
      // put back, so it counts as not found.
      const std::optional<std::wstring> relative =
          app_data.empty() ? std::nullopt : RelativeToBase(folder, base);
      if (!relative) {
        context_.log.Line(L"Not found (outside " + base + L"): " + folder);
        continue;
      }
      if (!FolderExists(folder)) {
        context_.log.Line(L"Not found: " + folder);
        continue;
      }
      // A profile named twice, or two profiles of one name, would store two copies under one
      // archive folder: the first is kept.
      if (std::any_of(names.begin(), names.end(),
                      [&name](const std::wstring& kept) { return SameText(kept, name); })) {
        context_.log.Line(L"Profile backed up once only: " + name + L" (" + folder + L")");
        continue;
      }
      BackupProfile(folder, name, base);
      names.push_back(name);
      relatives.push_back(*relative);
    }
    if (!app_data.empty()) {
      AddFileIfExists(context_, ClientFolder(app_data) + L"registry.dat", L"",
                      ClientFolder(app_data));
    }
    const std::wstring staging = context_.staging_folder + L"\\";
    IniWriter manifest = ManifestFor(kClientKey, names, TickedTexts(context_.job.backup_items()));
    for (size_t i = 0; i < relatives.size(); ++i) {
      manifest.Set(L"Directory", L"Dir" + std::to_wstring(i + 1), relatives[i]);
    }
    manifest.Save(staging + L"infobak.ini");
    context_.archive.AddJobEntry(staging + L"infobak.ini", L"", staging);
    FinishBackup(context_, kClientIndex);
  }

  void ReadManifest() override {
    const std::optional<IniText> own = ReadOwnManifest(context_, kClientKey);
    if (!own) return;
    FillRestoreLists(context_, *own, kItemNames);
    context_.job.restore_items().SetListEnabled(false);
  }

  void RestoreDirect() override {
    BeginRestore(context_, {});
    const std::wstring app_data = AppDataFolder();
    if (app_data.empty()) {
      context_.log.Line(L"Nothing restored: the application-data folder is not set");
      return;
    }
    RestoreProfiles(ProfileBase(app_data), ClientFolder(app_data), true);
  }

  void RestoreToFolder() override {
    BeginRestore(context_, {});
    const std::optional<std::wstring> chosen = OtherRestoreFolder(context_);
    if (!chosen) return;
    const std::wstring folder = *chosen;
    RestoreProfiles(folder + L"\\Profiles\\", folder + L"\\", false);
  }

 private:
  // Adds the profile's whole mail tree, the folder map that lets the restore find its folders
  // again, and the profile files.
  void BackupProfile(const std::wstring& folder, const std::wstring& name,
                     const std::wstring& base) {
    const std::wstring mail = folder + L"\\Mail";
    // Folders holding entries, each once, in the order the depth-first search finds them; the
    // mail folder itself first, so that its empty sub-folders are restored too.
    std::vector<std::wstring> tree = {mail + L"\\"};
    std::unordered_set<std::wstring> seen = {tree.front()};
    FileSearch search;
    search.search_file = mail + L"\\*.*";
    search.recurse_sub_folders = true;
    search.process_messages = [this] { context_.host.ProcessMessages(); };
    search.on_file_find = [&](const std::wstring& found, const std::wstring&) {
      if (seen.insert(found).second) tree.push_back(found);
    };
    if (AddFolderIfExists(context_, mail, L"", base, L"*")) {
      search.Execute();
    } else {
      tree.clear();
    }

    IniWriter map;
    for (size_t k = 0; k < tree.size(); ++k) {
      const std::wstring path = WithoutTrailingBackslash(tree[k]);
      map.Set(L"Directory", L"Dir" + std::to_wstring(k + 1), path.substr(base.size()));
    }
    const std::wstring staging = context_.staging_folder + L"\\";
    CreateFolderTree(staging + name);
    map.Save(staging + name + L"\\directory.ini");
    context_.archive.AddJobEntry(staging + name + L"\\directory.ini", L"", staging);
    for (const wchar_t* file : kProfileFiles) {
      AddFileIfExists(context_, folder + L"\\" + file, name, folder + L"\\");
    }
  }

  // Restores the ticked profiles below a profile base and the profile list into its folder.
  void RestoreProfiles(const std::wstring& base, const std::wstring& list_folder,
                       bool keep_newer_profiles) {
    const std::vector<std::wstring> relatives =
        SectionValues(ReadStagingIni(context_, L"infobak.ini"), L"Directory");
    const TickList& identities = context_.job.restore_identities();
    for (int j = 0; j < identities.Count(); ++j) {
      if (!identities.IsTicked(j)) continue;
      const std::wstring name = identities.Text(j);
      const std::wstring relative =
          static_cast<size_t>(j) < relatives.size() ? relatives[static_cast<size_t>(j)] : L"";
      if (!IsPlainName(name) || !IsSafeRelativePath(relative)) {
        RefuseRestoreValue(context_,
                           L"Profile not restored, its names are not valid folder names: " + name);
        continue;
      }
      RestoreMailTree(name, relative, base);
      std::vector<std::wstring> members;
      for (const wchar_t* file : kProfileFiles) members.push_back(name + L"\\" + file);
      ExtractNames(context_, members, base + relative + L"\\");
    }
    if (identities.Count() == 0) return;
    if (keep_newer_profiles) {
      RestoreProfileList(list_folder);
    } else {
      ExtractNames(context_, {L"Registry.dat"}, list_folder);
    }
  }

  // The archive's profile list replaces the one here only when that names no profile the
  // archive lacks; a list naming profiles made after the backup stays, and when it lacks
  // restored ones the restore says which (the client's profile manager can add them).
  void RestoreProfileList(const std::wstring& list_folder) {
    const std::wstring live = list_folder + L"registry.dat";
    const std::optional<std::string> here = ReadFileBytes(live);
    if (!here) {
      ExtractNames(context_, {L"Registry.dat"}, list_folder);
      return;
    }
    const std::wstring staging = context_.staging_folder + L"\\";
    ClearStagedFiles(context_, {L"Registry.dat"});
    if (ExtractNames(context_, {L"Registry.dat"}, staging) != sqx::kStatusOk) return;
    const std::optional<std::string> archived = ReadFileBytes(staging + L"Registry.dat");
    if (!archived) return;
    const auto folders_of = [](const std::string& list) {
      std::vector<std::wstring> folders;
      // As the profile list is read for the identities: entries that name no absolute folder
      // are no profiles.
      for (const std::string& bytes : ScanProfileList(list)) {
        const std::wstring folder = WithoutTrailingBackslash(FromAnsi(bytes));
        if (IsAbsoluteLocalPath(folder)) folders.push_back(folder);
      }
      return folders;
    };
    const std::vector<std::wstring> folders_here = folders_of(*here);
    const std::vector<std::wstring> folders_archived = folders_of(*archived);
    const auto lacks = [](const std::vector<std::wstring>& list, const std::wstring& folder) {
      return std::none_of(list.begin(), list.end(),
                          [&folder](const std::wstring& f) { return SameText(f, folder); });
    };
    std::wstring newer;
    for (const std::wstring& folder : folders_here) {
      if (lacks(folders_archived, folder)) newer += (newer.empty() ? L"" : L", ") + folder;
    }
    if (newer.empty()) {
      if (!context_.archive.NoteRestoreWrite(live) ||
          !CopyFileW((staging + L"Registry.dat").c_str(), live.c_str(), FALSE)) {
        context_.log.Line(L"Profile list not restored, it cannot be written: " + live);
      }
      return;
    }
    context_.log.Line(L"Profile list kept, it names profiles made after the backup: " + newer);
    std::wstring unlisted;
    for (const std::wstring& folder : folders_archived) {
      if (lacks(folders_here, folder)) unlisted += (unlisted.empty() ? L"" : L", ") + folder;
    }
    if (unlisted.empty()) return;
    context_.log.Line(L"Restored profiles that the kept list does not name: " + unlisted);
    context_.archive.RecordRestoreProblem(
        WithArguments(context_.host.Message(L"Message57"), {unlisted}));
  }

  // Extracts the folders of the profile's map, deepest first, each member once, keeping the
  // members' paths below the profile base.
  void RestoreMailTree(const std::wstring& name, const std::wstring& relative,
                       const std::wstring& base) {
    const std::wstring map_member = name + L"\\directory.ini";
    ClearStagedFiles(context_, {map_member});
    const std::wstring staging = context_.staging_folder + L"\\" + name + L"\\";
    if (ExtractNames(context_, {map_member}, staging) != sqx::kStatusOk ||
        !FileExists(staging + L"directory.ini")) {
      ReportDamagedPart(
          context_, L"Mail folders not restored, the folder map is damaged or missing: " + name);
      return;
    }
    const std::vector<std::wstring> folders =
        SectionValues(ReadStagingIni(context_, map_member), L"Directory");
    std::set<std::wstring> extracted;
    ArchiveJob& archive = context_.archive;
    for (size_t k = folders.size(); k-- > 0;) {
      const std::wstring& folder = folders[k];
      // Only folders of this profile: a map may not write into other profiles or elsewhere.
      if (!IsSafeRelativePath(folder) || !InFolder(folder, relative)) {
        RefuseRestoreValue(context_,
                           L"Mail folder not restored, not a folder of the profile: " + folder);
        continue;
      }
      std::vector<std::wstring> members;
      for (const std::wstring_view member : archive.archive_names()) {
        if (InFolder(member, folder) && extracted.emplace(member).second) {
          members.emplace_back(member);
        }
      }
      if (members.empty()) continue;
      archive.PrepareExtract(true);
      for (const std::wstring& member : members) archive.AddExtractEntry(member, base);
      archive.UnpackJob(context_.job.restore_archive_path());
      archive.ReleaseFileList();
    }
  }

  AdapterContext& context_;
  // Profile folders found by the last list filling, by position in the identity list.
  std::vector<std::wstring> profiles_;
};

}  // namespace

std::unique_ptr<MailClientAdapter> CreateMozillaAdapter(AdapterContext& context) {
  return std::make_unique<MozillaAdapter>(context);
}

}  // namespace mailstow
