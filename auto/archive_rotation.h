// Names of unattended backups and the choice of older archives that the backup mode
// removes after a good backup.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mailstow {

// Day, month and year without leading zeros, joined by "-": "6-12-2026".
std::wstring AutoArchiveDateText(int day, int month, int year);

// backup_dir (ending with "\") + user_prefix + name_prefix + " " + date text + ".ebk"; a copy
// number above 1 adds " (copy)" before ".ebk", for a name that another file already holds.
std::wstring AutoArchivePath(const std::wstring& backup_dir, const std::wstring& user_prefix,
                             std::wstring_view name_prefix, const std::wstring& date_text,
                             int copy = 1);

// The user's part of archive names: "Logon User Name" when Windows records one, else the
// account name, followed by a space; empty when both are empty.
std::wstring UserPrefixFor(const std::wstring& logon_user_name, const std::wstring& account_name);

// Whether a file name has exactly the form that AutoArchivePath gives for the prefix (user
// prefix + client's name prefix): the prefix, " ", a date text without leading zeros, an
// optional copy number " (n)" and ".ebk", compared case-sensitively.
bool IsGeneratedArchiveName(std::wstring_view file_name, std::wstring_view prefix);

// Whether a file name is a volume part of a split archive: the archive's name with ".ebk"
// replaced by ".z" and two or more digits, compared without regard to case.
bool IsVolumePartOf(std::wstring_view file_name, std::wstring_view archive_name);

struct ArchiveFile {
  std::wstring path;
  double write_time = 0;  // last-write time as a date-time value
};

// The archives that the backup mode removes, given every candidate of the client (the new
// archive among them or not). Mode 1 removes the newest archive other than the new one;
// any other mode keeps the new archive and the `keep` newest others and removes the rest,
// keeping all when keep is 0 or below. The new archive is never chosen; paths compare
// without regard to case. Equal times are ordered by path, so the choice is repeatable.
std::vector<std::wstring> ArchivesToRemove(std::vector<ArchiveFile> candidates,
                                           const std::wstring& new_archive, int mode, int keep);

}  // namespace mailstow
