#include "platform/sim/system.h"

#include "platform/sim/user.h"

namespace sim {

std::uint64_t ReadClock() {
  // 1 January 2000; a step of a millisecond, as the system clock's own resolution.
  static std::uint64_t now = 125911584000000000;
  return now += 10000;
}

bool System::IsWow64Process() {
  if (!hasIsWow64Process_) {
    throw ScriptError("IsWow64Process called on a Windows that lacks it");
  }
  return is64Bit_;
}

bool System::IsDBCSLeadByte(unsigned char byte) {
  switch (codePage_) {
    case 932:  // Shift JIS
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:  // GBK
    case 949:  // Unified Hangul
    case 950:  // Big5
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

void System::SetCodePage(unsigned codePage) {
  const bool doubleByte = codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
  const bool singleByte = codePage == 874 || (codePage >= 1250 && codePage <= 1258);
  if (!doubleByte && !singleByte) {
    throw ScriptError("code page not simulated: " + std::to_string(codePage));
  }
  codePage_ = codePage;
}

}  // namespace sim
