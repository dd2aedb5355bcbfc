// Draws the wizard's side picture (side.bmp) and the program icon (setup.ico).
//
// Run by hand when the art changes, and commit the outputs: the Windows build takes the files as
// they are and needs no host tool.
//   g++ -std=c++20 -O2 tools/artgen/artgen.cpp -o /tmp/artgen && /tmp/artgen src/resources
//
// setup.exe has a tight size budget, so the picture is an 8-bit RLE bitmap whose rows are long
// runs: a vertical gradient with flat white line art, edges smoothed with a few blend levels.
// The icon uses 4 bits per pixel with a palette fitted to the drawing.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Rgb {
  double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double Distance2(Rgb a, Rgb b) {
  return (a.r - b.r) * (a.r - b.r) + (a.g - b.g) * (a.g - b.g) + (a.b - b.b) * (a.b - b.b);
}

using Shape = std::function<bool(double x, double y)>;

Shape RoundRect(double left, double top, double right, double bottom, double radius) {
  return [=](double x, double y) {
    if (x < left || x > right || y < top || y > bottom)
      return false;
    double dx = std::max({left + radius - x, 0.0, x - (right - radius)});
    double dy = std::max({top + radius - y, 0.0, y - (bottom - radius)});
    return dx * dx + dy * dy <= radius * radius;
  };
}

Shape Rect(double left, double top, double right, double bottom) {
  return RoundRect(left, top, right, bottom, 0);
}

Shape Disc(double cx, double cy, double radius) {
  return [=](double x, double y) {
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
  };
}

Shape Ring(double cx, double cy, double inner, double outer) {
  return [=](double x, double y) {
    double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
    return d2 >= inner * inner && d2 <= outer * outer;
  };
}

// Shapes applied in order: each either paints or cuts.
struct Layer {
  std::vector<std::pair<Shape, bool>> steps;  // (shape, paints)
  bool Covers(double x, double y) const {
    bool covered = false;
    for (const auto& [shape, paints] : steps) {
      if (shape(x, y))
        covered = paints;
    }
    return covered;
  }
  // Fraction of the pixel covered, from 8x8 samples.
  double Coverage(int px, int py, double scale = 1) const {
    int hits = 0;
    for (int sy = 0; sy < 8; ++sy) {
      for (int sx = 0; sx < 8; ++sx)
        hits += Covers((px + (sx + 0.5) / 8) * scale, (py + (sy + 0.5) / 8) * scale);
    }
    return hits / 64.0;
  }
};

// A camera in a pair of crop brackets: the product captures the screen. The camera is drawn in
// a 100 x 100 box whose corner is (ox, oy), scaled by s. At small sizes the lens becomes a plain
// dot, as a thin rim would blur away.
Layer CameraLayer(double ox, double oy, double s, bool brackets, bool small = false) {
  auto at = [=](double v, double o) { return o + v * s; };
  Layer layer;
  auto paint = [&](Shape shape) { layer.steps.push_back({std::move(shape), true}); };
  auto cut = [&](Shape shape) { layer.steps.push_back({std::move(shape), false}); };
  paint(RoundRect(at(14, ox), at(30, oy), at(86, ox), at(78, oy), 8 * s));  // body
  paint(RoundRect(at(36, ox), at(20, oy), at(64, ox), at(34, oy), 4 * s));  // viewfinder
  if (small) {
    cut(Disc(at(50, ox), at(55, oy), 18 * s));
    paint(Disc(at(50, ox), at(55, oy), 7 * s));
    return layer;
  }
  paint(RoundRect(at(19, ox), at(25, oy), at(30, ox), at(32, oy), 2 * s));  // shutter button
  cut(Disc(at(50, ox), at(55, oy), 19 * s));                                // lens opening
  paint(Ring(at(50, ox), at(55, oy), 11.5 * s, 15 * s));                    // lens rim
  paint(Disc(at(45, ox), at(50, oy), 3.2 * s));                             // glint
  if (brackets) {
    const double l = at(-2, ox), t = at(2, oy), r = at(102, ox), b = at(98, oy);
    const double w = 3.2 * s, arm = 16 * s;
    for (double x0 : {l, r - w}) {
      for (double y0 : {t, b - w})
        paint(Rect(x0, y0, x0 + w, y0 + w));
    }
    paint(Rect(l, t, l + arm, t + w));
    paint(Rect(l, t, l + w, t + arm));
    paint(Rect(r - arm, t, r, t + w));
    paint(Rect(r - w, t, r, t + arm));
    paint(Rect(l, b - w, l + arm, b));
    paint(Rect(l, b - arm, l + w, b));
    paint(Rect(r - arm, b - w, r, b));
    paint(Rect(r - w, b - arm, r, b));
  }
  return layer;
}

Layer DotLayer(double cx, double cy, double radius) {
  Layer layer;
  layer.steps.push_back({Disc(cx, cy, radius), true});
  return layer;
}

