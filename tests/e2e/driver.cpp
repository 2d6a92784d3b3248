#include "driver.h"

#include "guard/process_list.h"
#include "ui/form_layout.h"

#include <cstdlib>
#include <thread>

namespace mailstow::e2e {

std::wstring WindowsPath(const std::string& linux_path) {
  std::wstring path = L"Z:";
  for (char c : linux_path)
    path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
  return path;
}

std::string UnixPath(const std::wstring& windows_path) {
  using ToUnix = char*(CDECL*)(const wchar_t*);
  const auto to_unix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (to_unix == nullptr) return {};
  char* unix_path = to_unix(windows_path.c_str());
  if (unix_path == nullptr) return {};
  std::string result = unix_path;
  HeapFree(GetProcessHeap(), 0, unix_path);
  return result;
}

std::wstring DistFolder() {
  const char* dist = std::getenv("MAILSTOW_DIST");
  return dist == nullptr ? L"" : WindowsPath(dist) + L"\\";
}

void RemoveTree(const std::wstring& folder) {
  // Never a drive root or a relative name: tests only remove folders they know.
  if (folder.size() < 4 || folder[1] != L':' || folder[2] != L'\\') return;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

void CopyInto(const std::wstring& source_file, const std::wstring& folder, const std::wstring& as) {
  CopyFileW(source_file.c_str(), (folder + as).c_str(), FALSE);
}

std::wstring PrepareProgramFolder(const std::wstring& name,
                                  const std::vector<std::wstring>& files) {
  const std::wstring folder = L"C:\\Tests\\" + name;
  RemoveTree(folder);
  CreateDirectoryW(L"C:\\Tests", nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const std::wstring& file : files) CopyInto(DistFolder() + file, folder + L"\\", file);
  return folder + L"\\";
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FileBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string content(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &read, nullptr);
  CloseHandle(file);
  return content;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool done =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  CloseHandle(file);
  return done;
}

std::vector<std::wstring> ListFolder(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

Program::~Program() {
  if (Running()) Kill();
  if (info_.hProcess != nullptr) CloseHandle(info_.hProcess);
  if (info_.hThread != nullptr) CloseHandle(info_.hThread);
}

bool Program::Start(const std::wstring& executable, const std::wstring& arguments) {
  std::wstring command = L"\"" + executable + L"\"";
  if (!arguments.empty()) command += L" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  const std::wstring folder = executable.substr(0, executable.find_last_of(L'\\'));
  return CreateProcessW(executable.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info_) != 0;
}

DWORD Program::WaitForExit(std::chrono::milliseconds timeout) {
  if (info_.hProcess == nullptr) return STILL_ACTIVE;
  WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeout.count()));
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

bool Program::Running() const {
  return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

void Program::Kill() {
  TerminateProcess(info_.hProcess, 99);
  WaitForSingleObject(info_.hProcess, 5000);
}

namespace {

struct WindowSearch {
  DWORD pid;
  const std::wstring* cls;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->pid && IsWindowVisible(window) && ClassName(window) == *search->cls) {
    search->found.push_back(window);
  }
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
  return TRUE;
}

}  // namespace

std::vector<HWND> Program::TopLevelWindows(const std::wstring& window_class) const {
  WindowSearch search{info_.dwProcessId, &window_class, {}};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND Program::WaitForWindow(const std::wstring& window_class,
                            std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    const std::vector<HWND> windows = TopLevelWindows(window_class);
    if (!windows.empty()) return windows.front();
    std::this_thread::sleep_for(100ms);
  } while (std::chrono::steady_clock::now() < deadline && Running());
  const std::vector<HWND> windows = TopLevelWindows(window_class);
  return windows.empty() ? nullptr : windows.front();
}

std::wstring WindowText(HWND window) {
  wchar_t buffer[4096] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                      5000, nullptr);
  return buffer;
}

std::wstring ClassName(HWND window) {
  wchar_t buffer[256] = {};
  GetClassNameW(window, buffer, 256);
  return buffer;
}

namespace {

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

bool IsButtonClass(const std::wstring& cls) { return _wcsicmp(cls.c_str(), L"Button") == 0; }

}  // namespace

std::wstring MessageBoxText(HWND box) {
  std::wstring text;
  for (HWND child : Children(box)) {
    if (_wcsicmp(ClassName(child).c_str(), L"Static") != 0) continue;
    const std::wstring candidate = WindowText(child);
    if (candidate.size() > text.size()) text = candidate;
  }
  return text;
}

std::vector<std::wstring> MessageBoxButtons(HWND box) {
  std::vector<std::wstring> labels;
  for (HWND child : Children(box)) {
    if (IsButtonClass(ClassName(child)) && IsWindowVisible(child)) {
      std::wstring label = WindowText(child);
      std::erase(label, L'&');
      labels.push_back(label);
    }
  }
  return labels;
}

bool PressButton(HWND dialog, const std::wstring& label) {
  for (HWND child : Children(dialog)) {
    if (!IsButtonClass(ClassName(child))) continue;
    std::wstring text = WindowText(child);
    std::erase(text, L'&');
    if (text == label) {
      // A dialog reacts to the command of its button as to a click.
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(child), BN_CLICKED),
                   reinterpret_cast<LPARAM>(child));
      return true;
    }
  }
  return false;
}

