#include "output.h"

#include <windows.h>

#include <cstdio>

namespace uiauto {
namespace {

void WriteAll(DWORD which, const std::string& data) {
  // Raw bytes on purpose: the reader is a host program that expects UTF-8, whatever the
  // console code page of the Windows side says.
  HANDLE out = GetStdHandle(which);
  const char* p = data.data();
  DWORD left = static_cast<DWORD>(data.size());
  while (left > 0) {
    DWORD written = 0;
    if (!WriteFile(out, p, left, &written, nullptr) || written == 0) {
      return;
    }
    p += written;
    left -= written;
  }
}

}  // namespace

std::string ToUtf8(std::wstring_view text) {
  if (text.empty()) {
    return {};
  }
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                      nullptr, nullptr);
  return result;
}

std::string Escape(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20 || byte == 0x7f) {
          char buffer[5];
          std::snprintf(buffer, sizeof buffer, "\\x%02x", byte);
          out += buffer;
        } else {
          out += c;
        }
    }
  }
  return out;
}

Record::Record(std::string_view kind) : line_(kind) {}

Record& Record::Text(std::string_view key, std::wstring_view value) {
  return Text(key, ToUtf8(value));
}

Record& Record::Text(std::string_view key, std::string_view utf8) {
  line_ += '\t';
  line_ += key;
  line_ += '=';
  line_ += Escape(utf8);
  return *this;
}

Record& Record::Number(std::string_view key, long long value) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%lld", value);
  return Text(key, std::string_view(buffer));
}

Record& Record::Hex(std::string_view key, unsigned long long value) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "0x%llx", value);
  return Text(key, std::string_view(buffer));
}

void Record::Print() const {
  WriteAll(STD_OUTPUT_HANDLE, line_ + '\n');
}

void Record::PrintError() const {
  WriteAll(STD_ERROR_HANDLE, line_ + '\n');
}

void ReportError(std::string_view message, unsigned long windowsError) {
  Record record("error");
  record.Text("message", message);
  if (windowsError != 0) {
    record.Number("win32_error", static_cast<long long>(windowsError));
  }
  record.PrintError();
}

}  // namespace uiauto
