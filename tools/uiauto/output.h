// Machine-readable output of uiauto: one record per line, the record kind first, then
// tab-separated key=value fields. Values are UTF-8 with backslash escapes, so that a text with
// line feeds or tabs stays inside its field and its line.
#pragma once

#include <string>
#include <string_view>

namespace uiauto {

std::string ToUtf8(std::wstring_view text);

// Backslash -> \\, line feed -> \n, carriage return -> \r, tab -> \t, any other control
// character -> \xHH. Everything else (non-ASCII included) passes unchanged.
std::string Escape(std::string_view utf8);

class Record {
 public:
  explicit Record(std::string_view kind);

  Record& Text(std::string_view key, std::wstring_view value);
  Record& Text(std::string_view key, std::string_view utf8);
  Record& Number(std::string_view key, long long value);
  Record& Hex(std::string_view key, unsigned long long value);

  void Print() const;       // to standard output
  void PrintError() const;  // to standard error

 private:
  std::string line_;
};

// Writes an "error" record with the message (and the last Windows error code when nonzero).
void ReportError(std::string_view message, unsigned long windowsError = 0);

}  // namespace uiauto
