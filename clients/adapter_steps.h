// The steps that every adapter's backup and restore begin and end with, and the small
// INI files (manifest, directory map) that adapters write and read in the staging folder.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/ini_text.h"
#include "base/name_sequence.h"
#include "base/tick_list.h"
#include "clients/mail_client_adapter.h"
#include "engine/registry_branches.h"

namespace mailstow {

// Progress bar 1 to 0 and a fresh backup job with the chosen volumes.
void BeginBackup(AdapterContext& context);
// Packs the job into the destination archive, sets progress bar 1 to 100 and, when the
// archive was written completely, remembers it in the client's last-archive slot.
void FinishBackup(AdapterContext& context, int client_index);

// Progress bar 2 to 0; extracts the manifest and the side files into the staging folder and
// lists the archive; resets the extracted-entry counter and the progress scale.
void BeginRestore(AdapterContext& context, const std::vector<std::wstring>& side_files);
// One extraction run of the named members into a target folder (ending with "\"); returns
// the archiver's status. Members that the archive does not hold are not an error.
int ExtractNames(AdapterContext& context, const std::vector<std::wstring>& names,
                 const std::wstring& target_folder);
// One extraction run of every member below an archive folder into a target folder: each
// member lands in the target folder under its path below the archive folder, inner folders
// included. With keep_folders the member's whole stored name is kept below the target folder
// instead (the runs that restore folders named by a directory map).
void ExtractFolder(AdapterContext& context, const std::wstring& archive_folder,
                   const std::wstring& target_folder, bool keep_folders = false);

// One extraction run of the named members into the staging folder, after deleting any
// earlier copies of their files there; true only when the run returned OK, so that a dump or
// side file is acted on only when this run brought it.
bool ExtractToStaging(AdapterContext& context, const std::vector<std::wstring>& members);

// The ticked entries of a check list, in order.
std::vector<std::wstring> TickedTexts(const TickList& list);
// Every entry of a check list, ticked or not.
std::vector<std::wstring> AllTexts(const TickList& list);

// An INI file written in UTF-8 after a byte-order mark, sections in the order added.
class IniWriter {
 public:
  void Set(const std::wstring& section, const std::wstring& key, const std::wstring& value);
  // Makes sure the section is written, also when it gets no keys.
  void AddSection(const std::wstring& section);
  // Replaces any existing file; false when it cannot be written.
  bool Save(const std::wstring& path) const;

 private:
  std::vector<std::pair<std::wstring, std::vector<std::pair<std::wstring, std::wstring>>>>
      sections_;
};

// The staging folder's INI file of that name, parsed; empty when it is missing.
IniText ReadStagingIni(const AdapterContext& context, const std::wstring& file_name);

// Extracts the manifest into the staging folder and reads it; when it belongs to another
// client, sets the wrong-client flag and returns nullopt.
std::optional<IniText> ReadOwnManifest(AdapterContext& context, const std::wstring& client_key);

// The manifest "infobak.ini" with [Backup] "EmailClient" and the ticked identities and
// items numbered "Item1"...; further sections follow in the order given.
IniWriter ManifestFor(const std::wstring& client_key, const std::vector<std::wstring>& identities,
                      const std::vector<std::wstring>& items);

// Adds the manifest's [Identities] "Item1"... values to the restore identity list.
void AddManifestIdentities(AdapterContext& context, const IniText& manifest);
// Fills the restore lists from the manifest: its [Identities] values, then the client's item
// names unticked and disabled, each one that [Items] names ticked and enabled.
void FillRestoreLists(AdapterContext& context, const IniText& manifest,
                      std::span<const wchar_t* const> item_names);

// Whether a check list has an entry at that position and it is ticked.
bool TickedAt(const TickList& list, int position);

// Extracts one INI member into the staging folder (or a sub-folder of it) after deleting any
// earlier copy there; the parsed file, or nullopt when the archive did not yield it intact.
std::optional<IniText> ExtractStagedIni(AdapterContext& context, const std::wstring& member,
                                        const std::wstring& staging_sub_folder = L"");

// The folders (ending with "") at and below start that hold files with the extension, each
// once, in the order the depth-first search first reaches them.
std::vector<std::wstring> FoldersHoldingFiles(AdapterContext& context, const std::wstring& start,
                                              const std::wstring& extension);

// The restore-location field as a folder without a final "\", created when missing: the one
// check of every adapter's restore into another folder. nullopt, logged and recorded as a
// restore problem, when it is not an absolute local folder or cannot be created.
std::optional<std::wstring> OtherRestoreFolder(AdapterContext& context);

// A part of the archive that this restore leaves out because a name or folder the archive
// gives would put data where it does not belong: logged ("Refused: <line>") and recorded, so
// that the restore ends as not completed with a box naming the first one.
void RefuseRestoreValue(AdapterContext& context, const std::wstring& line);
// A part of the archive that this restore leaves out because what it needs is missing or
// damaged in the archive: logged and recorded like a damaged member.
void ReportDamagedPart(AdapterContext& context, const std::wstring& line);

// Whether a folder named by the archive lies at or below one of the client's own folders on
// this machine (or the restore folder the user chose): the one rule for every folder that an
// archive's manifest, map, note or settings file names. Texts that are not absolute local
// paths never pass.
bool InsideClientFolders(const std::wstring& folder, const std::vector<std::wstring>& own_folders);

// A part of the archive that this restore leaves out because it would write machine-wide
// registry keys that this user may not write: logged and recorded, so that the restore ends
// as not completed with a box saying that administrator rights are needed for it.
void RefuseWithoutAdminRights(AdapterContext& context, const std::wstring& line);
// Whether this user may write every one of the branches (each key, or where it is missing
// its nearest existing parent).
bool BranchesWritable(const std::vector<RegistryBranch>& branches);

// Imports a registry dump of the archive, writing only inside the allowed branches; a dump
// that could not be written completely (a key the user may not write, a line that cannot be
// read) is logged and recorded, so that the restore ends as not completed. Machine-wide
// branches that this user may not write are checked first: such a dump is not imported at
// all, and unless the registry holds it already, recorded as needing administrator rights.
void ImportRestoredDump(AdapterContext& context, const std::wstring& path,
                        const std::vector<RegistryBranch>& allowed, const std::wstring& name);

// The stored names that lie directly in an archive folder, not in a folder below it.
std::vector<std::wstring> MembersDirectlyIn(const NameSequence& names, const std::wstring& folder);

}  // namespace mailstow
