#include "main_form.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/folders.h"
#include "app/registry_key.h"
#include "app/settings_store.h"

namespace mailstow {
namespace {

constexpr wchar_t kLibraryMissing[] = L"SQX.DLL not found! Reinstall Letterkeep!";

}  // namespace

MainForm::MainForm(HINSTANCE instance) : instance_(instance) {}

MainForm::~MainForm() = default;

bool MainForm::FormCreate() {
  program_folder_ = ProgramFolder();
  // 6. Bind the archiver library before anything is read or written.
  if (!archiver_.Load(program_folder_)) {
    MessageBoxW(nullptr, kLibraryMissing, kApplicationTitle, MB_OK | MB_ICONERROR | MB_TASKMODAL);
    return false;
  }
  // 7.
  archive_password_.clear();
  started_with_archive_ = false;
  form1_ = std::make_unique<FormWindow>(*FindForm(L"Form1"));
  form1_->Create(instance_, nullptr, kApplicationTitle, true);
  prompts_.set_owner(form1_->hwnd());
  form1_->on_message = [this](UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    return HandleMessage(message, wparam, lparam, result);
  };
  SendMessageW(form1_->Control(L"ProgressBar1"), PBM_SETPOS, 0, 0);
  // 8. The wizard pages carry no tabs; they are switched by code only.
  // 9, 10.
  personal_folder_ = PersonalFolder();
  // 11, 12.
  std::vector<std::wstring> wrong_types;
  {
    RegistryKey key;
    key.Open(HKEY_CURRENT_USER, kSettingsKeyPath, true);
    SettingsEnvironment environment;
    environment.personal_folder = personal_folder_;
    environment.now = LocalNowAsDays();
    environment.user_language_id = GetUserDefaultLangID();
    LoadSettings(key, environment, settings_, wrong_types);
    language_ = settings_.language;
    // 13.
    PlaceWindow();
    // 14. The key closes here.
  }
  // 16 comes before the report so that the staging folder is set whatever happens next.
  staging_folder_ = program_folder_ + L"Temp";
  CreateFolderTree(staging_folder_);
  ReportWrongTypes(wrong_types);
  // 15.
  ChooseLanguageAtStart();
  return true;
}

void MainForm::ReportWrongTypes(const std::vector<std::wstring>& names) {
  for (const std::wstring& name : names) {
    prompts_.Show(PromptKind::kError, PromptButtons::kOk, InvalidDataTypeMessage(name));
  }
}

void MainForm::PlaceWindow() {
  const int screen_width = GetSystemMetrics(SM_CXSCREEN);
  const int screen_height = GetSystemMetrics(SM_CYSCREEN);
  const int left = std::min(settings_.x, screen_width - 5);
  const int top = std::min(settings_.y, screen_height - 150);
  SetWindowPos(form1_->hwnd(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainForm::CreateDialogs() {
  for (auto [form, name] : {std::pair{&form2_, L"Form2"}, std::pair{&form3_, L"Form3"},
                            std::pair{&form4_, L"Form4"}, std::pair{&form5_, L"Form5"}}) {
    *form = std::make_unique<FormWindow>(*FindForm(name));
    (*form)->Create(instance_, form1_->hwnd(), kApplicationTitle, false);
  }
}

void MainForm::PrepareForArchive(const std::wstring& archive_path) {
  started_with_archive_ = true;
  form1_->SetText(L"Edit4", archive_path);
  form1_->SetEnabled(L"Button2", false);
  form1_->SetEnabled(L"Button3", true);
  form1_->ShowPage(9);
}

void MainForm::Show() {
  FormShow();
  ShowWindow(form1_->hwnd(), SW_SHOW);
  UpdateWindow(form1_->hwnd());
}

void MainForm::FormShow() {
  // 1.
  captions_applied_ = false;
  SendMessageW(form1_->Control(L"ProgressBar1"), PBM_SETPOS, 0, 0);
  client_index_ = 0;
  // 2.
  EmptyStagingFolder(staging_folder_);
  // 4.
  ApplyCaptions();
  // 5.
  form1_->SetChecked(L"RadioButton15", settings_.multiple_volumes);
  form1_->SetChecked(L"RadioButton14", !settings_.multiple_volumes);
  SendMessageW(form1_->Control(L"ComboBox2"), CB_SETCURSEL, static_cast<WPARAM>(settings_.volumes), 0);
  // 6, 7.
  if (!started_with_archive_) form1_->ShowPage(1);
  if (tray_mark_ != 0) form1_->ShowPage(7);
  // 8.
  RelayoutForCaptions();
}

void MainForm::RelayoutForCaptions() {
  const RECT button = form1_->ComponentRect(L"Button8");
  const int width = form1_->TextWidth(L"Label34", form1_->Text(L"Button8")) + 18;
  form1_->MoveComponent(L"Button8", button.left, button.top, width, button.bottom - button.top);
  const RECT help = form1_->ComponentRect(L"Button9");
  form1_->MoveComponent(L"Button9", button.left + width + 4, help.top, help.right - help.left,
                        help.bottom - help.top);
  const RECT label = form1_->ComponentRect(L"Label11");
  const int left = label.left + form1_->TextWidth(L"Label11", form1_->Text(L"Label11")) + 8;
  for (const wchar_t* field : {L"Edit2", L"Edit3"}) {
    const RECT rect = form1_->ComponentRect(field);
    form1_->MoveComponent(field, left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  }
}

void MainForm::ChooseLanguageAtStart() {}

void MainForm::ApplyCaptions() { captions_applied_ = true; }

bool MainForm::HandleMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_CLOSE:
      FormCloseQuery();
      FormClose();
      DestroyWindow(form1_->hwnd());
      result = 0;
      return true;
    case WM_DESTROY:
      PostQuitMessage(0);
      result = 0;
      return true;
    default:
      return false;
  }
}

void MainForm::FormCloseQuery() { cancel_requested_ = 1; }

bool MainForm::BackupRunning() const {
  const auto position = SendMessageW(form1_->Control(L"ProgressBar1"), PBM_GETPOS, 0, 0);
  return position > 0 && position < 100 && !archive_incomplete_;
}

void MainForm::FormClose() {
  // 1.
  if (BackupRunning()) return;
  // 2.
  archiver_.Unload();
  // 3.
  RegistryKey key;
  if (key.Open(HKEY_CURRENT_USER, kSettingsKeyPath, true)) {
    RECT frame;
    GetWindowRect(form1_->hwnd(), &frame);
    settings_.x = frame.left;
    settings_.y = frame.top;
    settings_.language = language_;
    SaveSettingsAtClose(key, settings_, personal_folder_);
  }
  // 4.
  EmptyStagingFolder(staging_folder_);
  // 5. The language components forget their files.
}

int MainForm::RunMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(form1_->hwnd(), &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return static_cast<int>(message.wParam);
}

void MainForm::RunUnattended() {}

void MainForm::RunUninstall() {}

}  // namespace mailstow
