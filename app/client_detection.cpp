#include "client_detection.h"

namespace mailstow {
namespace {

bool Contains(const std::wstring& text, std::wstring_view part) {
  return text.find(part) != std::wstring::npos;
}

}  // namespace

DetectionResult DetectClients(const DetectionInput& input) {
  DetectionResult result;
  for (const std::wstring& name : input.mail_client_subkeys) {
    if (Contains(name, L"Outlook Express")) result.installed[1] = true;
    if (Contains(name, L"Microsoft Outlook")) result.installed[2] = true;
    if (Contains(name, L"Eudora")) result.installed[3] = true;
    if (Contains(name, L"IncrediMail")) result.installed[5] = true;
    if (Contains(name, L"Pegasus Mail")) result.installed[6] = true;
    if (Contains(name, L"The Bat")) result.installed[7] = true;
    if (Contains(name, L"Poco")) {
      result.installed[8] = true;
    } else if (input.user_poco_key) {
      // The user-level key counts only beside a mail-client subkey of another name.
      result.installed[8] = true;
    }
  }
  result.installed[4] = input.netscape_key;
  result.installed[9] = input.opera_key;
  result.installed[10] = true;
  if (input.default_mail_client) {
    for (const ClientInfo& client : AllClients()) {
      if (!client.default_name.empty() && client.default_name == *input.default_mail_client) {
        result.default_client = client.index;
      }
    }
  }
  return result;
}

}  // namespace mailstow
