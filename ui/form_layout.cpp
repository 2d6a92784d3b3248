#include "form_layout.h"

#include <array>

namespace mailstow {
namespace {

using K = ComponentKind;

// The wizard: pages fill the area above the button row.
constexpr ComponentSpec kForm1[] = {
    {L"Button1", K::kButton, 0, 8, 368, 75, 25},
    {L"Button8", K::kButton, 0, 88, 368, 80, 25},
    {L"Button9", K::kButton, 0, 172, 368, 60, 25},
    {L"Button2", K::kButton, 0, 304, 368, 75, 25},
    {L"Button3", K::kButton, 0, 384, 368, 75, 25},
    {L"Button4", K::kButton, 0, 472, 368, 75, 25},
    {L"SaveDialog1", K::kSaveDialog, 0, 0, 0, 0, 0},
    {L"OpenDialog1", K::kOpenDialog, 0, 0, 0, 0, 0},
    {L"Label34", K::kLabel, 0, 0, 0, 0, 0},
    // Page 1: welcome.
    {L"Label1", K::kLabel, 1, 16, 16, 520, 24},
    {L"Label2", K::kLabel, 1, 16, 56, 520, 64},
    {L"Label3", K::kLabel, 1, 16, 128, 520, 20},
    {L"Label31", K::kLabel, 1, 16, 276, 400, 20},
    {L"ComboBox1", K::kComboBox, 1, 16, 298, 200, 200},
    // Page 2: action.
    {L"Label4", K::kLabel, 2, 16, 16, 520, 24},
    {L"RadioButton1", K::kRadioButton, 2, 40, 72, 460, 22},
    {L"RadioButton2", K::kRadioButton, 2, 40, 104, 460, 22},
    // Page 3: mail client.
    {L"Label5", K::kLabel, 3, 16, 16, 520, 24},
    {L"RadioButton3", K::kRadioButton, 3, 40, 52, 300, 22},
    {L"RadioButton4", K::kRadioButton, 3, 40, 78, 300, 22},
    {L"RadioButton5", K::kRadioButton, 3, 40, 104, 300, 22},
    {L"RadioButton6", K::kRadioButton, 3, 40, 130, 300, 22},
    {L"RadioButton7", K::kRadioButton, 3, 40, 156, 300, 22},
    {L"RadioButton8", K::kRadioButton, 3, 40, 182, 300, 22},
    {L"RadioButton9", K::kRadioButton, 3, 40, 208, 300, 22},
    {L"RadioButton10", K::kRadioButton, 3, 40, 234, 300, 22},
    {L"RadioButton13", K::kRadioButton, 3, 40, 260, 300, 22},
    {L"RadioButton16", K::kRadioButton, 3, 40, 286, 300, 22},
    // Page 4: backup identities and items.
    {L"Label6", K::kLabel, 4, 16, 16, 520, 24},
    {L"Label7", K::kLabel, 4, 16, 52, 250, 20},
    {L"CheckListBox1", K::kCheckListBox, 4, 16, 74, 250, 270},
    {L"Label8", K::kLabel, 4, 280, 52, 250, 20},
    {L"CheckListBox2", K::kCheckListBox, 4, 280, 74, 260, 270},
    // Page 5: archive file.
    {L"Label9", K::kLabel, 5, 16, 16, 520, 24},
    {L"Edit1", K::kEdit, 5, 16, 52, 430, 23},
    {L"Button5", K::kButton, 5, 456, 51, 84, 25},
    {L"GroupBox1", K::kGroupBox, 5, 16, 92, 524, 128},
    {L"CheckBox1", K::kCheckBox, 5, 32, 114, 400, 22, L"GroupBox1"},
    {L"Label10", K::kLabel, 5, 32, 150, 140, 20, L"GroupBox1"},
    {L"Edit2", K::kPasswordEdit, 5, 176, 147, 200, 23, L"GroupBox1"},
    {L"Label11", K::kLabel, 5, 32, 182, 140, 20, L"GroupBox1"},
    {L"Edit3", K::kPasswordEdit, 5, 176, 179, 200, 23, L"GroupBox1"},
    {L"GroupBox2", K::kGroupBox, 5, 16, 232, 524, 112},
    {L"RadioButton14", K::kRadioButton, 5, 32, 254, 300, 22, L"GroupBox2"},
    {L"RadioButton15", K::kRadioButton, 5, 32, 284, 200, 22, L"GroupBox2"},
    {L"ComboBox2", K::kComboBox, 5, 240, 283, 180, 200, L"GroupBox2"},
    // Page 6: ready to back up.
    {L"Label12", K::kLabel, 6, 16, 16, 520, 24},
    {L"Label13", K::kLabel, 6, 16, 72, 520, 20},
    {L"Label19", K::kLabel, 6, 16, 100, 520, 20},
    // Page 7: backing up.
    {L"Label15", K::kLabel, 7, 16, 16, 520, 24},
    {L"Label16", K::kLabel, 7, 16, 72, 520, 20},
    {L"Label17", K::kLabel, 7, 16, 100, 520, 40},
    {L"ProgressBar1", K::kProgressBar, 7, 16, 160, 524, 22},
    // Page 8: backup completed.
    {L"Label14", K::kLabel, 8, 16, 16, 520, 24},
    {L"Label32", K::kLabel, 8, 16, 72, 520, 40},
    {L"Label35", K::kLabel, 8, 16, 120, 520, 40},
    {L"Button10", K::kButton, 8, 16, 168, 110, 25},
    {L"Label36", K::kLabel, 8, 16, 290, 520, 40},
    // Page 9: restore archive.
    {L"Label18", K::kLabel, 9, 16, 16, 520, 24},
    {L"Edit4", K::kEdit, 9, 16, 52, 430, 23},
    {L"Button6", K::kButton, 9, 456, 51, 84, 25},
    {L"Button11", K::kButton, 9, 16, 100, 300, 25},
    // Page 10: restore identities and items.
    {L"Label20", K::kLabel, 10, 16, 16, 520, 24},
    {L"Label21", K::kLabel, 10, 16, 52, 250, 20},
    {L"CheckListBox3", K::kCheckListBox, 10, 16, 74, 250, 270},
    {L"Label22", K::kLabel, 10, 280, 52, 250, 20},
    {L"CheckListBox4", K::kCheckListBox, 10, 280, 74, 260, 270},
    // Page 11: restore target.
    {L"Label23", K::kLabel, 11, 16, 16, 520, 24},
    {L"RadioButton11", K::kRadioButton, 11, 40, 60, 460, 22},
    {L"RadioButton12", K::kRadioButton, 11, 40, 92, 460, 22},
    {L"Edit5", K::kEdit, 11, 60, 124, 386, 23},
    {L"Button7", K::kButton, 11, 456, 123, 84, 25},
    // Page 12: ready to restore.
    {L"Label24", K::kLabel, 12, 16, 16, 520, 24},
    {L"Label25", K::kLabel, 12, 16, 72, 520, 20},
    {L"Label26", K::kLabel, 12, 16, 100, 520, 20},
    // Page 13: restoring.
    {L"Label27", K::kLabel, 13, 16, 16, 520, 24},
    {L"Label28", K::kLabel, 13, 16, 72, 520, 20},
    {L"Label29", K::kLabel, 13, 16, 100, 520, 40},
    {L"ProgressBar2", K::kProgressBar, 13, 16, 160, 524, 22},
    // Page 14: restore completed.
    {L"Label30", K::kLabel, 14, 16, 16, 520, 24},
    {L"Label33", K::kLabel, 14, 16, 72, 520, 60},
    {L"Label37", K::kLabel, 14, 16, 140, 520, 40},
    {L"Button12", K::kButton, 14, 16, 188, 180, 25},
};

// Password prompt.
constexpr ComponentSpec kForm2[] = {
    {L"Label1", K::kLabel, 0, 16, 18, 90, 20},
    {L"Edit1", K::kPasswordEdit, 0, 110, 15, 180, 23},
    {L"Button1", K::kButton, 0, 130, 56, 75, 25},
    {L"Button2", K::kButton, 0, 215, 56, 75, 25},
};

// About box.
constexpr ComponentSpec kForm3[] = {
    {L"Label1", K::kLabel, 0, 16, 16, 280, 24},    {L"Label2", K::kLabel, 0, 16, 48, 280, 20},
    {L"Label3", K::kLabel, 0, 0, 0, 0, 0},         {L"Label4", K::kLabel, 0, 16, 76, 280, 20},
    {L"Button1", K::kButton, 0, 120, 112, 75, 25},
};

// Auto-backup settings: the headers of a General and an Advanced tab, the tabs' components
// below them on the form's own background; which component belongs to which tab is the
// dialog's business.
constexpr ComponentSpec kForm4[] = {
    {L"PageControl1", K::kTabControl, 0, 8, 8, 464, 24},
    // General.
    {L"CheckBox1", K::kCheckBox, 0, 20, 40, 300, 22},
    {L"Label2", K::kLabel, 0, 20, 68, 200, 20},
    {L"ListBox1", K::kCheckListBox, 0, 20, 88, 200, 140},
    {L"Label3", K::kLabel, 0, 234, 68, 200, 20},
    {L"ListBox2", K::kCheckListBox, 0, 234, 88, 226, 140},
    {L"Label4", K::kLabel, 0, 20, 240, 110, 20},
    {L"Edit1", K::kEdit, 0, 130, 237, 250, 23},
    {L"Button1", K::kButton, 0, 388, 236, 72, 25},
    {L"Label1", K::kLabel, 0, 20, 272, 140, 20},
    {L"Edit2", K::kEdit, 0, 160, 269, 40, 23},
    {L"ComboBox1", K::kComboBox, 0, 208, 269, 100, 200},
    {L"Label8", K::kLabel, 0, 20, 304, 110, 20},
    {L"DateTimePicker1", K::kDatePicker, 0, 130, 301, 110, 23},
    {L"Label9", K::kLabel, 0, 256, 304, 90, 20},
    {L"DateTimePicker2", K::kTimePicker, 0, 350, 301, 110, 23},
    // Advanced.
    {L"GroupBox1", K::kGroupBox, 0, 20, 40, 440, 84},
    {L"RadioButton3", K::kRadioButton, 0, 32, 60, 300, 22, L"GroupBox1"},
    {L"RadioButton4", K::kRadioButton, 0, 32, 88, 146, 22, L"GroupBox1"},
    {L"CheckBox2", K::kCheckBox, 0, 180, 88, 118, 22, L"GroupBox1"},
    {L"Edit3", K::kEdit, 0, 300, 87, 30, 23, L"GroupBox1"},
    {L"Label5", K::kLabel, 0, 334, 90, 124, 20, L"GroupBox1"},
    {L"CheckBox3", K::kCheckBox, 0, 20, 136, 300, 22},
    {L"Label6", K::kLabel, 0, 20, 166, 110, 20},
    {L"Edit4", K::kPasswordEdit, 0, 134, 163, 150, 23},
    {L"Label7", K::kLabel, 0, 20, 196, 110, 20},
    {L"Edit5", K::kPasswordEdit, 0, 134, 193, 150, 23},
    {L"GroupBox2", K::kGroupBox, 0, 20, 228, 440, 60},
    {L"RadioButton14", K::kRadioButton, 0, 32, 252, 140, 22, L"GroupBox2"},
    {L"RadioButton15", K::kRadioButton, 0, 174, 252, 140, 22, L"GroupBox2"},
    {L"ComboBox2", K::kComboBox, 0, 316, 251, 136, 200, L"GroupBox2"},
    // Below the tabs.
    {L"Button4", K::kButton, 0, 8, 372, 90, 25},
    {L"Button2", K::kButton, 0, 316, 372, 75, 25},
    {L"Button3", K::kButton, 0, 397, 372, 75, 25},
};

// Close-programs dialog.
constexpr ComponentSpec kForm5[] = {
    {L"Label1", K::kLabel, 0, 16, 12, 400, 20},    {L"ListBox1", K::kListBox, 0, 16, 36, 400, 140},
    {L"Button1", K::kButton, 0, 16, 190, 90, 25},  {L"Button2", K::kButton, 0, 120, 190, 140, 25},
    {L"Button3", K::kButton, 0, 326, 190, 90, 25},
};

constexpr std::array kForms = {
    FormSpec{L"Form1", 282, 179, 556, 402, kForm1}, FormSpec{L"Form2", 0, 0, 310, 124, kForm2},
    FormSpec{L"Form3", 0, 0, 320, 180, kForm3},     FormSpec{L"Form4", 0, 0, 480, 405, kForm4},
    FormSpec{L"Form5", 0, 0, 436, 256, kForm5},
};

}  // namespace

std::span<const FormSpec> AllForms() { return kForms; }

const FormSpec* FindForm(std::wstring_view form) {
  for (const FormSpec& spec : kForms) {
    if (spec.name == form) return &spec;
  }
  return nullptr;
}

const ComponentSpec* FindComponent(const FormSpec& form, std::wstring_view component) {
  for (const ComponentSpec& spec : form.components) {
    if (spec.name == component) return &spec;
  }
  return nullptr;
}

int ComponentId(std::wstring_view form, std::wstring_view component) {
  const FormSpec* spec = FindForm(form);
  if (spec == nullptr) return -1;
  const ComponentSpec* found = FindComponent(*spec, component);
  if (found == nullptr) return -1;
  return kFirstControlId + static_cast<int>(found - spec->components.data());
}

}  // namespace mailstow
