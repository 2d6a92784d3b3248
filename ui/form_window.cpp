#include "form_window.h"

#include <commctrl.h>

#include "ui/check_list_box.h"

namespace mailstow {
namespace {

constexpr wchar_t kFormClass[] = L"MailstowForm";
constexpr wchar_t kPageClass[] = L"MailstowPage";

void RegisterClasses(HINSTANCE instance, WNDPROC form_proc, WNDPROC page_proc) {
  static bool registered = false;
  if (registered) return;
  registered = true;
  WNDCLASSEXW form = {};
  form.cbSize = sizeof(form);
  form.lpfnWndProc = form_proc;
  form.hInstance = instance;
  form.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  form.lpszClassName = kFormClass;
  RegisterClassExW(&form);
  WNDCLASSEXW page = form;
  page.lpfnWndProc = page_proc;
  page.hIcon = nullptr;
  page.lpszClassName = kPageClass;
  RegisterClassExW(&page);
}

struct ControlClass {
  const wchar_t* name;
  DWORD style;
  DWORD ex_style;
};

ControlClass ClassFor(ComponentKind kind) {
  switch (kind) {
    case ComponentKind::kButton:
      return {L"BUTTON", BS_PUSHBUTTON, 0};
    case ComponentKind::kLabel:
      return {L"STATIC", SS_LEFT | SS_NOPREFIX, 0};
    case ComponentKind::kCheckBox:
      return {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0};
    case ComponentKind::kRadioButton:
      return {L"BUTTON", BS_RADIOBUTTON | WS_TABSTOP, 0};
    case ComponentKind::kGroupBox:
      return {L"BUTTON", BS_GROUPBOX, 0};
    case ComponentKind::kEdit:
      return {L"EDIT", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ComponentKind::kPasswordEdit:
      return {L"EDIT", ES_AUTOHSCROLL | ES_PASSWORD | WS_BORDER | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ComponentKind::kComboBox:
      return {L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0};
    case ComponentKind::kCheckListBox:
      return {L"LISTBOX",
              LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL |
                  WS_TABSTOP,
              WS_EX_CLIENTEDGE};
    case ComponentKind::kProgressBar:
      return {PROGRESS_CLASSW, PBS_SMOOTH, 0};
    case ComponentKind::kListBox:
      return {L"LISTBOX", LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER, WS_EX_CLIENTEDGE};
    case ComponentKind::kTabControl:
      // Clipped by its siblings, so that it never paints over the tabs' components.
      return {WC_TABCONTROLW, WS_CLIPSIBLINGS | WS_TABSTOP, 0};
    case ComponentKind::kDatePicker:
      return {DATETIMEPICK_CLASSW, DTS_SHORTDATEFORMAT | WS_TABSTOP, 0};
    case ComponentKind::kTimePicker:
      return {DATETIMEPICK_CLASSW, DTS_TIMEFORMAT | WS_TABSTOP, 0};
    case ComponentKind::kOpenDialog:
    case ComponentKind::kSaveDialog:
      break;
  }
  return {nullptr, 0, 0};
}

}  // namespace

FormWindow::FormWindow(const FormSpec& spec) : spec_(spec) {}

FormWindow::~FormWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  if (font_ != nullptr) DeleteObject(font_);
}

bool FormWindow::Create(HINSTANCE instance, HWND owner, const std::wstring& caption,
                        bool main_window) {
  RegisterClasses(instance, &FormWindow::WindowProc, &FormWindow::PageProc);
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  font_ = CreateFontIndirectW(&metrics.lfMessageFont);

  const DWORD style = main_window ? (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX)
                                  : (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
  RECT frame = {0, 0, spec_.width, spec_.height};
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_CONTROLPARENT);
  hwnd_ = CreateWindowExW(
      WS_EX_CONTROLPARENT | (main_window ? WS_EX_APPWINDOW : WS_EX_DLGMODALFRAME), kFormClass,
      caption.c_str(), style, spec_.left, spec_.top, frame.right - frame.left,
      frame.bottom - frame.top, owner, nullptr, instance, this);
  if (hwnd_ == nullptr) return false;

  bool has_pages = false;
  for (const ComponentSpec& c : spec_.components) has_pages = has_pages || c.page > 0;
  if (has_pages) {
    for (int page = 1; page <= kWizardPageCount; ++page) {
      HWND sheet = CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD | WS_CLIPSIBLINGS,
                                   0, 0, spec_.width, 360, hwnd_, nullptr, instance, nullptr);
      pages_.push_back(sheet);
    }
  }
  int id = kFirstControlId;
  for (const ComponentSpec& component : spec_.components) CreateControl(component, id++);
  // Tab controls lie below every other component.
  for (const ComponentSpec& component : spec_.components) {
    if (component.kind != ComponentKind::kTabControl) continue;
    SetWindowPos(Control(std::wstring(component.name)), HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  if (has_pages) ShowPage(1);
  return true;
}

void FormWindow::CreateControl(const ComponentSpec& component, int id) {
  const std::wstring name(component.name);
  names_by_id_[id] = name;
  const ControlClass cls = ClassFor(component.kind);
  if (cls.name == nullptr) {
    dialog_titles_[name] = L"";
    return;
  }
  HWND parent = component.page > 0 ? pages_[component.page - 1] : hwnd_;
  DWORD style = WS_CHILD | cls.style;
  if (component.width > 0) style |= WS_VISIBLE;
  HWND control = CreateWindowExW(
      cls.ex_style, cls.name, L"", style, component.x, component.y, component.width,
      component.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE)), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  if (component.kind == ComponentKind::kCheckListBox) CheckListBox::Install(control);
  if (component.kind == ComponentKind::kProgressBar) {
    SendMessageW(control, PBM_SETRANGE32, 0, 100);
  }
  if (!component.group.empty()) {
    // Controls inside a group box are drawn above it.
    SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
  controls_[name] = control;
}

HWND FormWindow::Control(const std::wstring& component) const {
  const auto it = controls_.find(component);
  return it == controls_.end() ? nullptr : it->second;
}

std::wstring FormWindow::Text(const std::wstring& component) const {
  const auto title = dialog_titles_.find(component);
  if (title != dialog_titles_.end()) return title->second;
  HWND control = Control(component);
  if (control == nullptr) return {};
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool FormWindow::SetText(const std::wstring& component, const std::wstring& text) {
  const auto title = dialog_titles_.find(component);
  if (title != dialog_titles_.end()) {
    title->second = text;
    return true;
  }
  HWND control = Control(component);
  if (control == nullptr) return false;
  SetWindowTextW(control, text.c_str());
  return true;
}

void FormWindow::SetEnabled(const std::wstring& component, bool enabled) {
  if (HWND control = Control(component)) EnableWindow(control, enabled ? TRUE : FALSE);
}

void FormWindow::SetVisible(const std::wstring& component, bool visible) {
  if (HWND control = Control(component)) ShowWindow(control, visible ? SW_SHOW : SW_HIDE);
}

bool FormWindow::IsChecked(const std::wstring& component) const {
  HWND control = Control(component);
  return control != nullptr && SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void FormWindow::SetChecked(const std::wstring& component, bool checked) {
  if (HWND control = Control(component)) {
    SendMessageW(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

int FormWindow::TextWidth(const std::wstring& component, const std::wstring& text) const {
  HWND control = Control(component);
  HDC dc = GetDC(control != nullptr ? control : hwnd_);
  HGDIOBJ old = SelectObject(dc, font_);
  SIZE size = {};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(control != nullptr ? control : hwnd_, dc);
  return size.cx;
}

void FormWindow::MoveComponent(const std::wstring& component, int x, int y, int width, int height) {
  if (HWND control = Control(component)) {
    MoveWindow(control, x, y, width, height, TRUE);
    InvalidateRect(GetParent(control), nullptr, TRUE);
  }
}

RECT FormWindow::ComponentRect(const std::wstring& component) const {
  RECT rect = {};
  HWND control = Control(component);
  if (control == nullptr) return rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void FormWindow::ShowPage(int page) {
  if (page < 1 || page > static_cast<int>(pages_.size())) return;
  for (int i = 0; i < static_cast<int>(pages_.size()); ++i) {
    ShowWindow(pages_[i], i + 1 == page ? SW_SHOW : SW_HIDE);
  }
  active_page_ = page;
}

const std::wstring* FormWindow::NameOfId(int id) const {
  const auto it = names_by_id_.find(id);
  return it == names_by_id_.end() ? nullptr : &it->second;
}

LRESULT CALLBACK FormWindow::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    reinterpret_cast<FormWindow*>(create->lpCreateParams)->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  return self->HandleMessage(message, wparam, lparam);
}

LRESULT CALLBACK FormWindow::PageProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  // Pages pass their controls' notifications on to the form.
  if (message == WM_COMMAND || message == WM_NOTIFY || message == WM_CTLCOLORSTATIC ||
      message == WM_CTLCOLORBTN || message == WM_CTLCOLOREDIT || message == WM_MEASUREITEM ||
      message == WM_DRAWITEM) {
    return SendMessageW(GetParent(hwnd), message, wparam, lparam);
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT FormWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (on_message && on_message(message, wparam, lparam, result)) return result;
  if (message == WM_MEASUREITEM) {
    CheckListBox::Measure(*reinterpret_cast<MEASUREITEMSTRUCT*>(lparam));
    return TRUE;
  }
  if (message == WM_DRAWITEM) {
    CheckListBox::Draw(*reinterpret_cast<DRAWITEMSTRUCT*>(lparam));
    return TRUE;
  }
  if (message == WM_COMMAND && lparam != 0) {
    if (const std::wstring* name = NameOfId(LOWORD(wparam))) {
      if (on_command_) on_command_(*name, HIWORD(wparam));
      return 0;
    }
  }
  HWND hwnd = hwnd_;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace mailstow
