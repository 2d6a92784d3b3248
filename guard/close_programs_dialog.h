// The close-programs dialog (Form5) and the running-client check that shows it.
#pragma once

#include <string>

#include "ui/form_window.h"
#include "guard/window_list.h"

namespace mailstow {

class CloseProgramsDialog {
 public:
  CloseProgramsDialog(FormWindow& form, WindowList& windows);

  // Lists the windows of the executable (and shows the dialog modally over owner) when
  // there are any; true when something was found.
  bool CheckRunningClient(const std::wstring& executable, HWND owner);
  // 0 after "OK", 10 after "Wait 5 minutes"; unchanged otherwise.
  int result_mark() const { return result_mark_; }
  void ShowWaitButton(bool show) { form_.SetVisible(L"Button2", show); }

 private:
  void OnCommand(const std::wstring& component);
  void CloseAll();
  void Close();

  FormWindow& form_;
  WindowList& windows_;
  int result_mark_ = 0;
  bool closed_ = true;
};

}  // namespace mailstow
