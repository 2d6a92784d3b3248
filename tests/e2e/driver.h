// Drives the real Mailstow.exe as a person would: starts it in a program folder, finds its
// windows and message boxes, reads their texts, types into fields and clicks buttons.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace mailstow::e2e {

using namespace std::chrono_literals;

// A Windows path for a Linux path of the test environment (Wine maps "/" to Z:).
std::wstring WindowsPath(const std::string& linux_path);
// The Linux path of a Windows path, as Wine maps it; empty outside Wine.
std::string UnixPath(const std::wstring& windows_path);
// The program folder that the build prepared (MAILSTOW_DIST), as a Windows path.
std::wstring DistFolder();

// Makes a fresh program folder holding copies of the named files of the build's program
// folder; returns it with a trailing "\".
std::wstring PrepareProgramFolder(const std::wstring& name, const std::vector<std::wstring>& files);
void CopyInto(const std::wstring& source_file, const std::wstring& folder, const std::wstring& as);
bool FileExists(const std::wstring& path);
// A file's bytes; "<missing>" when it cannot be opened.
std::string FileBytes(const std::wstring& path);
// Writes the bytes as the whole file, replacing any earlier one; false when it cannot.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::vector<std::wstring> ListFolder(const std::wstring& folder);
void RemoveTree(const std::wstring& folder);

class Program {
 public:
  Program() = default;
  ~Program();  // ends the process if it still runs
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Start(const std::wstring& executable, const std::wstring& arguments);
  DWORD pid() const { return info_.dwProcessId; }
  HANDLE handle() const { return info_.hProcess; }
  // Exit code, or STILL_ACTIVE when the timeout passed first.
  DWORD WaitForExit(std::chrono::milliseconds timeout = 20s);
  bool Running() const;
  void Kill();

  // The visible top-level window of the given class ("MailstowForm" for forms, "#32770" for
  // message boxes), waiting up to the timeout; null when none appeared.
  HWND WaitForWindow(const std::wstring& window_class,
                     std::chrono::milliseconds timeout = 20s) const;
  std::vector<HWND> TopLevelWindows(const std::wstring& window_class) const;

 private:
  PROCESS_INFORMATION info_ = {};
};

// Ends every process whose executable file is named so (in any letter case and folder): a
// test's clean slate.
void EndProcessesNamed(const std::wstring& executable_name);

std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
// The text of a message box: its longest static text.
std::wstring MessageBoxText(HWND box);
// The labels of a message box's buttons.
std::vector<std::wstring> MessageBoxButtons(HWND box);
// Presses the button of a dialog whose caption is `label`; false when there is none.
bool PressButton(HWND dialog, const std::wstring& label);
// A control of a form by its control identifier, searched in all descendants.
HWND FindControl(HWND form, int id);
// A control of the wizard window by its component name.
HWND WizardControl(HWND form, std::wstring_view component);
// The wizard page (1..14) whose controls are visible; 0 when none.
int ActiveWizardPage(HWND form);
// Returns once the program of the window has handled everything posted to it before (or runs
// a modal loop).
void Settle(HWND form);
void Click(HWND button);
void TypeText(HWND field, const std::wstring& text);
bool IsShown(HWND window);

// Registry helpers for tests.
std::wstring ReadRegistryString(HKEY root, const std::wstring& key, const std::wstring& name);

}  // namespace mailstow::e2e

namespace mailstow::e2e {

// Saves the screen as a 24-bit BMP file.
bool SaveScreenshot(const std::wstring& path);

// Check-list boxes of the program: entry count, texts and ticks, and a tick toggled the way
// a user does it (select the entry, press the space bar).
int ListCount(HWND list);
std::wstring ListText(HWND list, int index);
// Every entry's text, in list order.
std::vector<std::wstring> ListTexts(HWND list);
bool ListTicked(HWND list, int index);
bool ListEntryEnabled(HWND list, int index);
void ListToggle(HWND list, int index);

}  // namespace mailstow::e2e
