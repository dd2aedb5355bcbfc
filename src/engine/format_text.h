// printf-style filling of catalogue texts, as small as the texts need it: %d (signed decimal),
// %0Nd and %Nd (at least N digits, zero- or blank-padded), %s and %%. Pure, so that it behaves
// the same on every backend.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

class FormatArgument {
 public:
  FormatArgument(int number) : number_(number) {}  // NOLINT: implicit by design
  FormatArgument(std::string_view text) : text_(text), isText_(true) {}                // NOLINT
  FormatArgument(const char* text) : FormatArgument(std::string_view(text)) {}         // NOLINT
  FormatArgument(const std::string& text) : FormatArgument(std::string_view(text)) {}  // NOLINT

 private:
  friend std::string FormatText(std::string_view, std::initializer_list<FormatArgument>);
  int number_ = 0;
  std::string_view text_;
  bool isText_ = false;
};

// A placeholder without a matching argument, or of the wrong kind, is left out; text is never
// read beyond the arguments given.
std::string FormatText(std::string_view format, std::initializer_list<FormatArgument> arguments);
