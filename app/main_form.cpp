#include "main_form.h"

#include <commctrl.h>
#include <shellapi.h>

#include "base/client_table.h"
#include "base/folders.h"
#include "base/ini_text.h"
#include "app/english_language.h"
#include "app/language_list.h"
#include "base/registry_key.h"
#include "app/settings_store.h"
#include "base/ansi_text.h"
#include "auto/passwd.h"
#include "auto/uninstall_cleanup.h"

namespace mailstow {
namespace {

constexpr wchar_t kLibraryMissing[] = L"SQX.DLL not found! Reinstall Letterkeep!";

constexpr const wchar_t* kVolumeSizes[] = {L"Floppy Disk (1.44 Mb)", L"ZIP 100Mb", L"ZIP 250Mb",
                                           L"CD 650Mb", L"CD 700Mb"};

}  // namespace

MainForm::MainForm(HINSTANCE instance)
    : instance_(instance), captions_(prompts_), messages_(prompts_, &captions_) {}

MainForm::~MainForm() {
  if (underlined_font_ != nullptr) DeleteObject(underlined_font_);
}

bool MainForm::FormCreate(StartMode mode) {
  const bool unattended = mode == StartMode::kUnattended;
  const bool uninstall = mode == StartMode::kUninstall;
  program_folder_ = ProgramFolder();
  // 6. Bind the archiver library before anything is read or written. The uninstall cleanup
  // does not archive: a damaged installation without the library can still be uninstalled
  // without a box holding the uninstaller up.
  if (!uninstall && !archiver_.Load(program_folder_)) {
    MessageBoxW(nullptr, kLibraryMissing, kApplicationTitle, MB_OK | MB_ICONERROR | MB_TASKMODAL);
    return false;
  }
  form1_ = std::make_unique<FormWindow>(*FindForm(L"Form1"));
  form1_->Create(instance_, nullptr, kApplicationTitle, true);
  job_ = std::make_unique<FormWizardJob>(*form1_);
  boxes_.set_owner(form1_->hwnd());
  form1_->on_message = [this](UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    return HandleMessage(message, wparam, lparam, result);
  };
  form1_->OnCommand([this](const std::wstring& component, int notification) {
    OnCommand(component, notification);
  });
  // Design texts: the built-in English captions, the client names and the volume sizes.
  const IniText english = IniText::Parse(BuiltInEnglishText());
  for (const std::wstring& key : english.KeyNames(L"Form1")) {
    form1_->SetText(key, english.ReadString(L"Form1", key, L""));
  }
  for (const ClientInfo& client : AllClients()) {
    form1_->SetText(std::wstring(client.radio_button), std::wstring(client.caption));
  }
  form1_->SetText(L"Button9", L"Help");
  for (const wchar_t* size : kVolumeSizes) {
    SendMessageW(form1_->Control(L"ComboBox2"), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(size));
  }
  form1_->SetChecked(L"RadioButton1", true);
  form1_->SetChecked(L"RadioButton11", true);
  form1_->SetEnabled(L"Edit2", false);
  form1_->SetEnabled(L"Edit3", false);
  // The undo offers show only while an undo is at hand.
  form1_->SetVisible(L"Button11", false);
  form1_->SetVisible(L"Button12", false);
  // 7.
  job_->archive_password.clear();
  job_->started_with_archive = false;
  SetBackupProgress(0);
  // 8. The wizard pages carry no tabs; they are switched by code only.
  // 9, 10.
  personal_folder_ = PersonalFolder();
  // 11, 12.
  std::vector<std::wstring> wrong_types;
  {
    RegistryKey key;
    // Read-only for the uninstall cleanup: the defaults of a missing value are then not
    // written back, and a user who never started Mailstow gets no settings key.
    if (uninstall) {
      key.Open(HKEY_CURRENT_USER, kSettingsKeyPath, false, KEY_READ);
    } else {
      key.Open(HKEY_CURRENT_USER, kSettingsKeyPath, true);
    }
    SettingsEnvironment environment;
    environment.personal_folder = personal_folder_;
    environment.now = LocalNowAsDays();
    environment.user_language_id = GetUserDefaultLangID();
    environment.unscramble = [](const std::wstring& scrambled, std::wstring& plain) {
      const UnscrambledPassword result = UnscramblePassword(ToAnsi(scrambled));
      plain = FromAnsi(result.password);
      return !result.malformed;
    };
    LoadSettings(key, environment, settings_, wrong_types);
    language_ = settings_.language;
    // 13.
    PlaceWindow();
    // 14. The key closes here.
  }
  // 16 comes before any report, so that the staging folder is set whatever happens next.
  staging_folder_ = program_folder_ + (unattended ? L"AutoTemp" : L"Temp");
  if (uninstall) {
    wrong_types.clear();
  } else {
    CreateFolderTree(staging_folder_);
  }
  for (const std::wstring& name : wrong_types) {
    prompts_.Show(PromptKind::kError, PromptButtons::kOk, InvalidDataTypeMessage(name));
  }
  // 15.
  ChooseLanguageAtStart();

  tray_ = std::make_unique<TrayIcon>(form1_->hwnd(), L"Letterkeep autobackup");
  tray_->on_double_click = [this] { TrayDoubleClick(); };
  archive_ = std::make_unique<ArchiveJob>(archiver_, *this, log_, staging_folder_);
  registry_ = std::make_unique<TIORegistry>(&prompts_,
                                            [this](const std::wstring& line) { log_.Line(line); });
  adapter_context_.reset(new AdapterContext{*job_, *archive_, *this, log_, *registry_, settings_,
                                            staging_folder_, favorites_last_archive_});
  return true;
}

void MainForm::PlaceWindow() {
  const int screen_width = GetSystemMetrics(SM_CXSCREEN);
  const int screen_height = GetSystemMetrics(SM_CYSCREEN);
  const int left = std::min(settings_.x, screen_width - 5);
  const int top = std::min(settings_.y, screen_height - 150);
  SetWindowPos(form1_->hwnd(), nullptr, left, top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainForm::ChooseLanguageAtStart() {
  LanguageChoice choice = ChooseStartupLanguage(program_folder_, language_);
  language_ = choice.language;
  language_list_ = choice.languages;
  HWND combo = form1_->Control(L"ComboBox1");
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  for (const LanguageEntry& entry : language_list_) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.name.c_str()));
  }
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(choice.selected), 0);
  captions_.set_file_name(choice.file_name);
  messages_.set_file_name(choice.file_name);
}

