// The auto-backup settings dialog (Form4): which clients and items scheduled backups take,
// where to, how often, in which backup mode, with which password and volume size, and
// whether scheduled backups are on. OK stores everything, sets the schedule's reference
// moment and starts or stops Stowclock; "Run now" starts an unattended run at once.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "ui/check_list_box.h"
#include "ui/form_window.h"
#include "base/settings.h"
#include "base/user_prompts.h"
#include "auto/auto_clients.h"

namespace mailstow {

class AutoBackupDialog {
 public:
  using MessageLookup = std::function<std::wstring(std::wstring_view)>;

  // program_folder ends with "\"; settings is the program's settings record, kept in step
  // with what OK writes.
  AutoBackupDialog(FormWindow& form, Settings& settings, UserPrompts& prompts,
                   MessageLookup message, std::wstring program_folder);

  // Shows the dialog modally over owner, titled with the caption of the button that opened
  // it followed by "...".
  void ShowModal(HWND owner, const std::wstring& button_caption);

 private:
  void Fill();
  void ShowTab(int tab);
  void ShowItemRows(int client_row);
  void ClientRowsToggled();
  void ItemRowToggled();
  void UpdateModeControls();
  void UpdatePasswordFields();
  void UpdateVolumeChoice();
  void SelectRadio(const wchar_t* chosen, const wchar_t* other);
  void NormaliseNumberFields();
  void Browse();
  void RunNow();
  bool Ok();
  void OnCommand(const std::wstring& component, int notification);
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  CheckListBox Clients() const;
  CheckListBox Items() const;

  FormWindow& form_;
  Settings& settings_;
  UserPrompts& prompts_;
  MessageLookup message_;
  std::wstring program_folder_;
  AutoSelections selections_ = ClearedSelections();
  int shown_client_ = 0;
  bool closed_ = true;
};

}  // namespace mailstow
