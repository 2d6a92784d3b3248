// Mailstow: the backup wizard, the unattended backup ("/auto") and the uninstall
// cleanup ("/uninst").
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "app/main_form.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES |
                                                         ICC_PROGRESS_CLASS | ICC_DATE_CLASSES};
  InitCommonControlsEx(&controls);

  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const std::wstring first = argc > 1 ? argv[1] : L"";
  const bool has_argument = argc > 1;
  LocalFree(argv);

  using StartMode = mailstow::MainForm::StartMode;
  StartMode mode = StartMode::kWizard;
  if (has_argument && first == L"/auto") mode = StartMode::kUnattended;
  if (has_argument && first == L"/uninst") mode = StartMode::kUninstall;
  mailstow::MainForm form(instance);
  if (!form.FormCreate(mode)) return 1;
  form.CreateDialogs();

  if (mode == StartMode::kUnattended) return form.RunUnattended();
  if (mode == StartMode::kUninstall) {
    form.RunUninstall();
    return 0;
  }
  if (has_argument) form.PrepareForArchive(first);
  form.Show();
  return form.RunMessageLoop();
}
