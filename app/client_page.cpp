// Page 3: which clients are installed, the default mail client, and the adapter of the
// chosen client.
#include <windows.h>

#include "app/client_detection.h"
#include "base/client_table.h"
#include "app/main_form.h"

namespace mailstow {
namespace {

constexpr wchar_t kNotAvailableYet[] =
    L"Backing up and restoring this E-mail Client is not available yet.";

}  // namespace

void MainForm::DetectInstalledClients() {
  job_->client_index = 0;
  const DetectionResult detected = DetectClients(ReadDetectionInput());
  installed_ = detected.installed;
  HFONT normal =
      reinterpret_cast<HFONT>(SendMessageW(form1_->Control(L"Button1"), WM_GETFONT, 0, 0));
  if (underlined_font_ == nullptr) {
    LOGFONTW font = {};
    GetObjectW(normal, sizeof(font), &font);
    font.lfUnderline = TRUE;
    underlined_font_ = CreateFontIndirectW(&font);
  }
  for (const ClientInfo& client : AllClients()) {
    const std::wstring radio(client.radio_button);
    form1_->SetChecked(radio, false);
    SendMessageW(form1_->Control(radio), WM_SETFONT,
                 reinterpret_cast<WPARAM>(
                     installed_[static_cast<size_t>(client.index)] ? underlined_font_ : normal),
                 TRUE);
    InvalidateRect(form1_->Control(radio), nullptr, TRUE);
  }
  if (const ClientInfo* client = ClientByIndex(detected.default_client)) {
    SelectRadio(std::wstring(client->radio_button));
    ClientChosen(client->index);
  }
}

void MainForm::ClientChosen(int client_index) {
  job_->client_index = client_index;
  job_->client_not_installed = !installed_[static_cast<size_t>(client_index)];
}

bool MainForm::AdapterAvailable(int client_index) {
  if (Adapter() != nullptr && adapter_client_ == client_index) return true;
  std::wstring text = Message(L"Message43");
  if (text == L"ERROR") text = kNotAvailableYet;
  prompts_.Show(PromptKind::kInformation, PromptButtons::kOk, text);
  return false;
}

MailClientAdapter* MainForm::Adapter() {
  if (adapter_client_ != job_->client_index) {
    adapter_ = CreateAdapter(job_->client_index, *adapter_context_);
    adapter_client_ = job_->client_index;
  }
  return adapter_.get();
}

}  // namespace mailstow
