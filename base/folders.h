// The program folder, the Personal folder and the staging folder.
#pragma once

#include <string>

namespace mailstow {

// Folder of the running executable, ending with "\".
std::wstring ProgramFolder();

// The current user's "Personal" shell folder with "\" appended ("\" when it is unset).
std::wstring PersonalFolder();

// The extended form of a full path ("\\?\C:\...", "\\?\UNC\server\share\..."), to which
// the 260-character limit of the file API does not apply; "." and ".." components are
// resolved first, since that form is taken literally. Other paths come back unchanged.
std::wstring LongPath(const std::wstring& path);

// Whether the path names an existing folder, or an existing file.
bool IsFolder(const std::wstring& path);
bool IsFile(const std::wstring& path);

// Creates a folder with all missing parents; true when it exists afterwards.
bool CreateFolderTree(const std::wstring& folder);

// Deletes every file directly in the folder whose attributes are at most read-only, hidden
// and archive; sub-folders and system files are left alone.
void EmptyStagingFolder(const std::wstring& folder);
// Deletes everything below a folder, files and sub-folders of any attributes, and keeps the
// folder itself: the staging folder after a run, so that no account dump or password-bearing
// file stays behind.
void EmptyFolderTree(const std::wstring& folder);
// EmptyFolderTree, then the folder itself.
void RemoveFolderTree(const std::wstring& folder);

}  // namespace mailstow
