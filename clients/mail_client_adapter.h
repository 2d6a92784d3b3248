// The five operations that every mail-client adapter offers. They take no arguments: they
// work on the wizard's job record and the engine's state handed to the adapter.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace mailstow {

class ArchiveJob;
class JobHost;
class RunLog;
class TIORegistry;
class WizardJob;
struct Settings;

// What an adapter works on.
struct AdapterContext {
  WizardJob& job;
  ArchiveJob& archive;
  JobHost& host;
  RunLog& log;
  TIORegistry& registry;
  Settings& settings;
  std::wstring staging_folder;  // without trailing "\"
  // Last-archive slot of the Favorites client: kept in memory only.
  std::wstring& favorites_last_archive;
};

class MailClientAdapter {
 public:
  virtual ~MailClientAdapter() = default;
  // Appends the client's identities and items to the backup lists.
  virtual void FillLists() = 0;
  // Backs up the ticked identities and items into the backup archive.
  virtual void Backup() = 0;
  // Fills the restore lists from the extracted manifest; sets the wrong-client flag when
  // the archive belongs to another client.
  virtual void ReadManifest() = 0;
  // Restores the ticked identities and items into the client's own places.
  virtual void RestoreDirect() = 0;
  // Restores the ticked identities and items into the other folder for a later import.
  virtual void RestoreToFolder() = 0;
};

// The adapter of a client index, or null when that client cannot be handled yet.
std::unique_ptr<MailClientAdapter> CreateAdapter(int client_index, AdapterContext& context);

}  // namespace mailstow
