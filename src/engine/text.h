// ANSI texts: letter case as the C runtime's lower-casing in the "C" locale sees it, and the
// characters of paths in the system's code page.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/system.h"

// Only the bytes A to Z change, one by one, as the runtime changes them; the second byte of a
// double-byte character can be one of them, so compare texts lowered alike, never a lowered
// text with the original.

std::string LowerCase(std::string text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// The blank and the control characters 9 to 13 (tab, line feed, ..., carriage return), as the
// C runtime's isspace sees them in the "C" locale.
inline bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// The characters of a text in the system's ANSI code page. In the East Asian code pages (932,
// 936, 949, 950) the second byte of many characters is 0x5C, the backslash, or a letter, so a
// path is only ever looked at character by character.

// The position of the first character at or after `from` that is one of the single-byte
// characters in `set`; npos when there is none.
std::size_t FindCharacter(platform::System& system, std::string_view text, std::string_view set,
                          std::size_t from = 0);
// The position of the last character that is one of the single-byte characters in `set`.
std::size_t FindLastCharacter(platform::System& system, std::string_view text,
                              std::string_view set);
// Whether the last character of `text` is one of the single-byte characters in `set`.
bool EndsWithCharacter(platform::System& system, std::string_view text, std::string_view set);
// How many characters the text has, as its wide form counts them: a double-byte character is one.
std::size_t CharacterCount(platform::System& system, std::string_view text);

// Path separators as Windows takes them.
inline constexpr std::string_view kSeparators = "\\/";
