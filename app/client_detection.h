// Which mail clients are installed, and which one is the system's default mail client.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/client_table.h"

namespace mailstow {

struct DetectionInput {
  std::vector<std::wstring> mail_client_subkeys;    // of HKLM\software\clients\mail, as listed
  std::optional<std::wstring> default_mail_client;  // its unnamed value
  bool user_poco_key = false;                       // HKCU\software\poco exists
  bool netscape_key = false;                        // HKLM\Software\Netscape exists
  bool opera_key = false;                           // HKCU\Software\Opera Software exists
};

struct DetectionResult {
  std::array<bool, kClientCount + 1> installed{};  // by client index; [0] unused
  int default_client = 0;                          // 0 when none of the ten
};

DetectionResult DetectClients(const DetectionInput& input);

#ifdef _WIN32
// Reads the detection input from this machine's registry.
DetectionInput ReadDetectionInput();
#endif

}  // namespace mailstow
