// The designed layout of the program's forms: every component with its name, kind,
// page, position and size. Component names are the keys of the language file's
// form sections; tests find the real controls through the same table.
#pragma once

#include <span>
#include <string_view>

namespace mailstow {

enum class ComponentKind {
  kButton,
  kLabel,
  kCheckBox,
  kRadioButton,
  kGroupBox,
  kEdit,
  kPasswordEdit,
  kComboBox,
  kCheckListBox,
  kProgressBar,
  kListBox,
  kTabControl,  // tab headers only: the tabs' components lie above it
  kDatePicker,
  kTimePicker,
  kOpenDialog,  // not a window: its caption is the dialog's title
  kSaveDialog,
};

struct ComponentSpec {
  std::wstring_view name;
  ComponentKind kind;
  int page;  // 1..14 on the main form's wizard pages; 0 directly on the form
  int x, y, width, height;
  // Optional group box or radio group the control sits in (its coordinates are the form's).
  std::wstring_view group = {};
};

struct FormSpec {
  std::wstring_view name;  // "Form1" ... "Form5", the language file's section
  int left, top, width, height;
  std::span<const ComponentSpec> components;
};

inline constexpr int kWizardPageCount = 14;
inline constexpr int kFirstControlId = 1000;

std::span<const FormSpec> AllForms();
const FormSpec* FindForm(std::wstring_view form);
const ComponentSpec* FindComponent(const FormSpec& form, std::wstring_view component);

// The control identifier of a component: kFirstControlId + its position in the form's table;
// -1 when the form has no such component.
int ComponentId(std::wstring_view form, std::wstring_view component);

}  // namespace mailstow
