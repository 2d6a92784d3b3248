// The stored form of the unattended-backup password: the password bytes shifted by a running
// key, padded with random filler bytes and masked, written as upper-case hexadecimal pairs.
// It keeps the password from a casual look at the registry; it is no encryption.
//
// Buffer layout, L = password length, P = filler count, all bytes modulo 256:
//   0                  L + 2 + P, masked
//   1 .. L             password bytes plus the running key (first key, +12 per byte), masked
//   L + 1              the first key value, masked
//   L + 2 .. L + 1 + P filler bytes, masked
//   L + 2 + P          P, masked
//   L + 3 + P          the mask value
// Texts use the code page of the system; callers convert.
#pragma once

#include <string>
#include <string_view>

namespace mailstow {

// A new scrambled text for the password; every call draws new key, mask and filler, so the
// same password gives different texts. An empty password gives an empty text. Only the low
// byte of a length above 255 fits the length byte; the reader takes such a length from the
// size of the text.
std::string ScramblePassword(std::string_view password);

struct UnscrambledPassword {
  std::string password;    // empty when the text was malformed
  bool malformed = false;  // the text was not made by ScramblePassword's layout
};

// Reads a scrambled text back. An empty text gives an empty password. A text of odd length,
// with characters other than hexadecimal digits or with counts that do not fit its length
// is malformed.
UnscrambledPassword UnscramblePassword(std::string_view text);

}  // namespace mailstow
