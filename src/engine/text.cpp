#include "engine/text.h"

#include <algorithm>

namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsOneOf(std::string_view text, std::size_t at, std::size_t length, std::string_view set) {
  return length == 1 && set.find(text[at]) != std::string_view::npos;
}

}  // namespace

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), LowerAscii);
  return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

std::size_t FindCharacter(platform::System& system, std::string_view text, std::string_view set,
                          std::size_t from) {
  std::size_t found = std::string_view::npos;
  ForEachCharacter(system, text, [&](std::size_t at, std::size_t length) {
    if (found == std::string_view::npos && at >= from && IsOneOf(text, at, length, set)) {
      found = at;
    }
  });
  return found;
}

std::size_t FindLastCharacter(platform::System& system, std::string_view text,
                              std::string_view set) {
  std::size_t found = std::string_view::npos;
  ForEachCharacter(system, text, [&](std::size_t at, std::size_t length) {
    if (IsOneOf(text, at, length, set)) {
      found = at;
    }
  });
  return found;
}

bool EndsWithCharacter(platform::System& system, std::string_view text, std::string_view set) {
  const std::size_t last = FindLastCharacter(system, text, set);
  return last != std::string_view::npos && last + 1 == text.size();
}

std::size_t CharacterCount(platform::System& system, std::string_view text) {
  std::size_t count = 0;
  ForEachCharacter(system, text, [&](std::size_t, std::size_t) { ++count; });
  return count;
}

std::string TrimSpaces(platform::System& system, std::string_view text) {
  std::size_t first = std::string_view::npos;
  std::size_t end = 0;
  ForEachCharacter(system, text, [&](std::size_t at, std::size_t length) {
    if (length == 2 || !IsSpace(text[at])) {
      first = std::min(first, at);
      end = at + length;
    }
  });
  return first == std::string_view::npos ? std::string()
                                         : std::string(text.substr(first, end - first));
}

std::string TrimSpacesAtStart(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) {
    text.remove_prefix(1);
  }
  return std::string(text);
}

std::string TrimSpacesAtEnd(std::string_view text) {
  while (!text.empty() && IsSpace(text.back())) {
    text.remove_suffix(1);
  }
  return std::string(text);
}
