#include "check_list_box.h"

#include <commctrl.h>

namespace mailstow {
namespace {

constexpr int kBoxSize = 13;

// A user's toggle: the tick changes and the parent is told.
void ToggleAndNotify(HWND list, int index) {
  if (!CheckListBox(list).Toggle(index)) return;
  const auto id = static_cast<WORD>(GetDlgCtrlID(list));
  SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(id, kCheckListToggled),
               reinterpret_cast<LPARAM>(list));
}
constexpr int kItemHeight = 18;

LRESULT CALLBACK CheckListProc(HWND list, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                               DWORD_PTR) {
  switch (message) {
    case WM_LBUTTONDOWN: {
      const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, lparam);
      const int index = LOWORD(hit);
      if (HIWORD(hit) == 0 && static_cast<short>(LOWORD(lparam)) < kBoxSize + 6) {
        ToggleAndNotify(list, index);
      }
      break;
    }
    case WM_KEYDOWN:
      if (wparam == VK_SPACE) {
        const auto index = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
        if (index >= 0) ToggleAndNotify(list, index);
        return 0;
      }
      break;
    case WM_CHAR:
      if (wparam == L' ') return 0;
      break;
    default:
      break;
  }
  return DefSubclassProc(list, message, wparam, lparam);
}

}  // namespace

void CheckListBox::Install(HWND list) {
  SetWindowSubclass(list, CheckListProc, 1, 0);
  SendMessageW(list, LB_SETITEMHEIGHT, 0, kItemHeight);
}

void CheckListBox::Clear() { SendMessageW(list_, LB_RESETCONTENT, 0, 0); }

int CheckListBox::Add(const std::wstring& text) {
  const auto index = static_cast<int>(
      SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
  SetFlags(index, 0);
  return index;
}

int CheckListBox::Count() const { return static_cast<int>(SendMessageW(list_, LB_GETCOUNT, 0, 0)); }

std::wstring CheckListBox::Text(int index) const {
  const auto length = SendMessageW(list_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(list_, LB_GETTEXT, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return text;
}

LONG_PTR CheckListBox::Flags(int index) const {
  const LRESULT data = SendMessageW(list_, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
  return data == LB_ERR ? 0 : data;
}

void CheckListBox::SetFlags(int index, LONG_PTR flags) {
  SendMessageW(list_, LB_SETITEMDATA, static_cast<WPARAM>(index), flags);
  RECT rect;
  if (SendMessageW(list_, LB_GETITEMRECT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(&rect)) != LB_ERR) {
    InvalidateRect(list_, &rect, TRUE);
  }
}

bool CheckListBox::IsTicked(int index) const { return (Flags(index) & kCheckListTicked) != 0; }

void CheckListBox::SetTicked(int index, bool ticked) {
  const LONG_PTR flags = Flags(index);
  SetFlags(index, ticked ? (flags | kCheckListTicked) : (flags & ~kCheckListTicked));
}

bool CheckListBox::IsEntryEnabled(int index) const {
  return (Flags(index) & kCheckListDisabled) == 0;
}

void CheckListBox::SetEntryEnabled(int index, bool enabled) {
  const LONG_PTR flags = Flags(index);
  SetFlags(index, enabled ? (flags & ~kCheckListDisabled) : (flags | kCheckListDisabled));
}

bool CheckListBox::Toggle(int index) {
  if (index < 0 || index >= Count() || !IsEntryEnabled(index) || !IsWindowEnabled(list_)) {
    return false;
  }
  SetTicked(index, !IsTicked(index));
  return true;
}

void CheckListBox::Measure(MEASUREITEMSTRUCT& measure) { measure.itemHeight = kItemHeight; }

void CheckListBox::Draw(const DRAWITEMSTRUCT& draw) {
  if (draw.itemID == static_cast<UINT>(-1)) return;
  const CheckListBox list(draw.hwndItem);
  const int index = static_cast<int>(draw.itemID);
  const bool selected = (draw.itemState & ODS_SELECTED) != 0;
  const bool enabled = list.IsEntryEnabled(index) && IsWindowEnabled(draw.hwndItem);
  FillRect(draw.hDC, &draw.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  RECT box = {draw.rcItem.left + 3, draw.rcItem.top + (kItemHeight - kBoxSize) / 2,
              draw.rcItem.left + 3 + kBoxSize,
              draw.rcItem.top + (kItemHeight - kBoxSize) / 2 + kBoxSize};
  UINT state = DFCS_BUTTONCHECK | DFCS_FLAT;
  if (list.IsTicked(index)) state |= DFCS_CHECKED;
  if (!enabled) state |= DFCS_INACTIVE;
  DrawFrameControl(draw.hDC, &box, DFC_BUTTON, state);
  RECT text = draw.rcItem;
  text.left = box.right + 5;
  SetBkMode(draw.hDC, TRANSPARENT);
  SetTextColor(draw.hDC, GetSysColor(!enabled   ? COLOR_GRAYTEXT
                                     : selected ? COLOR_HIGHLIGHTTEXT
                                                : COLOR_WINDOWTEXT));
  const std::wstring label = list.Text(index);
  DrawTextW(draw.hDC, label.c_str(), static_cast<int>(label.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  if (draw.itemState & ODS_FOCUS) DrawFocusRect(draw.hDC, &draw.rcItem);
}

}  // namespace mailstow
