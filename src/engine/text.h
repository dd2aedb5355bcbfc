// Letter case of ANSI texts, as the C runtime's lower-casing in the "C" locale sees it: only
// A to Z change, so no byte of a double-byte character is ever altered.
#pragma once

#include <string>
#include <string_view>

std::string LowerCase(std::string text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// The blank and the control characters 9 to 13 (tab, line feed, ..., carriage return), as the
// C runtime's isspace sees them in the "C" locale.
inline bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
