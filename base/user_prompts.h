// The message boxes and the password prompt that non-visual code raises. The Windows
// implementation shows real boxes; tests answer through a recording implementation.
#pragma once

#include <optional>
#include <string>

namespace mailstow {

enum class PromptKind { kPlain, kInformation, kWarning, kError, kConfirmation };
enum class PromptButtons { kOk, kOkCancel, kYesNo };
enum class PromptAnswer { kOk, kCancel, kYes, kNo };

class UserPrompts {
 public:
  virtual ~UserPrompts() = default;
  virtual PromptAnswer Show(PromptKind kind, PromptButtons buttons, const std::wstring& text) = 0;
  // The password prompt; nullopt when it was left with Cancel.
  virtual std::optional<std::wstring> AskPassword() = 0;
};

}  // namespace mailstow
