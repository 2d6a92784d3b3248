// A top-level window built from a form's designed layout: one real control per component,
// addressed by its component name. The main form's components sit on fourteen wizard
// pages, child windows of which one is visible at a time.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/form_layout.h"

namespace mailstow {

class FormWindow {
 public:
  using CommandHandler = std::function<void(const std::wstring& component, int notification)>;

  explicit FormWindow(const FormSpec& spec);
  ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  // Creates the window and its controls (hidden). Owner may be null.
  bool Create(HINSTANCE instance, HWND owner, const std::wstring& caption, bool main_window);

  HWND hwnd() const { return hwnd_; }
  const FormSpec& spec() const { return spec_; }

  // The control of a component, or null (dialogs and unknown names have none).
  HWND Control(const std::wstring& component) const;
  std::wstring Text(const std::wstring& component) const;
  // Sets a component's caption (a dialog's title for open and save dialogs). False when the
  // form has no component of that name.
  bool SetText(const std::wstring& component, const std::wstring& text);
  void SetEnabled(const std::wstring& component, bool enabled);
  void SetVisible(const std::wstring& component, bool visible);
  bool IsChecked(const std::wstring& component) const;
  void SetChecked(const std::wstring& component, bool checked);
  // Width in pixels of a text drawn in a component's font.
  int TextWidth(const std::wstring& component, const std::wstring& text) const;
  void MoveComponent(const std::wstring& component, int x, int y, int width, int height);
  RECT ComponentRect(const std::wstring& component) const;

  // Wizard pages (main form only): 1..14.
  int active_page() const { return active_page_; }
  void ShowPage(int page);

  void OnCommand(CommandHandler handler) { on_command_ = std::move(handler); }
  // Called for messages the form does not handle itself; return true when handled.
  std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)> on_message;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControl(const ComponentSpec& component, int id);
  const std::wstring* NameOfId(int id) const;

  const FormSpec& spec_;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  std::vector<HWND> pages_;  // index 0 = page 1
  int active_page_ = 0;
  std::map<std::wstring, HWND, std::less<>> controls_;
  std::map<std::wstring, std::wstring, std::less<>> dialog_titles_;
  std::map<int, std::wstring> names_by_id_;
  CommandHandler on_command_;
};

}  // namespace mailstow
