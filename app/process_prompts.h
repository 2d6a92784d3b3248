// The prompts of the process: real message boxes while someone works with Mailstow; during an
// unattended run or cleanup, where nobody may be there to click, each question becomes a log
// line answered the declining way (Cancel, No, no password) and is remembered, so that the
// run can count the client as failed.
#pragma once

#include <utility>

#include "base/user_prompts.h"
#include "engine/run_log.h"
#include "ui/message_box_prompts.h"

namespace mailstow {

class ProcessPrompts final : public UserPrompts {
 public:
  ProcessPrompts(MessageBoxPrompts& boxes, RunLog& log) : boxes_(boxes), log_(log) {}

  void set_unattended(bool unattended) { unattended_ = unattended; }
  // Whether a question was declined without being shown since the last call.
  bool TakeDeclined() { return std::exchange(declined_, false); }

  PromptAnswer Show(PromptKind kind, PromptButtons buttons, const std::wstring& text) override {
    if (!unattended_) return boxes_.Show(kind, buttons, text);
    log_.Line(L"Not asked in an unattended run: " + text);
    declined_ = true;
    switch (buttons) {
      case PromptButtons::kOk:
        return PromptAnswer::kOk;
      case PromptButtons::kOkCancel:
        return PromptAnswer::kCancel;
      case PromptButtons::kYesNo:
        return PromptAnswer::kNo;
    }
    return PromptAnswer::kCancel;
  }

  std::optional<std::wstring> AskPassword() override {
    if (!unattended_) return boxes_.AskPassword();
    log_.Line(L"Not asked in an unattended run: the archive's password.");
    declined_ = true;
    return std::nullopt;
  }

 private:
  MessageBoxPrompts& boxes_;
  RunLog& log_;
  bool unattended_ = false;
  bool declined_ = false;
};

}  // namespace mailstow
