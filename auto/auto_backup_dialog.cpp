#include "auto/auto_backup_dialog.h"

#include <commctrl.h>

#include <array>
#include <cmath>

#include "base/ansi_text.h"
#include "base/date_time_value.h"
#include "base/folders.h"
#include "base/registry_key.h"
#include "ui/small_dialogs.h"
#include "auto/auto_selection_store.h"
#include "auto/passwd.h"
#include "auto/schedule_reference.h"
#include "auto/stowclock_control.h"
#include "scheduler/mailstow_launcher.h"

namespace mailstow {
namespace {

// The unit list's rows: the message that names each and the stored word.
struct UnitRow {
  const wchar_t* message;
  const wchar_t* word;
};
constexpr std::array<UnitRow, 4> kUnitRows = {{{L"Message24", L"Hours"},
                                               {L"Message21", L"Days"},
                                               {L"Message22", L"Weeks"},
                                               {L"Message23", L"Months"}}};

constexpr const wchar_t* kVolumeSizes[] = {L"Floppy Disk (1.44 Mb)", L"ZIP 100Mb", L"ZIP 250Mb",
                                           L"CD 650Mb", L"CD 700Mb"};

// The components of the "Advanced" tab; every other one above the tab control belongs to
// "General".
constexpr const wchar_t* kAdvancedComponents[] = {
    L"GroupBox1", L"RadioButton3", L"RadioButton4",  L"CheckBox2",     L"Edit3",
    L"Label5",    L"CheckBox3",    L"Label6",        L"Edit4",         L"Label7",
    L"Edit5",     L"GroupBox2",    L"RadioButton14", L"RadioButton15", L"ComboBox2"};
constexpr const wchar_t* kGeneralComponents[] = {
    L"CheckBox1", L"Label2", L"ListBox1",        L"Label3", L"ListBox2",
    L"Label4",    L"Edit1",  L"Button1",         L"Label1", L"Edit2",
    L"ComboBox1", L"Label8", L"DateTimePicker1", L"Label9", L"DateTimePicker2"};

constexpr int kNumberFieldLength = 2;
constexpr int kPasswordFieldLength = 50;

// Number fields take digits and backspace only.
LRESULT CALLBACK NumberFieldProc(HWND field, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                 DWORD_PTR) {
  if (message == WM_CHAR && wparam != VK_BACK && (wparam < L'0' || wparam > L'9')) return 0;
  if (message == WM_PASTE) return 0;
  return DefSubclassProc(field, message, wparam, lparam);
}

// A picker's value to the second, as the settings keep it.
double FromSystemTime(SYSTEMTIME time) {
  time.wMilliseconds = 0;
  return SystemTimeAsDays(time);
}

double PickerValue(HWND picker) {
  SYSTEMTIME time = {};
  if (SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) != GDT_VALID) {
    return LocalNowAsDays();
  }
  return FromSystemTime(time);
}

void SetPickerValue(HWND picker, double days) {
  SYSTEMTIME time = DaysAsSystemTime(days);
  SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
}

int NumberIn(const std::wstring& text) {
  int value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') break;
    value = value * 10 + (c - L'0');
  }
  return value;
}

int ComboIndex(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }

}  // namespace

AutoBackupDialog::AutoBackupDialog(FormWindow& form, Settings& settings, UserPrompts& prompts,
                                   MessageLookup message, std::wstring program_folder)
    : form_(form),
      settings_(settings),
      prompts_(prompts),
      message_(std::move(message)),
      program_folder_(std::move(program_folder)) {
  form_.OnCommand([this](const std::wstring& component, int notification) {
    OnCommand(component, notification);
  });
  form_.on_message = [this](UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    return OnMessage(message, wparam, lparam, result);
  };
  for (const wchar_t* field : {L"Edit2", L"Edit3"}) {
    HWND control = form_.Control(field);
    SendMessageW(control, EM_LIMITTEXT, kNumberFieldLength, 0);
    SetWindowSubclass(control, NumberFieldProc, 1, 0);
  }
  for (const wchar_t* field : {L"Edit4", L"Edit5"}) {
    HWND control = form_.Control(field);
    SendMessageW(control, EM_LIMITTEXT, kPasswordFieldLength, 0);
    SendMessageW(control, EM_SETPASSWORDCHAR, L'*', 0);
  }
  // The label after the keep count answers clicks.
  HWND label = form_.Control(L"Label5");
  SetWindowLongPtrW(label, GWL_STYLE, GetWindowLongPtrW(label, GWL_STYLE) | SS_NOTIFY);
  for (const wchar_t* size : kVolumeSizes) {
    SendMessageW(form_.Control(L"ComboBox2"), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(size));
  }
  for (const AutoClient& client : AutoClients()) Clients().Add(std::wstring(client.caption));
  SendMessageW(form_.Control(L"DateTimePicker2"), DTM_SETFORMATW, 0,
               reinterpret_cast<LPARAM>(L"HH':'mm"));
}

