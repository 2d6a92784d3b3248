// The archives that this user's scheduled runs wrote, kept in the settings key: rotation
// deletes only these, and a run never overwrites a file of another origin.
#pragma once

#include <string>
#include <vector>

namespace mailstow {

// The settings value that holds the list: full paths separated by "|", which no file name
// can contain.
inline constexpr wchar_t kScheduledArchivesValue[] = L"ScheduledArchives";

class ScheduledArchives {
 public:
  // Reads the list, forgetting entries whose file is gone.
  static ScheduledArchives Load();

  // Whether a scheduled run wrote this archive (paths compare without regard to case).
  bool Contains(const std::wstring& path) const;
  // Records an archive a scheduled run has written; false when the list cannot be stored.
  bool Add(const std::wstring& path);
  // Forgets the archives whose file is gone (deleted by rotation or by the user).
  void ForgetMissing();

 private:
  bool Store() const;

  std::vector<std::wstring> paths_;
};

}  // namespace mailstow
