// A running Mailstow wizard driven through its windows: pages, fields, buttons and the
// message boxes it raises.
#pragma once

#include <string>

#include "tests/e2e/driver.h"

namespace mailstow::e2e {

class WizardSession {
 public:
  // Starts Mailstow.exe of the program folder with the arguments and waits for its window.
  bool Start(const std::wstring& program_folder, const std::wstring& arguments = L"");
  HWND form() const { return form_; }
  Program& program() { return program_; }

  // Closes a running wizard, starts a new one and goes with the action ("RadioButton1" backup,
  // "RadioButton2" restore) to the page after the client page; the preselected client must be
  // the given radio button, unless `choose` (then the button is pressed).
  ::testing::AssertionResult StartAt(const std::wstring& program_folder, const wchar_t* action,
                                     const wchar_t* client, bool choose = false);
  // On the restore source page: types the archive path and presses Next; true when the
  // restore lists page follows.
  bool OpenArchive(const std::wstring& archive);

  HWND Control(const wchar_t* component) const;
  // The wizard page (1..14) whose controls are visible; 0 when none.
  int ActivePage() const;
  // Presses a button and waits until the program reacts (a message box, or a settled page).
  void Press(const wchar_t* button);
  void Next() { Press(L"Button3"); }
  void Back() { Press(L"Button2"); }
  void Type(const wchar_t* field, const std::wstring& text);
  std::wstring Text(const wchar_t* component) const;
  bool Checked(const wchar_t* component) const;
  // The message box currently shown, waiting up to the timeout; null when none.
  HWND WaitForBox(std::chrono::milliseconds timeout = 5s) const;
  // Expects a message box with that text, presses the answer, and returns whether it was
  // there with that text.
  ::testing::AssertionResult Answer(const std::wstring& text, const std::wstring& button);
  ::testing::AssertionResult NoBox() const;
  // A visible form of the program other than the wizard (a dialog), waiting up to the timeout.
  HWND OtherForm(std::chrono::milliseconds timeout = 10s) const;
  // Types the password into the password prompt and presses OK.
  ::testing::AssertionResult EnterPassword(const std::wstring& password);
  // Fills the archive-file page: the path, a password typed twice, floppy-sized volumes.
  void FillArchivePage(const std::wstring& archive, const std::wstring& password, bool split);
  // Presses Next on a ready page and waits for the run's completion page.
  ::testing::AssertionResult RunFrom(int ready_page, int completion_page);
  // From the backup lists page: Next, the archive page filled, and the backup run to its
  // completion page.
  ::testing::AssertionResult RunBackup(const std::wstring& archive, const std::wstring& password,
                                       bool split);
  // Waits until the wizard shows the page; true when it does.
  bool WaitForPage(int page, std::chrono::milliseconds timeout = 60s) const;
  void Screenshot(const std::wstring& name) const;
  void Close();

 private:
  void Settle() const;

  Program program_;
  HWND form_ = nullptr;
};

}  // namespace mailstow::e2e
