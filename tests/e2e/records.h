// Reading uiauto's output: one record per line, "kind<TAB>key=value<TAB>...", values escaped
// (\\, \n, \r, \t, \xHH) and UTF-8.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

struct UiRecord {
  std::string kind;
  std::map<std::string, std::string> fields;  // values unescaped

  bool Has(const std::string& key) const { return fields.count(key) != 0; }
  // The value, or "" when the field is missing.
  std::string Get(const std::string& key) const;
  // The value as a number (decimal or 0x-hex); nullopt when missing, empty or not a number.
  std::optional<long long> Number(const std::string& key) const;
};

std::string Unescape(std::string_view escaped);

// Lines that are not records (empty ones) are left out.
std::vector<UiRecord> ParseRecords(std::string_view output);

std::vector<UiRecord> OfKind(const std::vector<UiRecord>& records, std::string_view kind);

// Windows compares class names and paths without regard to ASCII letter case.
std::string AsciiLower(std::string_view text);

// The program's texts are ANSI (Windows-1252 on the test prefix); uiauto prints UTF-8.
std::string Windows1252ToUtf8(std::string_view ansi);

}  // namespace e2e
