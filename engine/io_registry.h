// The registry dump component: saves registry keys into ".reg" text files and writes such
// files back into the registry. The main form holds one instance for the process's life.
//
// Files are text in the system's ANSI code page, lines ending with CR LF (the layout is
// described in engine/reg_text_format.h). Names that the code page cannot hold are left out
// of an export and logged, which makes the export report failure; string data that it
// cannot hold is written in the hex(N) form, so nothing is replaced by look-alikes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/user_prompts.h"
#include "engine/reg_text_format.h"
#include "engine/reg_text_parser.h"
#include "engine/registry_branches.h"

namespace mailstow {

class RestoreTrail;

enum class TExpImpSource { eiFile, eiProperty };

// Dump files larger than this are not read at all.
inline constexpr uint64_t kMaxRegFileSize = 64ull * 1024 * 1024;

class TIORegistry {
 public:
  using LogSink = std::function<void(const std::wstring&)>;

  // prompts shows the missing-file box (none when null); log receives one line for every
  // key or value that an operation had to leave out (ignored when empty).
  TIORegistry(UserPrompts* prompts, LogSink log);

  // Root used by ExportKey when it is given no root name.
  TRootKeys RootKey = TRootKeys::rkHKEY_CURRENT_USER;
  // eiProperty exports append their lines to RegistryData and imports read it.
  TExpImpSource ExportDestination = TExpImpSource::eiFile;
  TExpImpSource ImportSource = TExpImpSource::eiFile;
  std::vector<std::wstring> RegistryData;
  // While set, imports record the keys and values they create.
  RestoreTrail* Trail = nullptr;

  // Dumps root\key_path, with its whole sub-tree when include_sub_keys. A missing key is
  // dumped as an empty one (and not created). An unknown root name selects HKEY_CURRENT_USER.
  // Returns false when a step failed or something had to be left out; what could be written is
  // still saved.
  bool ExportKey(const std::wstring& root_name, const std::wstring& key_path, bool include_sub_keys,
                 const std::wstring& file_name);

  // Writes the keys and values of a dump into the registry. Lines that cannot be read are
  // skipped and logged and the rest is still written; returns false when the file is
  // missing or anything was skipped or failed.
  bool ImportFile(const std::wstring& file_name);
  // The same, writing only keys inside the given branches; others are skipped and logged.
  bool ImportFile(const std::wstring& file_name, const std::vector<RegistryBranch>& allowed);

 private:
  bool Import(const std::wstring& file_name, const std::vector<RegistryBranch>* allowed);
  bool LoadFileText(const std::wstring& file_name, std::wstring& text);
  bool WriteKey(const RegKeyImport& key);
  void Log(const std::wstring& message) const;

  UserPrompts* prompts_;
  LogSink log_;
};

// The registry's handle of a root key; rkNONE gives HKEY_CURRENT_USER.
HKEY RootKeyHandle(TRootKeys root);

}  // namespace mailstow