void MainForm::CreateDialogs() {
  for (auto [form, name] : {std::pair{&form2_, L"Form2"}, std::pair{&form3_, L"Form3"},
                            std::pair{&form4_, L"Form4"}, std::pair{&form5_, L"Form5"}}) {
    *form = std::make_unique<FormWindow>(*FindForm(name));
    (*form)->Create(instance_, form1_->hwnd(), kApplicationTitle, false);
    const IniText english = IniText::Parse(BuiltInEnglishText());
    for (const std::wstring& key : english.KeyNames(name)) {
      (*form)->SetText(key, english.ReadString(name, key, L""));
    }
  }
  password_prompt_ = std::make_unique<PasswordPrompt>(
      *form2_, prompts_, [this](std::wstring_view key) { return Message(key); });
  boxes_.set_password_asker([this] { return password_prompt_->Ask(form1_->hwnd()); });
  windows_.what_to_find = WindowVisibility::kAll;
  close_programs_ = std::make_unique<CloseProgramsDialog>(*form5_, windows_);
  auto_backup_dialog_ = std::make_unique<AutoBackupDialog>(
      *form4_, settings_, prompts_, [this](std::wstring_view key) { return Message(key); },
      program_folder_);
}

void MainForm::ShowAutoBackupDialog() {
  // Boxes raised by the dialog belong to it, so that closing one leaves the wizard disabled.
  boxes_.set_owner(form4_->hwnd());
  auto_backup_dialog_->ShowModal(form1_->hwnd(), form1_->Text(L"Button8"));
  boxes_.set_owner(form1_->hwnd());
}

void MainForm::PrepareForArchive(const std::wstring& archive_path) {
  job_->started_with_archive = true;
  job_->set_restore_archive_path(archive_path);
  form1_->SetEnabled(L"Button2", false);
  form1_->SetEnabled(L"Button3", true);
  form1_->SetText(L"Button3", Message(L"Message3"));
  form1_->ShowPage(9);
}

void MainForm::Show() {
  FormShow();
  ShowWindow(form1_->hwnd(), SW_SHOW);
  UpdateWindow(form1_->hwnd());
  SetTimer(form1_->hwnd(), kWindowListTimer, 500, nullptr);
  ShowRunFailureNotice();
}

void MainForm::ShowRunFailureNotice() {
  const std::optional<RunFailureNotice> notice = TakeRunFailureNotice();
  if (notice) prompts_.Show(PromptKind::kWarning, PromptButtons::kOk, RunFailureText(*notice));
}

