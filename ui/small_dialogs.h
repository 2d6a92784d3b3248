// The small dialogs around the wizard: the password prompt, the about box and the folder
// picker, plus the delay that keeps the window responsive.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "ui/form_window.h"
#include "base/user_prompts.h"

namespace mailstow {

// Shows a form modally over its owner until `closed` becomes true.
void RunModal(FormWindow& dialog, HWND owner, const bool& closed);

// Processes window messages for the given time (the delay component).
void Delay(DWORD milliseconds);

// Lets the user interface handle every pending message.
void ProcessPendingMessages();

// The password prompt (Form2): one masked field, OK and Cancel.
class PasswordPrompt {
 public:
  using MessageLookup = std::function<std::wstring(std::wstring_view)>;
  PasswordPrompt(FormWindow& form, UserPrompts& prompts, MessageLookup message);

  // Shows the prompt over owner; the entered password, or nullopt after Cancel.
  std::optional<std::wstring> Ask(HWND owner);
  // 1 when the last showing ended with Cancel.
  int cancelled_mark() const { return cancelled_; }

 private:
  void OnCommand(const std::wstring& component);

  FormWindow& form_;
  UserPrompts& prompts_;
  MessageLookup message_;
  bool closed_ = false;
  int cancelled_ = 0;
  std::wstring password_;
};

// The shell's folder browser titled "Select Folder", starting at `start`; the chosen folder,
// or `start` unchanged when the user cancels.
std::wstring BrowseForFolder(HWND owner, const std::wstring& start);

}  // namespace mailstow
