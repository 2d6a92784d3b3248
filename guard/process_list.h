// The running processes, sorted by the file name of their executable.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace mailstow {

struct ProcessInfo {
  std::wstring name;  // file-name part of the executable path
  DWORD usage = 0;
  DWORD process_id = 0;
  ULONG_PTR default_heap_id = 0;
  DWORD module_id = 0;
  DWORD thread_count = 0;
  DWORD parent_process_id = 0;
  LONG base_priority = 0;
  DWORD flags = 0;
  std::wstring executable;
  std::wstring priority_class;   // "[Normal  ]" ...
  std::wstring executable_type;  // "32-Bit", "MS-Dos" ...
};

class ProcessList {
 public:
  void Refresh();
  const std::vector<ProcessInfo>& entries() const { return entries_; }

 private:
  std::vector<ProcessInfo> entries_;
};

// The text for a base priority: "[Idle    ]", "[Normal  ]", "[High    ]", "[RealTime]",
// else "[Unknown]".
std::wstring PriorityClassText(LONG base_priority);

// Ends a process by identifier with exit code 0xFFFFFFFF and waits until it has ended.
// False when it could not be opened or terminated.
bool EndProcess(DWORD process_id);

}  // namespace mailstow
