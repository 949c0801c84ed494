// UTF-8 helpers for what desktops tell of other programs' windows (their titles above all),
// which may be invalid or huge.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace desktop {

// The characters of a UTF-8 text; every byte that does not start a well-formed sequence (and
// every encoded surrogate or overlong form) becomes U+FFFD. Stops after `limit` characters.
std::u32string DecodeUtf8(std::string_view text, std::size_t limit = std::u32string::npos);

// The text re-encoded as well-formed UTF-8 (invalid bytes as U+FFFD), cut to at most `maxBytes`
// bytes without cutting a character in half, and ending at the first NUL.
std::string SanitizeUtf8(std::string_view text, std::size_t maxBytes);

// Latin-1 (ISO 8859-1) bytes as UTF-8.
std::string Latin1ToUtf8(std::string_view text);

}  // namespace desktop
