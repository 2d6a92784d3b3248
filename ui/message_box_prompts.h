// User prompts shown as real Windows message boxes owned by a window.
#pragma once

#include <windows.h>

#include <functional>

#include "base/user_prompts.h"

namespace mailstow {

inline constexpr wchar_t kApplicationTitle[] = L"Mailstow";

class MessageBoxPrompts : public UserPrompts {
 public:
  // The password prompt is supplied by the caller (it needs the prompt form).
  using PasswordAsker = std::function<std::optional<std::wstring>()>;

  explicit MessageBoxPrompts(HWND owner = nullptr) : owner_(owner) {}
  void set_owner(HWND owner) { owner_ = owner; }
  void set_password_asker(PasswordAsker asker) { asker_ = std::move(asker); }

  PromptAnswer Show(PromptKind kind, PromptButtons buttons, const std::wstring& text) override;
  std::optional<std::wstring> AskPassword() override;

 private:
  HWND owner_;
  PasswordAsker asker_;
};

}  // namespace mailstow
