// Real folders and files for the language tests under Wine, and a recording stand-in for
// the user's message boxes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/user_prompts.h"

namespace mailstow {

// A new empty folder under the temporary folder, removed with its files afterwards.
class TempFolder {
 public:
  TempFolder() {
    static int counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"mailstow-lng-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter) + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TempFolder() { Remove(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& path() const { return path_; }

  std::wstring Write(const std::wstring& name, const std::string& bytes) const {
    const std::wstring file = path_ + name;
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(handle);
    return file;
  }

  std::string Read(const std::wstring& name) const {
    std::string bytes;
    HANDLE handle = CreateFileW((path_ + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(handle, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
      bytes.append(buffer, read);
    }
    CloseHandle(handle);
    return bytes;
  }

 private:
  static void Remove(const std::wstring& folder) {
    WIN32_FIND_DATAW entry{};
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          Remove(path + L"\\");
        } else {
          DeleteFileW(path.c_str());
        }
      } while (FindNextFileW(search, &entry));
      FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
  }

  std::wstring path_;
};

struct RecordedPrompt {
  PromptKind kind;
  PromptButtons buttons;
  std::wstring text;
};

class RecordingPrompts : public UserPrompts {
 public:
  PromptAnswer Show(PromptKind kind, PromptButtons buttons, const std::wstring& text) override {
    shown.push_back({kind, buttons, text});
    return PromptAnswer::kOk;
  }
  std::optional<std::wstring> AskPassword() override { return std::nullopt; }

  std::vector<RecordedPrompt> shown;
};

}  // namespace mailstow
