#include "engine/format_text.h"

namespace {

std::string Decimal(int number, std::size_t width, char pad) {
  // Through unsigned, so that the most negative number has a magnitude too.
  unsigned magnitude =
      number < 0 ? 0u - static_cast<unsigned>(number) : static_cast<unsigned>(number);
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  std::string sign = number < 0 ? "-" : "";
  std::size_t length = sign.size() + digits.size();
  if (length >= width) {
    return sign + digits;
  }
  std::string padding(width - length, pad);
  return pad == '0' ? sign + padding + digits : padding + sign + digits;
}

}  // namespace

std::string FormatText(std::string_view format, std::initializer_list<FormatArgument> arguments) {
  std::string result;
  const FormatArgument* next = arguments.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      result += format[i];
      continue;
    }
    std::size_t j = i + 1;
    if (j < format.size() && format[j] == '%') {
      result += '%';
      i = j;
      continue;
    }
    char pad = ' ';
    if (j < format.size() && format[j] == '0') {
      pad = '0';
      ++j;
    }
    std::size_t width = 0;
    while (j < format.size() && format[j] >= '0' && format[j] <= '9') {
      if (width < 1000) {  // a width no text needs is not worth a huge allocation
        width = width * 10 + static_cast<std::size_t>(format[j] - '0');
      }
      ++j;
    }
    if (j >= format.size() || (format[j] != 'd' && format[j] != 's')) {
      result.append(format.substr(i, j - i));  // not a placeholder: kept as written
      i = j - 1;
      continue;
    }
    if (next != arguments.end()) {
      if (format[j] == 'd' && !next->isText_) {
        result += Decimal(next->number_, width, pad);
      } else if (format[j] == 's' && next->isText_) {
        result += next->text_;
      }
      ++next;
    }
    i = j;
  }
  return result;
}
