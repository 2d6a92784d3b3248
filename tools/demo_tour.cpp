// demo_tour: starts the Mailstow of a program folder, walks its wizard to the backup's client
// page and identity page as a user would, saves a picture of the screen at each stop, names the
// mail clients the wizard found, and closes the wizard.
//   demo_tour PROGRAM_FOLDER OUTPUT_FOLDER
// Exit code 0 when every stop was reached and the wizard ended normally.
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

#include "base/client_table.h"
#include "tests/e2e/driver.h"

namespace mailstow {
namespace {

using namespace e2e;

constexpr int kClientPage = 3;
constexpr int kIdentityPage = 4;

class Tour {
 public:
  Tour(std::wstring program_folder, std::wstring output_folder)
      : program_folder_(std::move(program_folder)), output_folder_(std::move(output_folder)) {}

  int Run() {
    if (!program_.Start(program_folder_ + L"Mailstow.exe", L"")) return Fail(L"it did not start");
    form_ = program_.WaitForWindow(L"MailstowForm", 60s);
    if (form_ == nullptr) return Fail(L"its window did not appear");
    Settle();
    if (!Picture(L"1-welcome.bmp")) return Fail(L"the picture could not be saved");
    Press(L"Button3");
    Press(L"RadioButton1");  // back up
    Press(L"Button3");
    if (ActivePage() != kClientPage) return Fail(L"the client page did not follow");
    std::wstring found;
    for (const ClientInfo& client : AllClients()) {
      HWND button = Control(std::wstring(client.radio_button));
      if (button == nullptr || !IsWindowEnabled(button)) continue;
      found += (found.empty() ? L"" : L", ") + WindowText(button);
      if (SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED) chosen_ = WindowText(button);
    }
    Say(L"Mail clients found: " + (found.empty() ? L"none" : found) + L"\n");
    Picture(L"2-clients.bmp");
    Press(L"Button3");
    if (ActivePage() != kIdentityPage) return Fail(L"the identity page did not follow");
    Say(L"Identities and items of " + chosen_ + L" shown\n");
    Picture(L"3-items.bmp");
    PostMessageW(form_, WM_CLOSE, 0, 0);
    if (program_.WaitForExit(30s) != 0) return Fail(L"it did not close normally");
    return 0;
  }

 private:
  HWND Control(const std::wstring& component) const { return WizardControl(form_, component); }
  int ActivePage() const { return ActiveWizardPage(form_); }
  void Settle() const { e2e::Settle(form_); }

  void Press(const wchar_t* button) {
    Click(Control(button));
    Settle();
  }

  bool Picture(const std::wstring& name) {
    RedrawWindow(form_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Settle();
    return SaveScreenshot(output_folder_ + name);
  }

  static void Say(const std::wstring& text) {
    std::fputws(text.c_str(), stdout);
    std::fflush(stdout);
  }

  int Fail(const std::wstring& what) {
    std::fputws((L"demo_tour: the wizard went wrong: " + what + L"\n").c_str(), stderr);
    program_.Kill();
    return 1;
  }

  std::wstring program_folder_;
  std::wstring output_folder_;
  Program program_;
  HWND form_ = nullptr;
  std::wstring chosen_;
};

}  // namespace
}  // namespace mailstow

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputws(L"usage: demo_tour PROGRAM_FOLDER OUTPUT_FOLDER\n", stderr);
    return 2;
  }
  std::wstring program_folder = argv[1];
  std::wstring output_folder = argv[2];
  for (std::wstring* folder : {&program_folder, &output_folder}) {
    if (folder->back() != L'\\') *folder += L'\\';
  }
  return mailstow::Tour(program_folder, output_folder).Run();
}