CheckListBox AutoBackupDialog::Clients() const { return CheckListBox(form_.Control(L"ListBox1")); }
CheckListBox AutoBackupDialog::Items() const { return CheckListBox(form_.Control(L"ListBox2")); }

void AutoBackupDialog::ShowModal(HWND owner, const std::wstring& button_caption) {
  SetWindowTextW(form_.hwnd(), (button_caption + L"...").c_str());
  Fill();
  closed_ = false;
  SetFocus(form_.Control(L"CheckBox1"));
  RunModal(form_, owner, closed_);
}

void AutoBackupDialog::Fill() {
  SelectRadio(settings_.auto_multiple_volumes ? L"RadioButton15" : L"RadioButton14",
              settings_.auto_multiple_volumes ? L"RadioButton14" : L"RadioButton15");
  SendMessageW(form_.Control(L"ComboBox2"), CB_SETCURSEL,
               static_cast<WPARAM>(settings_.auto_volumes), 0);
  UpdateVolumeChoice();

  HWND units = form_.Control(L"ComboBox1");
  SendMessageW(units, CB_RESETCONTENT, 0, 0);
  int unit = 1;
  for (size_t i = 0; i < kUnitRows.size(); ++i) {
    const std::wstring text = message_(kUnitRows[i].message);
    SendMessageW(units, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (settings_.backup_interval == kUnitRows[i].word) unit = static_cast<int>(i);
  }
  SendMessageW(units, CB_SETCURSEL, static_cast<WPARAM>(unit), 0);

  selections_ = LoadAutoSelections();
  for (size_t i = 0; i < selections_.size(); ++i) {
    Clients().SetTicked(static_cast<int>(i), selections_[i].select);
  }
  SendMessageW(Clients().hwnd(), LB_SETCURSEL, 0, 0);
  ShowItemRows(0);

  HWND tabs = form_.Control(L"PageControl1");
  SendMessageW(tabs, TCM_DELETEALLITEMS, 0, 0);
  for (const wchar_t* title : {L"Message17", L"Message18"}) {
    std::wstring text = message_(title);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    const auto position = SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0);
    SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(position),
                 reinterpret_cast<LPARAM>(&item));
  }
  ShowTab(0);

  form_.SetChecked(L"CheckBox1", settings_.auto_backup);
  form_.SetText(L"Edit1", settings_.backup_dir);
  form_.SetText(L"Edit2", std::to_wstring(settings_.backup_period));
  SetPickerValue(form_.Control(L"DateTimePicker1"), settings_.backup_date);
  SetPickerValue(form_.Control(L"DateTimePicker2"), settings_.backup_time);
  const bool overwrite = settings_.backup_mode == 1;
  SelectRadio(overwrite ? L"RadioButton3" : L"RadioButton4",
              overwrite ? L"RadioButton4" : L"RadioButton3");
  form_.SetChecked(L"CheckBox2", settings_.backup_keep > 0);
  form_.SetText(L"Edit3", std::to_wstring(std::max(settings_.backup_keep, 0)));
  UpdateModeControls();
  form_.SetChecked(L"CheckBox3", settings_.backup_use_password);
  form_.SetText(L"Edit4", settings_.backup_password);
  form_.SetText(L"Edit5", settings_.backup_password);
  UpdatePasswordFields();
}

