#include "icons.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>

namespace uiauto {
namespace {

struct StockIcon {
  const wchar_t* resource;
  std::string_view name;
};

// IDI_HAND, IDI_EXCLAMATION and IDI_ASTERISK are the same icons as IDI_ERROR, IDI_WARNING and
// IDI_INFORMATION.
const StockIcon kStockIcons[] = {
    {IDI_HAND, "error"},           {IDI_QUESTION, "question"},       {IDI_EXCLAMATION, "warning"},
    {IDI_ASTERISK, "information"}, {IDI_APPLICATION, "application"}, {IDI_WINLOGO, "winlogo"},
    {IDI_SHIELD, "shield"},
};

// A 32-bit top-down bitmap selected into a memory DC.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<std::uint32_t*>(bits);
    if (bitmap_ != nullptr) {
      previous_ = SelectObject(dc_, bitmap_);
    }
  }
  ~Canvas() {
    if (previous_ != nullptr) {
      SelectObject(dc_, previous_);
    }
    if (bitmap_ != nullptr) {
      DeleteObject(bitmap_);
    }
    DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  bool ok() const { return bits_ != nullptr; }
  HDC dc() const { return dc_; }
  std::uint32_t Pixel(int x, int y) const { return bits_[y * width_ + x] & 0xffffff; }
  void Fill(std::uint32_t rgb) {
    for (int i = 0; i < width_ * height_; ++i) {
      bits_[i] = rgb;
    }
  }

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  std::uint32_t* bits_ = nullptr;
};

bool Near(std::uint32_t a, std::uint32_t b) {
  for (int shift = 0; shift < 24; shift += 8) {
    if (std::abs(static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff)) >
        24) {
      return false;
    }
  }
  return true;
}

// How many pixels differ between the control and the icon drawn on the control's background,
// stretched to the client size as the static control itself draws it.
int Mismatches(const Canvas& shown, HICON icon, int width, int height) {
  Canvas drawn(width, height);
  if (!drawn.ok()) {
    return width * height;
  }
  drawn.Fill(shown.Pixel(0, 0));
  DrawIconEx(drawn.dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
  GdiFlush();
  int count = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!Near(shown.Pixel(x, y), drawn.Pixel(x, y))) {
        ++count;
      }
    }
  }
  return count;
}

IconMatch IdentifyByPixels(HWND control) {
  RECT client{};
  GetClientRect(control, &client);
  const int width = client.right;
  const int height = client.bottom;
  if (width <= 0 || height <= 0) {
    return {"unknown", ""};
  }
  // Read from the screen, not through the control's own DC: under Wine another process's
  // window DC reads back black. The box must therefore be uncovered, as it is on the test
  // display. The control may not have painted yet right after its box appeared.
  for (int attempt = 0; attempt < 20; ++attempt) {
    Canvas shown(width, height);
    if (!shown.ok()) {
      return {"unknown", ""};
    }
    POINT origin{0, 0};
    ClientToScreen(control, &origin);
    HDC screen = GetDC(nullptr);
    BitBlt(shown.dc(), 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    GdiFlush();

    int best = width * height;
    int second = width * height;
    std::string_view bestName;
    for (const StockIcon& stock : kStockIcons) {
      const int count = Mismatches(shown, LoadIconW(nullptr, stock.resource), width, height);
      if (count < best) {
        second = best;
        best = count;
        bestName = stock.name;
      } else if (count < second) {
        second = count;
      }
    }
    // Clearly one icon: nearly every pixel equal, and no rival nearly as close.
    if (best * 50 <= width * height && second >= 4 * best + width * height / 20) {
      return {bestName, "pixels"};
    }
    Sleep(100);
  }
  return {"unknown", ""};
}

}  // namespace

IconMatch IdentifyIcon(HWND iconStatic) {
  DWORD_PTR shown = 0;
  if (!SendMessageTimeoutW(iconStatic, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &shown)) {
    return {"unknown", ""};
  }
  if (shown == 0) {
    return {"none", ""};
  }
  for (const StockIcon& stock : kStockIcons) {
    if (reinterpret_cast<DWORD_PTR>(LoadIconW(nullptr, stock.resource)) == shown) {
      return {stock.name, "handle"};
    }
  }
  return IdentifyByPixels(iconStatic);
}

}  // namespace uiauto
