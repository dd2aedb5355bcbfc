// ANSI texts: letter case as the C runtime's lower-casing in the "C" locale sees it, blanks as
// its isspace sees them, and the characters of a text in the system's code page. Every walk
// over the characters of a path or a name that a user or a file gives lives here.
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

// Calls `visit(position, length)` for each character: one byte, or two for a double-byte one;
// a lead byte at the very end stands alone.
template <typename Visit>
void ForEachCharacter(platform::System& system, std::string_view text, Visit visit) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length =
        system.IsDBCSLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    visit(i, length);
    i += length;
  }
}

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

// The text without blanks, tabs and line breaks at either end, stepping by characters: a byte
// that ends a double-byte character is never taken for a blank.
std::string TrimSpaces(platform::System& system, std::string_view text);

// The text without blanks, tabs and line breaks at its start, or at its end, byte by byte, as
// the manifest's and the logs' records are read. No byte of a double-byte character of the
// East Asian code pages is one of them, so for such a text this is the same as TrimSpaces.
std::string TrimSpacesAtStart(std::string_view text);
std::string TrimSpacesAtEnd(std::string_view text);
