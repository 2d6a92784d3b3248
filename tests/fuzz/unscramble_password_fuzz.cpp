// Feeds arbitrary texts to UnscramblePassword: it must never read out of bounds, a malformed
// text must give an empty password, and whatever it accepts must survive a new scrambling.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "auto/passwd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const mailstow::UnscrambledPassword result = mailstow::UnscramblePassword(text);
  if (result.malformed) {
    if (!result.password.empty()) std::abort();
    return 0;
  }
  // Every well-formed text has the length of its layout.
  if (!text.empty() && text.size() / 2 < result.password.size() + 4) std::abort();
  if (result.password.empty()) return 0;
  const mailstow::UnscrambledPassword again =
      mailstow::UnscramblePassword(mailstow::ScramblePassword(result.password));
  if (again.malformed || again.password != result.password) std::abort();
  return 0;
}
