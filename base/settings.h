// The settings record: the in-memory copy of the values under Software\Corvane\Mailstow.
#pragma once

#include <array>
#include <string>

namespace mailstow {

inline constexpr wchar_t kSettingsKeyPath[] = L"Software\\Corvane\\Mailstow";
inline constexpr int kDesignedLeft = 282;
inline constexpr int kDesignedTop = 179;

struct Settings {
  std::wstring last_path;
  int x = kDesignedLeft;
  int y = kDesignedTop;
  bool multiple_volumes = false;
  int volumes = 1;
  bool auto_multiple_volumes = false;
  int auto_volumes = 1;
  bool auto_backup = false;
  std::array<std::wstring, 9> last_archives;  // "Last1" ... "Last9"
  std::wstring backup_dir;
  double backup_time = 0;
  double backup_date = 0;
  int backup_period = 3;
  std::wstring backup_interval = L"Days";
  int backup_mode = 2;
  int backup_keep = 3;
  bool backup_use_password = false;
  std::wstring backup_password;  // plain text; stored scrambled as "BackupPsw"
  std::wstring language;
};

// The language text for a Windows primary language identifier.
std::wstring DefaultLanguageFor(unsigned primary_language);

}  // namespace mailstow
