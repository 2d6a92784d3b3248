// Where the program keeps what undoes a client's last direct restore: the safety copy taken
// before it, the restore's trail and the files it set aside, in the user's local application
// data, one set per client that the next restore of the client replaces.
#pragma once

#include <string>

namespace mailstow {

struct UndoFiles {
  std::wstring folder;        // ends without "\"
  std::wstring archive;       // the safety copy
  std::wstring trail;         // what the restore created or replaced beyond it
  std::wstring aside_folder;  // files the restore replaced that the safety copy does not hold
};

UndoFiles UndoFilesOf(int client_index);

// Whether an undo of the client's last restore is at hand; its time as a registry date-time
// value in when.
bool UndoAvailable(const UndoFiles& files, double* when = nullptr);

// Deletes the safety copy, the trail and the files set aside; DiscardUndoTrail keeps the copy.
void DiscardUndo(const UndoFiles& files);
void DiscardUndoTrail(const UndoFiles& files);

}  // namespace mailstow
