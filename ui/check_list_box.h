// A check-list box: an owner-drawn list box whose entries carry a tick and may be
// disabled. Entries are addressed by position. The tick state lives in each entry's item
// data (bit 0 ticked, bit 1 disabled), so other programs can read it with LB_GETITEMDATA.
#pragma once

#include <windows.h>

#include <string>

#include "base/tick_list.h"

namespace mailstow {

inline constexpr LONG_PTR kCheckListTicked = 1;
inline constexpr LONG_PTR kCheckListDisabled = 2;
// The notification code of the WM_COMMAND that the parent receives when the user has
// toggled an entry's tick.
inline constexpr WORD kCheckListToggled = 0x0400;

class CheckListBox final : public TickList {
 public:
  explicit CheckListBox(HWND list = nullptr) : list_(list) {}
  HWND hwnd() const { return list_; }

  void Clear() override;
  int Add(const std::wstring& text) override;
  int Count() const override;
  std::wstring Text(int index) const override;
  bool IsTicked(int index) const override;
  void SetTicked(int index, bool ticked) override;
  bool IsEntryEnabled(int index) const override;
  void SetEntryEnabled(int index, bool enabled) override;
  // Toggles the tick of an enabled entry (mouse click on the box or the space bar); false
  // when the entry cannot be toggled.
  bool Toggle(int index);
  void SetListEnabled(bool enabled) override { EnableWindow(list_, enabled ? TRUE : FALSE); }

  // Handlers for the messages that the list box's parent receives.
  static void Measure(MEASUREITEMSTRUCT& measure);
  static void Draw(const DRAWITEMSTRUCT& draw);
  // Subclass procedure that turns clicks and the space bar into toggles.
  static void Install(HWND list);

 private:
  LONG_PTR Flags(int index) const;
  void SetFlags(int index, LONG_PTR flags);

  HWND list_;
};

}  // namespace mailstow
