#include "records.h"

#include <cstdlib>

namespace e2e {

std::string UiRecord::Get(const std::string& key) const {
  const auto found = fields.find(key);
  return found == fields.end() ? std::string() : found->second;
}

std::optional<long long> UiRecord::Number(const std::string& key) const {
  const auto found = fields.find(key);
  if (found == fields.end() || found->second.empty()) {
    return std::nullopt;
  }
  char* end = nullptr;
  const long long value = std::strtoll(found->second.c_str(), &end, 0);
  if (*end != '\0') {
    return std::nullopt;
  }
  return value;
}

std::string Unescape(std::string_view escaped) {
  std::string out;
  out.reserve(escaped.size());
  for (size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != '\\' || i + 1 == escaped.size()) {
      out += escaped[i];
      continue;
    }
    const char code = escaped[++i];
    switch (code) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'x':
        if (i + 2 < escaped.size()) {
          out += static_cast<char>(
              std::strtol(std::string(escaped.substr(i + 1, 2)).c_str(), nullptr, 16));
          i += 2;
        }
        break;
      default:  // "\\" and anything unknown stand for the character itself
        out += code;
    }
  }
  return out;
}

std::vector<UiRecord> ParseRecords(std::string_view output) {
  std::vector<UiRecord> records;
  while (!output.empty()) {
    const size_t end = output.find('\n');
    std::string_view line = output.substr(0, end);
    output = end == std::string_view::npos ? std::string_view() : output.substr(end + 1);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (line.empty()) {
      continue;
    }
    UiRecord record;
    size_t tab = line.find('\t');
    record.kind = std::string(line.substr(0, tab));
    while (tab != std::string_view::npos) {
      const size_t start = tab + 1;
      tab = line.find('\t', start);
      const std::string_view field = line.substr(start, tab - start);
      // Keys never hold '='; values may.
      const size_t equals = field.find('=');
      record.fields[std::string(field.substr(0, equals))] =
          equals == std::string_view::npos ? std::string() : Unescape(field.substr(equals + 1));
    }
    records.push_back(std::move(record));
  }
  return records;
}

std::vector<UiRecord> OfKind(const std::vector<UiRecord>& records, std::string_view kind) {
  std::vector<UiRecord> selected;
  for (const UiRecord& record : records) {
    if (record.kind == kind) {
      selected.push_back(record);
    }
  }
  return selected;
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return lower;
}

std::string Windows1252ToUtf8(std::string_view ansi) {
  // 0x80..0x9F differ from Latin-1; 0 marks the five unassigned codes, kept as U+FFFD.
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::string out;
  for (const char c : ansi) {
    const auto byte = static_cast<unsigned char>(c);
    char32_t code = byte;
    if (byte >= 0x80 && byte < 0xA0) {
      code = kHigh[byte - 0x80] != 0 ? kHigh[byte - 0x80] : 0xFFFD;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

}  // namespace e2e