const Rgb kWhite{255, 255, 255};
const Rgb kAccent{255, 128, 64};

void Put16(std::string& out, unsigned v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8 & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::string InfoHeader(int width, int height, int bits, std::uint32_t compression,
                       std::uint32_t image_size, std::uint32_t colours) {
  std::string out;
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(height));
  Put16(out, 1);
  Put16(out, static_cast<unsigned>(bits));
  Put32(out, compression);
  Put32(out, image_size);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, colours);
  Put32(out, 0);
  return out;
}

std::string Palette(const std::vector<Rgb>& colours) {
  std::string out;
  for (const Rgb& c : colours) {
    out += static_cast<char>(std::lround(c.b));
    out += static_cast<char>(std::lround(c.g));
    out += static_cast<char>(std::lround(c.r));
    out += '\0';
  }
  return out;
}

// ---- Side picture --------------------------------------------------------------------------

constexpr int kSideWidth = 122;   // 81 dialog units at 8-point MS Sans Serif, 96 dpi
constexpr int kSideHeight = 262;  // 161 dialog units
constexpr int kShades = 60;       // background steps; 5 rows each, too close to see as bands
constexpr int kLevels = 4;        // blend levels of the line art: 1/4 .. 4/4

Rgb Background(int shade) {
  const Rgb top{12, 48, 92}, bottom{56, 138, 196};
  return Mix(top, bottom, static_cast<double>(shade) / (kShades - 1));
}

std::string SideBitmap() {
  // Palette: the shades, then white at 1/4..3/4 over each shade, then full white, then the
  // accent at 1/4..4/4 over white (the dot sits on the camera body).
  std::vector<Rgb> palette;
  for (int s = 0; s < kShades; ++s)
    palette.push_back(Background(s));
  for (int s = 0; s < kShades; ++s) {
    for (int level = 1; level < kLevels; ++level)
      palette.push_back(Mix(Background(s), kWhite, static_cast<double>(level) / kLevels));
  }
  const int white = static_cast<int>(palette.size());
  palette.push_back(kWhite);
  const int accent = static_cast<int>(palette.size());
  for (int level = 1; level <= kLevels; ++level)
    palette.push_back(Mix(kWhite, kAccent, static_cast<double>(level) / kLevels));

  const Layer art = CameraLayer(14, 54, 0.94, true);
  const Layer dot = DotLayer(14 + 76 * 0.94, 54 + 40 * 0.94, 3.4);
  auto level_of = [](double coverage) { return static_cast<int>(std::lround(coverage * kLevels)); };

  std::vector<std::uint8_t> pixels(kSideWidth * kSideHeight);
  for (int y = 0; y < kSideHeight; ++y) {
    int shade =
        static_cast<int>(std::lround(static_cast<double>(y) * (kShades - 1) / (kSideHeight - 1)));
    for (int x = 0; x < kSideWidth; ++x) {
      int a = level_of(art.Coverage(x, y));
      int d = level_of(dot.Coverage(x, y));
      int index = d > 0          ? accent + d - 1
                  : a == kLevels ? white
                  : a > 0        ? kShades + shade * (kLevels - 1) + a - 1
                                 : shade;
      pixels[y * kSideWidth + x] = static_cast<std::uint8_t>(index);
    }
  }

  // BI_RLE8, bottom-up: every row as (count, index) runs, then end of line; end of bitmap last.
  std::string data;
  for (int y = kSideHeight - 1; y >= 0; --y) {
    const std::uint8_t* row = &pixels[y * kSideWidth];
    for (int x = 0; x < kSideWidth;) {
      int run = 1;
      while (x + run < kSideWidth && run < 255 && row[x + run] == row[x])
        ++run;
      data += static_cast<char>(run);
      data += static_cast<char>(row[x]);
      x += run;
    }
    data += std::string("\0\0", 2);
  }
  data += std::string("\0\1", 2);

  const std::string info = InfoHeader(kSideWidth, kSideHeight, 8, 1 /* BI_RLE8 */,
                                      static_cast<std::uint32_t>(data.size()),
                                      static_cast<std::uint32_t>(palette.size()));
  const std::string colours = Palette(palette);
  std::string file = "BM";
  const auto offset = static_cast<std::uint32_t>(14 + info.size() + colours.size());
  Put32(file, static_cast<std::uint32_t>(offset + data.size()));
  Put32(file, 0);
  Put32(file, offset);
  return file + info + colours + data;
}

// ---- Icon ----------------------------------------------------------------------------------

struct IconImage {
  int size;
  std::string bytes;
};

