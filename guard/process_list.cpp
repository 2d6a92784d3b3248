#include "process_list.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>

namespace mailstow {
namespace {

std::wstring ExecutableType(const std::wstring& path) {
  const auto type = static_cast<DWORD>(SHGetFileInfoW(path.c_str(), 0, nullptr, 0, SHGFI_EXETYPE));
  const WORD low = LOWORD(type);
  const WORD high = HIWORD(type);
  if (low == 0x5A4D && high == 0) return L"MS-Dos";
  if (low == 0x454C && high == 0) return L"Vxd";
  if (low == 0x4550 && high == 0) return L"32-Bit";
  if (low == 0x454E || low == 0x4550) return L"16-Bit";
  return high == 0 ? L"lo:" + std::to_wstring(low) : L"hi:" + std::to_wstring(high);
}

}  // namespace

std::wstring PriorityClassText(LONG base_priority) {
  switch (base_priority) {
    case 4:
      return L"[Idle    ]";
    case 8:
      return L"[Normal  ]";
    case 13:
      return L"[High    ]";
    case 24:
      return L"[RealTime]";
    default:
      return L"[Unknown]";
  }
}

void ProcessList::Refresh() {
  entries_.clear();
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    ProcessInfo info;
    info.executable = entry.szExeFile;
    info.name = info.executable.substr(info.executable.find_last_of(L"\\/") + 1);
    info.usage = entry.cntUsage;
    info.process_id = entry.th32ProcessID;
    info.default_heap_id = entry.th32DefaultHeapID;
    info.module_id = entry.th32ModuleID;
    info.thread_count = entry.cntThreads;
    info.parent_process_id = entry.th32ParentProcessID;
    info.base_priority = entry.pcPriClassBase;
    info.flags = entry.dwFlags;
    info.priority_class = PriorityClassText(entry.pcPriClassBase);
    info.executable_type = ExecutableType(info.executable);
    entries_.push_back(std::move(info));
  }
  CloseHandle(snapshot);
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const ProcessInfo& a, const ProcessInfo& b) {
                     return _wcsicmp(a.name.c_str(), b.name.c_str()) < 0;
                   });
}

bool EndProcess(DWORD process_id) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process_id);
  if (process == nullptr) return false;
  const bool ended = TerminateProcess(process, 0xFFFFFFFFu) != 0;
  if (ended) WaitForSingleObject(process, INFINITE);
  CloseHandle(process);
  return ended;
}

}  // namespace mailstow
