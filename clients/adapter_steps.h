// The steps that every adapter's backup and restore begin and end with, and the small
// INI files (manifest, directory map) that adapters write and read in the staging folder.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/ini_text.h"
#include "clients/mail_client_adapter.h"

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
// One extraction run of every member below an archive folder into a target folder.
void ExtractFolder(AdapterContext& context, const std::wstring& archive_folder,
                   const std::wstring& target_folder, bool keep_folders = false);

// One extraction run of the named members into the staging folder, after deleting any
// earlier copies of their files there; true only when the run returned OK, so that a dump or
// side file is acted on only when this run brought it.
bool ExtractToStaging(AdapterContext& context, const std::vector<std::wstring>& members);

// The ticked entries of a check list, in order.
std::vector<std::wstring> TickedTexts(const class CheckListBox& list);
// Every entry of a check list, ticked or not.
std::vector<std::wstring> AllTexts(const class CheckListBox& list);

// An INI file written in the system code page, sections in the order added.
class IniWriter {
 public:
  void Set(const std::wstring& section, const std::wstring& key, const std::wstring& value);
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

// The manifest reader common to the clients: the restore identity list gets [Identities]
// "Item1"...; the item names are added unticked and disabled, and those named in [Items]
// are ticked and enabled. Sets the wrong-client flag for another client's archive.
void FillRestoreLists(AdapterContext& context, const std::wstring& client_key,
                      const std::vector<std::wstring>& item_names);

// The manifest "infobak.ini" with [Backup] "EmailClient" and the ticked identities and
// items numbered "Item1"...; further sections follow in the order given.
IniWriter ManifestFor(const std::wstring& client_key, const std::vector<std::wstring>& identities,
                      const std::vector<std::wstring>& items);

}  // namespace mailstow
