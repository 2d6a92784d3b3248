// Stands in for Mailstow.exe in the scheduler's tests: appends its arguments, program
// first, joined by '|', as one line of UTF-8 to "launches.txt" in its own folder.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <filesystem>
#include <fstream>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::wstring line;
  for (int i = 0; i < count; ++i) line += (i > 0 ? L"|" : L"") + std::wstring(arguments[i]);
  wchar_t own_path[MAX_PATH];
  GetModuleFileNameW(nullptr, own_path, MAX_PATH);
  std::ofstream record(std::filesystem::path(own_path).replace_filename(L"launches.txt"),
                       std::ios::app | std::ios::binary);
  const std::u8string utf8 = std::filesystem::path(line).u8string() + u8"\n";
  record.write(reinterpret_cast<const char*>(utf8.data()),
               static_cast<std::streamsize>(utf8.size()));
  return record ? 0 : 1;
}