void MainForm::FormShow() {
  // Shown from the tray icon during an unattended run: the run owns the job, the staging
  // folder and the client choice, so only the page changes.
  if (tray_->mark() != 0) {
    form1_->ShowPage(7);
    return;
  }
  // 1.
  captions_applied_ = false;
  SetBackupProgress(0);
  job_->client_index = 0;
  // 2.
  EmptyStagingFolder(staging_folder_);
  // 3.
  DetectInstalledClients();
  // 4.
  ApplyCaptions();
  messages_.Load();
  // 5.
  SelectRadio(settings_.multiple_volumes ? L"RadioButton15" : L"RadioButton14");
  SendMessageW(form1_->Control(L"ComboBox2"), CB_SETCURSEL, static_cast<WPARAM>(settings_.volumes),
               0);
  // 6.
  if (!job_->started_with_archive) ShowWizardPage(1);
  // 8.
  RelayoutForCaptions();
}

LanguageFileState MainForm::ApplyCaptions() { return captions_.Apply(*this); }

void MainForm::RelayoutForCaptions() {
  const RECT button = form1_->ComponentRect(L"Button8");
  const int width = form1_->TextWidth(L"Label34", form1_->Text(L"Button8")) + 18;
  form1_->MoveComponent(L"Button8", button.left, button.top, width, button.bottom - button.top);
  const RECT help = form1_->ComponentRect(L"Button9");
  form1_->MoveComponent(L"Button9", button.left + width + 4, help.top, help.right - help.left,
                        help.bottom - help.top);
  const RECT label = form1_->ComponentRect(L"Label11");
  const int text_width = form1_->TextWidth(L"Label11", form1_->Text(L"Label11"));
  // The label takes its text's width, so that a longer translation is not cut off.
  form1_->MoveComponent(L"Label11", label.left, label.top, text_width + 1,
                        label.bottom - label.top);
  const int left = label.left + text_width + 8;
  for (const wchar_t* field : {L"Edit2", L"Edit3"}) {
    const RECT rect = form1_->ComponentRect(field);
    form1_->MoveComponent(field, left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  }
}

void MainForm::LanguageChanged() {
  captions_.Clear();
  messages_.Clear();
  HWND combo = form1_->Control(L"ComboBox1");
  const auto index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (index < 0 || static_cast<size_t>(index) >= language_list_.size()) return;
  language_ = language_list_[static_cast<size_t>(index)].file;
  const std::wstring file = LanguageFileName(program_folder_, language_);
  captions_.set_file_name(file);
  messages_.set_file_name(file);
  ApplyCaptions();
  messages_.Load();
  RelayoutForCaptions();
}

bool MainForm::SetComponentText(const std::wstring& form, const std::wstring& component,
                                const std::wstring& text) {
  FormWindow* target = FormNamed(form);
  if (target == nullptr) return false;
  const ComponentSpec* spec = FindComponent(target->spec(), component);
  if (spec == nullptr) return false;
  switch (spec->kind) {
    case ComponentKind::kEdit:
    case ComponentKind::kPasswordEdit:
    case ComponentKind::kComboBox:
    case ComponentKind::kCheckListBox:
    case ComponentKind::kListBox:
    case ComponentKind::kProgressBar:
    case ComponentKind::kTabControl:
    case ComponentKind::kDatePicker:
    case ComponentKind::kTimePicker:
      return false;
    default:
      return target->SetText(component, text);
  }
}

FormWindow* MainForm::FormNamed(const std::wstring& name) {
  if (name == L"Form1") return form1_.get();
  if (name == L"Form2") return form2_.get();
  if (name == L"Form3") return form3_.get();
  if (name == L"Form4") return form4_.get();
  if (name == L"Form5") return form5_.get();
  return nullptr;
}

std::wstring MainForm::Message(std::wstring_view key) {
  return messages_.GetMessageText(std::wstring(key)).value_or(L"ERROR");
}

void MainForm::ProcessMessages() { ProcessPendingMessages(); }

// The bars are set for every archiver event; only a change reaches the control.
void MainForm::SetBackupProgress(int position) {
  if (position == backup_position_) return;
  backup_position_ = position;
  SendMessageW(form1_->Control(L"ProgressBar1"), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void MainForm::SetRestoreProgress(int position) {
  if (position == restore_position_) return;
  restore_position_ = position;
  SendMessageW(form1_->Control(L"ProgressBar2"), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void MainForm::ShowVerifying(bool verifying) {
  if (verifying) {
    backup_title_ = form1_->Text(L"Label15");
    form1_->SetText(L"Label15", Message(L"Message49"));
  } else {
    form1_->SetText(L"Label15", backup_title_);
  }
}

std::vector<std::wstring> MainForm::ExecutablesOf(int client_index) {
  const ClientInfo* client = ClientByIndex(client_index);
  if (client == nullptr) return {};
  return {client->executables.begin(), client->executables.end()};
}

bool MainForm::ClientRunning(const std::vector<std::wstring>& executables) {
  windows_.Refresh();
  for (const std::wstring& executable : executables) {
    if (close_programs_->CheckRunningClient(executable, form1_->hwnd())) return true;
  }
  return false;
}

void MainForm::OnCommand(const std::wstring& component, int notification) {
  if (component == L"ComboBox1") {
    if (notification == CBN_SELCHANGE) LanguageChanged();
    return;
  }
  if (notification != BN_CLICKED) return;
  if (component == L"Button1") {
    if (RefreshCaptionsOnce()) ShowAbout();
  } else if (component == L"Button2") {
    Button2Click();
  } else if (component == L"Button3") {
    Button3Click();
  } else if (component == L"Button4") {
    if (unattended_) {
      EndUnattendedRun();
    } else {
      Button4Click();
    }
  } else if (component == L"Button5") {
    Button5Click();
  } else if (component == L"Button6") {
    Button6Click();
  } else if (component == L"Button7") {
    Button7Click();
  } else if (component == L"Button8") {
    if (RefreshCaptionsOnce()) ShowAutoBackupDialog();
  } else if (component == L"Button9") {
    ShowHelp();
  } else if (component == L"Button10") {
    GoToFolder();
  } else if (component == L"Button11" || component == L"Button12") {
    UndoLastRestore();
  } else if (component == L"CheckBox1") {
    PasswordBoxClicked();
  } else if (component.starts_with(L"RadioButton")) {
    SelectRadio(component);
    for (const ClientInfo& client : AllClients()) {
      if (component == client.radio_button) ClientChosen(client.index);
    }
  }
}

bool MainForm::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case TrayIcon::kCallbackMessage:
      tray_->HandleCallback(lparam);
      result = 0;
      return true;
    case WM_TIMER:
      if (wparam == kWindowListTimer) windows_.Refresh();
      result = 0;
      return true;
    case WM_CTLCOLORSTATIC: {
      // Clients that are not installed show grey captions on page 3.
      HWND control = reinterpret_cast<HWND>(lparam);
      for (const ClientInfo& client : AllClients()) {
        if (form1_->Control(std::wstring(client.radio_button)) != control) continue;
        auto dc = reinterpret_cast<HDC>(wparam);
        SetTextColor(dc,
                     GetSysColor(installed_[static_cast<size_t>(client.index)] ? COLOR_WINDOWTEXT
                                                                               : COLOR_GRAYTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        return true;
      }
      return false;
    }
    case WM_CLOSE:
      // During an unattended run the window only shows its progress: closing it ends the
      // run, which keeps the archiver bound until the current pack has returned.
      if (unattended_) {
        EndUnattendedRun();
        result = 0;
        return true;
      }
      FormCloseQuery();
      FormClose();
      DestroyWindow(form1_->hwnd());
      result = 0;
      return true;
    case WM_DESTROY:
      KillTimer(form1_->hwnd(), kWindowListTimer);
      PostQuitMessage(0);
      result = 0;
      return true;
    default:
      return false;
  }
}

void MainForm::TrayDoubleClick() {
  form1_->SetText(L"Label17", job_->backup_archive_path());
  form1_->SetEnabled(L"Button3", false);
  if (IsWindowVisible(form1_->hwnd())) {
    ShowWindow(form1_->hwnd(), SW_HIDE);
  } else {
    Show();
  }
}

void MainForm::FormCloseQuery() { job_->cancel_requested = 1; }

bool MainForm::BackupRunning() const {
  // The archiver may still be working with the bar at 100: it reads the archive back after
  // the last entry was stored. The library stays bound until its call has returned.
  if (archive_->in_archiver_call()) return true;
  const auto position = SendMessageW(form1_->Control(L"ProgressBar1"), PBM_GETPOS, 0, 0);
  return position > 0 && position < 100 && !archive_->flags().archive_incomplete;
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
  // 5.
  captions_.Clear();
  messages_.Clear();
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

void MainForm::RunUninstall() {
  // The undo copies of restores are removed by the uninstaller itself: setup runs "/uninst"
  // too, to stop the scheduler before an upgrade, which must keep them.
  RunUninstallCleanup(program_folder_, prompts_, Message(L"Message20"));
}

}  // namespace mailstow
