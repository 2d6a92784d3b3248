#include <gtest/gtest.h>

#include "tests/e2e/wizard_session.h"

#include <cstdlib>
#include <thread>

#include "ui/form_layout.h"

namespace mailstow::e2e {

bool WizardSession::Start(const std::wstring& program_folder, const std::wstring& arguments) {
  if (!program_.Start(program_folder + L"Mailstow.exe", arguments)) return false;
  form_ = program_.WaitForWindow(L"MailstowForm");
  Settle();
  return form_ != nullptr;
}

::testing::AssertionResult WizardSession::StartAt(const std::wstring& program_folder,
                                                  const wchar_t* action, const wchar_t* client,
                                                  bool choose) {
  Close();
  if (!Start(program_folder)) return ::testing::AssertionFailure() << "the wizard did not start";
  Next();
  Press(action);
  Next();
  if (choose) Press(client);
  if (!Checked(client)) return ::testing::AssertionFailure() << "another client is preselected";
  Next();
  return ::testing::AssertionSuccess();
}

bool WizardSession::OpenArchive(const std::wstring& archive) {
  Type(L"Edit4", archive);
  Next();
  return ActivePage() == 10;
}

HWND WizardSession::Control(const wchar_t* component) const {
  return WizardControl(form_, component);
}

int WizardSession::ActivePage() const { return ActiveWizardPage(form_); }

void WizardSession::Settle() const { e2e::Settle(form_); }

void WizardSession::Press(const wchar_t* button) {
  Click(Control(button));
  Settle();
}

void WizardSession::Type(const wchar_t* field, const std::wstring& text) {
  TypeText(Control(field), text);
}

std::wstring WizardSession::Text(const wchar_t* component) const {
  return WindowText(Control(component));
}

bool WizardSession::Checked(const wchar_t* component) const {
  return SendMessageW(Control(component), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

HWND WizardSession::WaitForBox(std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const std::vector<HWND> boxes = program_.TopLevelWindows(L"#32770");
    if (!boxes.empty()) return boxes.front();
    if (std::chrono::steady_clock::now() >= deadline) return nullptr;
    std::this_thread::sleep_for(50ms);
  }
}

::testing::AssertionResult WizardSession::Answer(const std::wstring& text,
                                                 const std::wstring& button) {
  HWND box = WaitForBox();
  if (box == nullptr)
    return ::testing::AssertionFailure()
           << "no message box; expected: " << ::testing::PrintToString(text);
  const std::wstring shown = MessageBoxText(box);
  PressButton(box, button);
  for (int i = 0; i < 50 && IsWindow(box); ++i) std::this_thread::sleep_for(50ms);
  Settle();
  if (shown != text) {
    return ::testing::AssertionFailure() << "message box says " << ::testing::PrintToString(shown)
                                         << ", expected " << ::testing::PrintToString(text);
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult WizardSession::NoBox() const {
  HWND box = WaitForBox(300ms);
  if (box == nullptr) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "unexpected message box: " << ::testing::PrintToString(MessageBoxText(box));
}

HWND WizardSession::OtherForm(std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    for (HWND window : program_.TopLevelWindows(L"MailstowForm")) {
      if (window != form_) return window;
    }
    if (std::chrono::steady_clock::now() >= deadline) return nullptr;
    std::this_thread::sleep_for(50ms);
  }
}

::testing::AssertionResult WizardSession::EnterPassword(const std::wstring& password) {
  HWND prompt = OtherForm();
  if (prompt == nullptr) return ::testing::AssertionFailure() << "no password prompt";
  TypeText(FindControl(prompt, ComponentId(L"Form2", L"Edit1")), password);
  Click(FindControl(prompt, ComponentId(L"Form2", L"Button1")));
  Settle();
  return ::testing::AssertionSuccess();
}

void WizardSession::FillArchivePage(const std::wstring& archive, const std::wstring& password,
                                    bool split) {
  Type(L"Edit1", archive);
  if (!password.empty()) {
    Press(L"CheckBox1");
    Type(L"Edit2", password);
    Type(L"Edit3", password);
  }
  if (split) {
    Press(L"RadioButton15");
    SendMessageW(Control(L"ComboBox2"), CB_SETCURSEL, 0, 0);  // Floppy
  }
}

::testing::AssertionResult WizardSession::RunFrom(int ready_page, int completion_page) {
  if (ActivePage() != ready_page) {
    return ::testing::AssertionFailure() << "on page " << ActivePage() << ", not " << ready_page;
  }
  Next();
  if (!WaitForPage(completion_page, 120s)) {
    return ::testing::AssertionFailure() << "the run ended on page " << ActivePage();
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult WizardSession::RunBackup(const std::wstring& archive,
                                                    const std::wstring& password, bool split) {
  Next();
  if (ActivePage() != 5) return ::testing::AssertionFailure() << "no archive page";
  FillArchivePage(archive, password, split);
  Next();
  return RunFrom(6, 8);
}

bool WizardSession::WaitForPage(int page, std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (ActivePage() != page) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

void WizardSession::Screenshot(const std::wstring& name) const {
  const char* folder = std::getenv("MAILSTOW_SCREENSHOTS");
  if (folder == nullptr) return;
  std::this_thread::sleep_for(300ms);
  SaveScreenshot(WindowsPath(folder) + L"\\" + name + L".bmp");
}

void WizardSession::Close() {
  if (form_ != nullptr && IsWindow(form_)) PostMessageW(form_, WM_CLOSE, 0, 0);
  program_.WaitForExit(10s);
}

}  // namespace mailstow::e2e