void AutoBackupDialog::ShowTab(int tab) {
  SendMessageW(form_.Control(L"PageControl1"), TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
  for (const wchar_t* component : kGeneralComponents) form_.SetVisible(component, tab == 0);
  for (const wchar_t* component : kAdvancedComponents) form_.SetVisible(component, tab == 1);
}

void AutoBackupDialog::ShowItemRows(int client_row) {
  const auto clients = AutoClients();
  if (client_row < 0 || client_row >= static_cast<int>(clients.size())) return;
  shown_client_ = client_row;
  const AutoClient& client = clients[static_cast<size_t>(client_row)];
  const AutoClientSelection& selection = selections_[static_cast<size_t>(client_row)];
  CheckListBox items = Items();
  items.Clear();
  for (size_t row = 0; row < client.item_rows.size(); ++row) {
    const int index = items.Add(std::wstring(client.item_rows[row]));
    items.SetTicked(index, selection.select && AutoItemTicked(client, selection, index));
    items.SetEntryEnabled(index, selection.select);
  }
}

void AutoBackupDialog::ClientRowsToggled() {
  // A click on a box arrives before the click selects its row: the row whose tick differs
  // from its stored flag is the one toggled.
  for (int row = 0; row < kAutoClientCount; ++row) {
    AutoClientSelection& selection = selections_[static_cast<size_t>(row)];
    const bool ticked = Clients().IsTicked(row);
    if (ticked == selection.select) continue;
    selection.select = ticked;
    if (!ticked) std::fill(selection.items.begin(), selection.items.end(), false);
    ShowItemRows(row);
  }
}

void AutoBackupDialog::ItemRowToggled() {
  AutoClientSelection& selection = selections_[static_cast<size_t>(shown_client_)];
  const CheckListBox items = Items();
  // Clients without item flags always take every item: their rows stay ticked.
  if (selection.select) {
    for (size_t flag = 0; flag < selection.items.size(); ++flag) {
      selection.items[flag] = items.IsTicked(static_cast<int>(flag));
    }
  }
  ShowItemRows(shown_client_);
}

void AutoBackupDialog::SelectRadio(const wchar_t* chosen, const wchar_t* other) {
  form_.SetChecked(chosen, true);
  form_.SetChecked(other, false);
}

void AutoBackupDialog::UpdateModeControls() {
  const bool new_files = form_.IsChecked(L"RadioButton4");
  form_.SetEnabled(L"CheckBox2", new_files);
  form_.SetEnabled(L"Label5", new_files);
  form_.SetEnabled(L"Edit3", new_files && form_.IsChecked(L"CheckBox2"));
}

void AutoBackupDialog::UpdatePasswordFields() {
  const bool protect = form_.IsChecked(L"CheckBox3");
  form_.SetEnabled(L"Edit4", protect);
  form_.SetEnabled(L"Edit5", protect);
}

void AutoBackupDialog::UpdateVolumeChoice() {
  form_.SetEnabled(L"ComboBox2", form_.IsChecked(L"RadioButton15"));
}

void AutoBackupDialog::NormaliseNumberFields() {
  if (NumberIn(form_.Text(L"Edit2")) == 0) form_.SetText(L"Edit2", L"1");
  if (form_.Text(L"Edit3").empty()) form_.SetText(L"Edit3", L"0");
}

void AutoBackupDialog::Browse() {
  const std::wstring typed = form_.Text(L"Edit1");
  const std::wstring start = IsFolder(typed) ? typed : std::wstring();
  const std::wstring chosen = BrowseForFolder(form_.hwnd(), start);
  if (!chosen.empty() && chosen != start) form_.SetText(L"Edit1", chosen);
}

void AutoBackupDialog::RunNow() {
  const double now = LocalNowAsDays();
  SetPickerValue(form_.Control(L"DateTimePicker1"), now);
  SetPickerValue(form_.Control(L"DateTimePicker2"), now);
  if (!StartUnattendedRun(program_folder_)) {
    MessageBoxW(form_.hwnd(), kRunProgramMissing, kStartFailureTitle, MB_OK | MB_ICONERROR);
  }
}

bool AutoBackupDialog::Ok() {
  NormaliseNumberFields();
  // The password pair is checked first, so that a mismatch saves nothing.
  const std::wstring password = form_.Text(L"Edit4");
  if (password != form_.Text(L"Edit5")) {
    prompts_.Show(PromptKind::kError, PromptButtons::kOk, message_(L"Message2"));
    form_.SetText(L"Edit4", L"");
    form_.SetText(L"Edit5", L"");
    ShowTab(1);
    SetFocus(form_.Control(L"Edit4"));
    return false;
  }
  RegistryKey key;
  key.Open(HKEY_CURRENT_USER, kSettingsKeyPath, true);

  // 1. Selections.
  SaveAutoSelections(selections_);

  // 2. The reference moment: one period before the start moment.
  const int unit_row = std::clamp(ComboIndex(form_.Control(L"ComboBox1")), 0, 3);
  const std::wstring interval = kUnitRows[static_cast<size_t>(unit_row)].word;
  const int period = NumberIn(form_.Text(L"Edit2"));
  settings_.backup_date = std::floor(PickerValue(form_.Control(L"DateTimePicker1")));
  settings_.backup_time = PickerValue(form_.Control(L"DateTimePicker2"));
  const std::optional<double> reference =
      ScheduleReference(StartMoment(settings_.backup_date, settings_.backup_time), period,
                        *ParseIntervalUnit(interval));
  if (reference) key.WriteDateTime(L"LastBackupDate", *reference);

  // 3. Volumes and the start moment.
  settings_.auto_multiple_volumes = form_.IsChecked(L"RadioButton15");
  settings_.auto_volumes = std::max(ComboIndex(form_.Control(L"ComboBox2")), 0);
  key.WriteBool(L"AutoMultipleVolumes", settings_.auto_multiple_volumes);
  key.WriteInteger(L"AutoVolumes", settings_.auto_volumes);
  key.WriteDateTime(L"BackupTime", settings_.backup_time);
  key.WriteDateTime(L"BackupDate", settings_.backup_date);

  // 4. Scheduled backups on or off: Stowclock registered and running, or neither.
  settings_.auto_backup = form_.IsChecked(L"CheckBox1");
  key.WriteBool(L"AutoBackup", settings_.auto_backup);
  if (settings_.auto_backup) {
    RegisterStowclockAtLogon(program_folder_);
    if (RunningStowclocks(program_folder_).empty() && !StartStowclock(program_folder_)) {
      prompts_.Show(PromptKind::kError, PromptButtons::kOk, message_(L"Message19"));
    }
  } else {
    UnregisterStowclockAtLogon();
    if (!StopStowclocks(program_folder_)) {
      prompts_.Show(PromptKind::kError, PromptButtons::kOk, message_(L"Message20"));
    }
  }

  // 5. The backup folder, ending with a backslash and created when missing.
  std::wstring folder = form_.Text(L"Edit1");
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  if (!folder.empty()) CreateFolderTree(folder);
  settings_.backup_dir = folder;
  key.WriteString(L"BackupDir", folder);

  // 6. Period, interval, mode and keep count.
  settings_.backup_period = period;
  settings_.backup_interval = interval;
  settings_.backup_mode = form_.IsChecked(L"RadioButton3") ? 1 : 2;
  settings_.backup_keep = form_.IsChecked(L"CheckBox2") ? NumberIn(form_.Text(L"Edit3")) : 0;
  key.WriteInteger(L"BackupPeriod", settings_.backup_period);
  key.WriteString(L"BackupInterval", settings_.backup_interval);
  key.WriteInteger(L"BackupMode", settings_.backup_mode);
  key.WriteInteger(L"BackupKeep", settings_.backup_keep);

  // 7, 8. The password, scrambled.
  if (password.empty()) form_.SetChecked(L"CheckBox3", false);
  settings_.backup_use_password = form_.IsChecked(L"CheckBox3");
  settings_.backup_password = password;
  key.WriteBool(L"BackupUsePsw", settings_.backup_use_password);
  key.WriteString(L"BackupPsw", FromAnsi(ScramblePassword(ToAnsi(password))));
  return true;
}

void AutoBackupDialog::OnCommand(const std::wstring& component, int notification) {
  if (component == L"ListBox1") {
    if (notification == kCheckListToggled) {
      ClientRowsToggled();
    } else if (notification == LBN_SELCHANGE) {
      ShowItemRows(static_cast<int>(SendMessageW(Clients().hwnd(), LB_GETCURSEL, 0, 0)));
    }
    return;
  }
  if (component == L"ListBox2") {
    if (notification == kCheckListToggled) ItemRowToggled();
    return;
  }
  if (component == L"Edit2" || component == L"Edit3") {
    if (notification == EN_KILLFOCUS) NormaliseNumberFields();
    return;
  }
  if (component == L"Label5") {
    if (notification == STN_CLICKED && IsWindowEnabled(form_.Control(L"CheckBox2"))) {
      form_.SetChecked(L"CheckBox2", !form_.IsChecked(L"CheckBox2"));
      UpdateModeControls();
    }
    return;
  }
  if (notification != BN_CLICKED) return;
  if (component == L"RadioButton3") {
    SelectRadio(L"RadioButton3", L"RadioButton4");
    UpdateModeControls();
  } else if (component == L"RadioButton4") {
    SelectRadio(L"RadioButton4", L"RadioButton3");
    UpdateModeControls();
  } else if (component == L"CheckBox2") {
    UpdateModeControls();
  } else if (component == L"CheckBox3") {
    UpdatePasswordFields();
  } else if (component == L"RadioButton14") {
    SelectRadio(L"RadioButton14", L"RadioButton15");
    UpdateVolumeChoice();
  } else if (component == L"RadioButton15") {
    SelectRadio(L"RadioButton15", L"RadioButton14");
    UpdateVolumeChoice();
  } else if (component == L"Button1") {
    Browse();
  } else if (component == L"Button2") {
    if (Ok()) closed_ = true;
  } else if (component == L"Button3") {
    closed_ = true;
  } else if (component == L"Button4") {
    RunNow();
  }
}

bool AutoBackupDialog::OnMessage(UINT message, WPARAM, LPARAM lparam, LRESULT& result) {
  if (message == WM_CLOSE) {
    closed_ = true;
    result = 0;
    return true;
  }
  if (message == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lparam);
    if (header->hwndFrom == form_.Control(L"PageControl1") && header->code == TCN_SELCHANGE) {
      ShowTab(static_cast<int>(SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
      result = 0;
      return true;
    }
  }
  return false;
}

}  // namespace mailstow
