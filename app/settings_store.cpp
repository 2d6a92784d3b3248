#include "settings_store.h"

#include <windows.h>

namespace mailstow {
namespace {

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Loads one value: reads it when present, else writes the default and keeps it.
class ValueLoader {
 public:
  ValueLoader(RegistryKey& key, std::vector<std::wstring>& wrong_types)
      : key_(key), wrong_types_(wrong_types) {}

  void String(const wchar_t* name, std::wstring& value, const std::wstring& fallback) {
    Load(name, value, fallback, &RegistryKey::ReadString, &RegistryKey::WriteString);
  }
  void Integer(const wchar_t* name, int& value, int fallback) {
    Load(name, value, fallback, &RegistryKey::ReadInteger, &RegistryKey::WriteInteger);
  }
  void Bool(const wchar_t* name, bool& value, bool fallback) {
    Load(name, value, fallback, &RegistryKey::ReadBool, &RegistryKey::WriteBool);
  }
  void DateTime(const wchar_t* name, double& value, double fallback) {
    Load(name, value, fallback, &RegistryKey::ReadDateTime, &RegistryKey::WriteDateTime);
  }

 private:
  template <typename T, typename Reader, typename Writer>
  void Load(const wchar_t* name, T& value, const T& fallback, Reader read, Writer write) {
    const auto stored = (key_.*read)(name);
    switch (stored.status) {
      case ReadStatus::kOk:
        value = stored.value;
        break;
      case ReadStatus::kMissing:
        value = fallback;
        (key_.*write)(name, fallback);
        break;
      case ReadStatus::kWrongType:
        value = fallback;
        wrong_types_.push_back(name);
        break;
    }
  }

  RegistryKey& key_;
  std::vector<std::wstring>& wrong_types_;
};

}  // namespace

std::wstring DefaultLanguageFor(unsigned primary_language) {
  switch (primary_language & 0x3FF) {
    case 0x07:
      return L"German";
    case 0x0A:
      return L"Espa\u00F1ol";
    case 0x0C:
      return L"French";
    case 0x10:
      return L"Italiano";
    case 0x13:
      return L"Dutch";
    case 0x16:
      return L"Portuguese";
    case 0x18:
      return L"Romana";
    default:
      return L"English";
  }
}

void LoadSettings(RegistryKey& key, const SettingsEnvironment& env, Settings& s,
                  std::vector<std::wstring>& wrong_types) {
  ValueLoader load(key, wrong_types);
  load.String(L"LastPath", s.last_path, env.personal_folder);
  if (s.last_path.empty()) {
    s.last_path = env.personal_folder;
    key.WriteString(L"LastPath", s.last_path);
  }
  load.Integer(L"X", s.x, kDesignedLeft);
  load.Integer(L"Y", s.y, kDesignedTop);
  load.Bool(L"MultipleVolumes", s.multiple_volumes, false);
  load.Integer(L"Volumes", s.volumes, 1);
  load.Bool(L"AutoMultipleVolumes", s.auto_multiple_volumes, false);
  load.Integer(L"AutoVolumes", s.auto_volumes, 1);
  load.Bool(L"AutoBackup", s.auto_backup, false);
  for (size_t i = 0; i < s.last_archives.size(); ++i) {
    const std::wstring name = L"Last" + std::to_wstring(i + 1);
    load.String(name.c_str(), s.last_archives[i], L"");
  }
  load.String(L"BackupDir", s.backup_dir, s.last_path);
  if (s.backup_dir.empty()) {
    s.backup_dir = s.last_path;
    key.WriteString(L"BackupDir", s.backup_dir);
  }
  load.DateTime(L"BackupTime", s.backup_time, env.now);
  load.DateTime(L"BackupDate", s.backup_date, static_cast<double>(static_cast<long long>(env.now)));
  load.Integer(L"BackupPeriod", s.backup_period, 3);
  load.String(L"BackupInterval", s.backup_interval, L"Days");
  load.Integer(L"BackupMode", s.backup_mode, 2);
  load.Integer(L"BackupKeep", s.backup_keep, 3);
  load.Bool(L"BackupUsePsw", s.backup_use_password, false);
  std::wstring scrambled;
  load.String(L"BackupPsw", scrambled, L"");
  s.backup_password.clear();
  if (!scrambled.empty() && env.unscramble && !env.unscramble(scrambled, s.backup_password)) {
    s.backup_password.clear();
  }
  load.String(L"Language", s.language, DefaultLanguageFor(env.user_language_id));
}

void SaveSettingsAtClose(RegistryKey& key, const Settings& s, const std::wstring& personal_folder) {
  key.WriteInteger(L"X", s.x);
  key.WriteInteger(L"Y", s.y);
  key.WriteString(L"Language", s.language);
  key.WriteString(L"LastPath", s.last_path);
  for (size_t i = 0; i < s.last_archives.size(); ++i) {
    key.WriteString(L"Last" + std::to_wstring(i + 1), s.last_archives[i]);
  }
  key.WriteBool(L"MultipleVolumes", s.multiple_volumes);
  key.WriteInteger(L"Volumes", s.volumes);
  if (!EqualsIgnoringCase(s.last_path, personal_folder) &&
      EqualsIgnoringCase(s.backup_dir, personal_folder)) {
    key.WriteString(L"BackupDir", s.last_path);
  }
}

std::wstring InvalidDataTypeMessage(const std::wstring& value_name) {
  return L"Invalid data type for '" + value_name + L"'";
}

}  // namespace mailstow
