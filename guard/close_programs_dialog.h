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

 private:
  void OnCommand(const std::wstring& component);
  void CloseAll();
  void Close();

  FormWindow& form_;
  WindowList& windows_;
  bool closed_ = true;
};

}  // namespace mailstow
