// Loading the settings record from the registry at start-up and saving it at close.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/registry_key.h"
#include "base/settings.h"

namespace mailstow {

struct SettingsEnvironment {
  std::wstring personal_folder;  // ends with "\"
  double now = 0;                // local time, days since 1899-12-30
  unsigned user_language_id = 0;
  // Reads the stored scrambled password; false when the text was malformed.
  std::function<bool(const std::wstring& scrambled, std::wstring& plain)> unscramble;
};

// Loads every value in its order; a missing value gets its default, written back at once.
// A value stored with another type keeps its default in memory (the stored value is left
// alone) and its name is returned in `wrong_types`.
void LoadSettings(RegistryKey& key, const SettingsEnvironment& environment, Settings& settings,
                  std::vector<std::wstring>& wrong_types);

// The save at close: "X", "Y", "Language", "LastPath", "Last1" ... "Last9",
// "MultipleVolumes", "Volumes", then "BackupDir" when it still is the Personal folder and
// "LastPath" is not.
void SaveSettingsAtClose(RegistryKey& key, const Settings& settings,
                         const std::wstring& personal_folder);

// The error text for a value that could not be read.
std::wstring InvalidDataTypeMessage(const std::wstring& value_name);

}  // namespace mailstow
