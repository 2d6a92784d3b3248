#include "message_box_prompts.h"

namespace mailstow {

PromptAnswer MessageBoxPrompts::Show(PromptKind kind, PromptButtons buttons,
                                     const std::wstring& text) {
  UINT type = 0;
  switch (kind) {
    case PromptKind::kPlain:
      break;
    case PromptKind::kInformation:
      type |= MB_ICONINFORMATION;
      break;
    case PromptKind::kWarning:
      type |= MB_ICONWARNING;
      break;
    case PromptKind::kError:
      type |= MB_ICONERROR;
      break;
    case PromptKind::kConfirmation:
      type |= MB_ICONQUESTION;
      break;
  }
  switch (buttons) {
    case PromptButtons::kOk:
      type |= MB_OK;
      break;
    case PromptButtons::kOkCancel:
      type |= MB_OKCANCEL;
      break;
    case PromptButtons::kYesNo:
      type |= MB_YESNO;
      break;
  }
  HWND owner = owner_ != nullptr && IsWindowVisible(owner_) ? owner_ : nullptr;
  switch (MessageBoxW(owner, text.c_str(), kApplicationTitle, type | MB_TASKMODAL)) {
    case IDYES:
      return PromptAnswer::kYes;
    case IDNO:
      return PromptAnswer::kNo;
    case IDCANCEL:
      return PromptAnswer::kCancel;
    default:
      return PromptAnswer::kOk;
  }
}

std::optional<std::wstring> MessageBoxPrompts::AskPassword() {
  if (!asker_) return std::nullopt;
  return asker_();
}

}  // namespace mailstow
