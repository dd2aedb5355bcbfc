#include "res_file.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace rcgen {
namespace {

constexpr std::uint16_t kTypeDialog = 5;
constexpr std::uint16_t kTypeString = 6;
constexpr std::uint16_t kLanguageUsEnglish = 0x0409;
constexpr std::uint32_t kSetFontStyle = 0x0040;

class Reader {
 public:
  Reader(std::string_view bytes, std::size_t pos = 0) : bytes_(bytes), pos_(pos) {}

  bool AtEnd() const { return pos_ >= bytes_.size(); }
  std::size_t pos() const { return pos_; }

  std::uint16_t U16() {
    Need(2);
    auto value = static_cast<std::uint16_t>(Byte(pos_) | Byte(pos_ + 1) << 8);
    pos_ += 2;
    return value;
  }
  std::uint32_t U32() {
    std::uint32_t low = U16();
    return low | static_cast<std::uint32_t>(U16()) << 16;
  }
  std::uint8_t U8() {
    Need(1);
    return Byte(pos_++);
  }
  void Skip(std::size_t count) {
    Need(count);
    pos_ += count;
  }
  void AlignTo4(std::size_t base) {
    while ((pos_ - base) % 4 != 0)
      Skip(1);
  }

  // A UTF-16 text that must be plain ASCII, as every text of the script is.
  std::string Text(std::uint16_t first) {
    std::string text;
    for (std::uint16_t c = first; c != 0; c = U16())
      text += Narrow(c);
    return text;
  }
  std::string Text() { return Text(U16()); }

  // A name or an ordinal; ordinals come back as "#n", the form LoadImage and friends accept.
  std::string TextOrOrdinal() {
    std::uint16_t first = U16();
    if (first == 0xFFFF)
      return "#" + std::to_string(U16());
    return Text(first);
  }

  static char Narrow(std::uint16_t c) {
    if (c > 0x7F)
      throw std::runtime_error("non-ASCII character in a resource text");
    return static_cast<char>(c);
  }

 private:
  void Need(std::size_t count) const {
    if (pos_ + count > bytes_.size())
      throw std::runtime_error("truncated .res file");
  }
  std::uint8_t Byte(std::size_t at) const { return static_cast<std::uint8_t>(bytes_[at]); }

  std::string_view bytes_;
  std::size_t pos_;
};

void ReadStringBlock(std::string_view data, std::uint16_t block, Script& script) {
  Reader reader(data);
  for (int i = 0; i < 16; ++i) {
    std::uint16_t length = reader.U16();
    if (length == 0)
      continue;
    std::string text;
    for (std::uint16_t k = 0; k < length; ++k)
      text += Reader::Narrow(reader.U16());
    script.strings[static_cast<std::uint16_t>((block - 1) * 16 + i)] = text;
  }
}

Dialog ReadDialog(std::string_view data, std::uint16_t id) {
  Reader reader(data);
  if (reader.U16() != 1 || reader.U16() != 0xFFFF)
    throw std::runtime_error("dialog " + std::to_string(id) + " is not an extended template");
  Dialog dialog;
  dialog.id = id;
  reader.U32();  // help id
  dialog.exStyle = reader.U32();
  dialog.style = reader.U32();
  std::uint16_t count = reader.U16();
  dialog.x = static_cast<std::int16_t>(reader.U16());
  dialog.y = static_cast<std::int16_t>(reader.U16());
  dialog.cx = static_cast<std::int16_t>(reader.U16());
  dialog.cy = static_cast<std::int16_t>(reader.U16());
  if (!reader.TextOrOrdinal().empty() || !reader.TextOrOrdinal().empty())
    throw std::runtime_error("dialog " + std::to_string(id) + " has a menu or a class");
  dialog.caption = reader.Text();
  if (dialog.style & kSetFontStyle) {
    dialog.fontPointSize = reader.U16();
    reader.U16();  // weight
    reader.U8();   // italic
    reader.U8();   // character set
    dialog.fontName = reader.Text();
  }
  for (std::uint16_t i = 0; i < count; ++i) {
    reader.AlignTo4(0);
    Control control;
    reader.U32();  // help id
    control.exStyle = reader.U32();
    control.style = reader.U32();
    control.x = static_cast<std::int16_t>(reader.U16());
    control.y = static_cast<std::int16_t>(reader.U16());
    control.cx = static_cast<std::int16_t>(reader.U16());
    control.cy = static_cast<std::int16_t>(reader.U16());
    control.id = static_cast<std::int32_t>(reader.U32());
    std::string window_class = reader.TextOrOrdinal();
    // Predefined classes may be stored as ordinals; windres stores the name in capitals.
    static constexpr std::pair<std::string_view, std::string_view> kOrdinals[] = {
        {"#128", "Button"},  {"#129", "Edit"},      {"#130", "Static"},
        {"#131", "ListBox"}, {"#132", "ScrollBar"}, {"#133", "ComboBox"}};
    for (const auto& [ordinal, name] : kOrdinals) {
      if (window_class == ordinal)
        window_class = name;
    }
    control.windowClass = CanonicalClassName(window_class);
    if (control.windowClass.empty())
      throw std::runtime_error("unknown control class " + window_class);
    control.text = reader.TextOrOrdinal();
    reader.Skip(reader.U16());  // creation data
    dialog.controls.push_back(control);
  }
  return dialog;
}

}  // namespace

Script ReadResFile(std::string_view bytes) {
  Script script;
  Reader reader(bytes);
  while (!reader.AtEnd()) {
    std::size_t start = reader.pos();
    std::uint32_t data_size = reader.U32();
    std::uint32_t header_size = reader.U32();
    if (header_size < 8)
      throw std::runtime_error("malformed .res header");
    std::string type = reader.TextOrOrdinal();
    std::string name = reader.TextOrOrdinal();
    reader.AlignTo4(start);
    reader.U32();  // data version
    reader.U16();  // memory flags
    std::uint16_t language = reader.U16();
    Reader(bytes, start + header_size).Skip(data_size);  // throws when the data is cut short
    std::string_view data = bytes.substr(start + header_size, data_size);

    bool is_string = type == "#" + std::to_string(kTypeString);
    bool is_dialog = type == "#" + std::to_string(kTypeDialog);
    if (is_string || is_dialog) {
      if (language != kLanguageUsEnglish)
        throw std::runtime_error("resource not in US English");
      if (name.empty() || name[0] != '#')
        throw std::runtime_error("named resource " + name);
      auto id = static_cast<std::uint16_t>(std::stoul(name.substr(1)));
      if (is_string)
        ReadStringBlock(data, id, script);
      else
        script.dialogs[id] = ReadDialog(data, id);
    }
    reader = Reader(bytes, start + header_size + ((data_size + 3) & ~std::size_t{3}));
  }
  return script;
}

}  // namespace rcgen