// Chooses 16 colours for the opaque pixels by k-means, seeded with the colours the drawing is
// made of, so flat areas keep their exact colour and the rest goes to the edges.
std::vector<Rgb> FitPalette(const std::vector<Rgb>& pixels, std::vector<Rgb> seeds) {
  std::vector<Rgb> centres = std::move(seeds);
  centres.insert(centres.begin(), Rgb{0, 0, 0});  // entry 0: transparent pixels
  for (std::size_t i = 0; centres.size() < 16; ++i)
    centres.push_back(pixels[(i * 7919) % pixels.size()]);
  for (int round = 0; round < 20; ++round) {
    std::vector<Rgb> sums(16, Rgb{0, 0, 0});
    std::vector<int> counts(16, 0);
    for (const Rgb& p : pixels) {
      std::size_t best = 1;
      for (std::size_t k = 2; k < 16; ++k) {
        if (Distance2(p, centres[k]) < Distance2(p, centres[best]))
          best = k;
      }
      sums[best] = {sums[best].r + p.r, sums[best].g + p.g, sums[best].b + p.b};
      ++counts[best];
    }
    for (std::size_t k = 1; k < 16; ++k) {
      if (counts[k] > 0)
        centres[k] = {sums[k].r / counts[k], sums[k].g / counts[k], sums[k].b / counts[k]};
    }
  }
  return centres;
}

IconImage DrawIcon(int size) {
  // Drawn on a 100 x 100 grid and scaled to the icon's size.
  const double s = 100.0 / size;
  const Shape tile = RoundRect(2, 2, 98, 98, 18);
  const bool small = size < 24;
  const double scale = small ? 0.96 : 0.84, ox = small ? 2 : 8, oy = small ? 0 : 6;
  const Layer art = CameraLayer(ox, oy, scale, false, small);
  const Layer dot = DotLayer(ox + 76 * scale, oy + 40 * scale, small ? 7 : 5.5);
  const Rgb top{22, 74, 140}, bottom{58, 142, 204};

  std::vector<Rgb> colour(size * size);
  std::vector<bool> opaque(size * size);
  std::vector<Rgb> opaque_pixels;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      Layer tile_layer;
      tile_layer.steps.push_back({tile, true});
      double t = tile_layer.Coverage(x, y, s);
      Rgb c = Mix(top, bottom, (y + 0.5) / size);
      c = Mix(c, kWhite, art.Coverage(x, y, s));
      c = Mix(c, kAccent, dot.Coverage(x, y, s));
      colour[y * size + x] = c;
      opaque[y * size + x] = t >= 0.5;
      if (t >= 0.5)
        opaque_pixels.push_back(c);
    }
  }
  std::vector<Rgb> palette = FitPalette(opaque_pixels, {top, bottom, kWhite, kAccent});

  const int xor_stride = (size / 2 + 3) / 4 * 4;
  const int and_stride = (size / 8 + 3) / 4 * 4;
  std::string xor_bits, and_bits;
  for (int y = size - 1; y >= 0; --y) {
    std::string xor_row(xor_stride, '\0'), and_row(and_stride, '\0');
    for (int x = 0; x < size; ++x) {
      std::size_t index = 0;
      if (opaque[y * size + x]) {
        index = 1;
        for (std::size_t k = 2; k < 16; ++k) {
          if (Distance2(colour[y * size + x], palette[k]) <
              Distance2(colour[y * size + x], palette[index]))
            index = k;
        }
      } else {
        and_row[x / 8] = static_cast<char>(and_row[x / 8] | 0x80 >> (x % 8));
      }
      xor_row[x / 2] = static_cast<char>(xor_row[x / 2] | index << (x % 2 ? 0 : 4));
    }
    xor_bits += xor_row;
    and_bits += and_row;
  }
  std::string bytes = InfoHeader(size, size * 2, 4, 0,
                                 static_cast<std::uint32_t>(xor_bits.size() + and_bits.size()), 0);
  return {size, bytes + Palette(palette) + xor_bits + and_bits};
}

std::string IconFile() {
  const std::array<IconImage, 2> images{DrawIcon(32), DrawIcon(16)};
  std::string file;
  Put16(file, 0);
  Put16(file, 1);  // icon
  Put16(file, images.size());
  std::uint32_t offset = 6 + 16 * images.size();
  for (const IconImage& image : images) {
    file += static_cast<char>(image.size);
    file += static_cast<char>(image.size);
    file += static_cast<char>(16);  // colours
    file += '\0';
    Put16(file, 1);  // planes
    Put16(file, 4);  // bits per pixel
    Put32(file, static_cast<std::uint32_t>(image.bytes.size()));
    Put32(file, offset);
    offset += static_cast<std::uint32_t>(image.bytes.size());
  }
  for (const IconImage& image : images)
    file += image.bytes;
  return file;
}

bool Write(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  if (!out.flush()) {
    std::fprintf(stderr, "artgen: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("%s: %zu bytes\n", path.c_str(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: artgen OUTPUT-FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  return Write(folder + "/side.bmp", SideBitmap()) && Write(folder + "/setup.ico", IconFile()) ? 0
                                                                                               : 1;
}