HWND FindControl(HWND form, int id) {
  for (HWND child : Children(form)) {
    if (GetDlgCtrlID(child) == id) return child;
  }
  return nullptr;
}

HWND WizardControl(HWND form, std::wstring_view component) {
  return FindControl(form, ComponentId(L"Form1", component));
}

int ActiveWizardPage(HWND form) {
  for (const ComponentSpec& component : FindForm(L"Form1")->components) {
    if (component.page == 0 || component.width == 0) continue;
    HWND control = WizardControl(form, component.name);
    if (control != nullptr && IsWindowVisible(control)) return component.page;
  }
  return 0;
}

void Settle(HWND form) {
  // The program handles a message only between its other work: a reply to a message sent
  // now means everything posted before it was handled, or a modal loop runs.
  for (int i = 0; i < 3; ++i) {
    SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
    std::this_thread::sleep_for(100ms);
  }
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void TypeText(HWND field, const std::wstring& text) {
  SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                      SMTO_ABORTIFHUNG, 5000, nullptr);
}

bool IsShown(HWND window) { return IsWindowVisible(window) != 0; }

std::wstring ReadRegistryString(HKEY root, const std::wstring& key, const std::wstring& name) {
  // HKLM in the 32-bit view, where the programs keep it in every build.
  HKEY opened = nullptr;
  const REGSAM view = root == HKEY_LOCAL_MACHINE ? KEY_WOW64_32KEY : 0;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) {
    return L"<missing>";
  }
  wchar_t buffer[2048] = {};
  DWORD size = sizeof(buffer) - sizeof(wchar_t);
  const LSTATUS status =
      RegGetValueW(opened, nullptr, name.c_str(),
                   RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, buffer, &size);
  RegCloseKey(opened);
  return status == ERROR_SUCCESS ? std::wstring(buffer) : L"<missing>";
}

}  // namespace mailstow::e2e

namespace mailstow::e2e {

bool SaveScreenshot(const std::wstring& path) {
  HDC screen = GetDC(nullptr);
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof(header);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  const DWORD row = static_cast<DWORD>((width * 3 + 3) & ~3);
  std::vector<unsigned char> pixels(static_cast<size_t>(row) * static_cast<size_t>(height));
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
            reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(header);
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(out, &file, sizeof(file), &written, nullptr);
  WriteFile(out, &header, sizeof(header), &written, nullptr);
  WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
  CloseHandle(out);
  return true;
}

int ListCount(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)); }

std::wstring ListText(HWND list, int index) {
  wchar_t text[1024] = {};
  SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  return text;
}

std::vector<std::wstring> ListTexts(HWND list) {
  std::vector<std::wstring> texts;
  for (int i = 0; i < ListCount(list); ++i) texts.push_back(ListText(list, i));
  return texts;
}

bool ListTicked(HWND list, int index) {
  return (SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0) & 1) != 0;
}

bool ListEntryEnabled(HWND list, int index) {
  return (SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0) & 2) == 0;
}

void ListToggle(HWND list, int index) {
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
}

void EndProcessesNamed(const std::wstring& executable_name) {
  ProcessList processes;
  processes.Refresh();
  for (const ProcessInfo& process : processes.entries()) {
    if (_wcsicmp(process.name.c_str(), executable_name.c_str()) == 0)
      EndProcess(process.process_id);
  }
}

}  // namespace mailstow::e2e
