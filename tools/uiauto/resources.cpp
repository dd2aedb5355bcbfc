// Resource dumps of a module loaded as a data file: its string table and its dialog templates,
// read the way Windows reads them, so that a test can compare them with the table they were
// built from.

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "commands.h"
#include "output.h"

namespace uiauto {
namespace {

// Loaded as a data file: nothing of the module runs, and a module of another architecture
// loads too.
class DataModule {
 public:
  explicit DataModule(const std::wstring& path)
      : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~DataModule() {
    if (module_ != nullptr) {
      FreeLibrary(module_);
    }
  }
  DataModule(const DataModule&) = delete;
  DataModule& operator=(const DataModule&) = delete;

  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

struct ResourceName {
  std::uint16_t id = 0;  // 0 when the name is a string
  std::wstring text;
};

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context) {
  ResourceName entry;
  if (IS_INTRESOURCE(name)) {
    entry.id = static_cast<std::uint16_t>(reinterpret_cast<std::uintptr_t>(name));
  } else {
    entry.text = name;
  }
  reinterpret_cast<std::vector<ResourceName>*>(context)->push_back(entry);
  return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context) {
  reinterpret_cast<std::vector<WORD>*>(context)->push_back(language);
  return TRUE;
}

std::vector<ResourceName> ResourceNames(HMODULE module, LPCWSTR type) {
  std::vector<ResourceName> names;
  EnumResourceNamesW(module, type, CollectName, reinterpret_cast<LONG_PTR>(&names));
  return names;
}

std::vector<WORD> ResourceLanguages(HMODULE module, LPCWSTR type, LPCWSTR name) {
  std::vector<WORD> languages;
  EnumResourceLanguagesW(module, type, name, CollectLanguage,
                         reinterpret_cast<LONG_PTR>(&languages));
  return languages;
}

std::string LanguageList(const std::vector<WORD>& languages) {
  std::string list;
  for (WORD language : languages) {
    if (!list.empty()) {
      list += ',';
    }
    list += std::to_string(language);
  }
  return list;
}

LPCWSTR NameArgument(const ResourceName& name) {
  return name.id != 0 ? MAKEINTRESOURCEW(name.id) : name.text.c_str();
}

// Which of a block's sixteen entries are present: the raw block holds a length and the text
// for each, and a length of zero means "no such string".
std::vector<bool> PresentEntries(HMODULE module, std::uint16_t block, WORD language) {
  std::vector<bool> present(16, false);
  HRSRC info = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(block), language);
  if (info == nullptr) {
    return present;
  }
  const auto* data = static_cast<const std::uint16_t*>(LockResource(LoadResource(module, info)));
  const DWORD words = SizeofResource(module, info) / 2;
  DWORD at = 0;
  for (int i = 0; i < 16 && data != nullptr && at < words; ++i) {
    const std::uint16_t length = data[at];
    present[i] = length > 0;
    at += 1 + length;
  }
  return present;
}

}  // namespace

int DumpStrings(const Options& options) {
  DataModule module(options.module);
  if (module.get() == nullptr) {
    ReportError("cannot load the module as a data file", GetLastError());
    return kExitFailed;
  }
  int result = kExitOk;
  for (const ResourceName& block : ResourceNames(module.get(), RT_STRING)) {
    if (block.id == 0) {
      ReportError("a string block has a name instead of a number");
      result = kExitFailed;
      continue;
    }
    const std::vector<WORD> languages =
        ResourceLanguages(module.get(), RT_STRING, NameArgument(block));
    Record("block")
        .Number("block", block.id)
        .Number("first", (block.id - 1) * 16)
        .Text("languages", LanguageList(languages))
        .Print();
    std::vector<bool> present(16, false);
    for (WORD language : languages) {
      const std::vector<bool> inLanguage = PresentEntries(module.get(), block.id, language);
      for (int i = 0; i < 16; ++i) {
        present[i] = present[i] || inLanguage[i];
      }
    }
    for (int i = 0; i < 16; ++i) {
      const UINT id = (block.id - 1) * 16 + i;
      // A capacity of zero yields a pointer into the resource itself: the whole text, however
      // long, without a copy that could cut it.
      const wchar_t* text = nullptr;
      const int length = LoadStringW(module.get(), id, reinterpret_cast<LPWSTR>(&text), 0);
      if (length > 0) {
        Record("string").Number("id", id).Text("text", std::wstring_view(text, length)).Print();
      }
      if ((length > 0) != present[i]) {
        Record("error")
            .Text("message", "LoadStringW disagrees with the raw block")
            .Number("id", id)
            .PrintError();
        result = kExitFailed;
      }
    }
  }
  return result;
}

namespace {

// Reads a dialog template, which is a sequence of 16-bit words with some 32-bit fields, and
// items aligned to 32 bits from the start of the template.
class TemplateReader {
 public:
  TemplateReader(const std::uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool failed() const { return failed_; }
  size_t offset() const { return at_; }

  std::uint16_t Word() {
    std::uint16_t value = 0;
    Read(&value, 2);
    return value;
  }
  std::uint32_t Dword() {
    std::uint32_t value = 0;
    Read(&value, 4);
    return value;
  }
  std::uint8_t Byte() {
    std::uint8_t value = 0;
    Read(&value, 1);
    return value;
  }
  std::int16_t Short() { return static_cast<std::int16_t>(Word()); }

  std::wstring String() {
    std::wstring text;
    for (std::uint16_t c = Word(); c != 0 && !failed_; c = Word()) {
      text += static_cast<wchar_t>(c);
    }
    return text;
  }

  // A field that is empty (0x0000), an ordinal (0xFFFF then the number, shown as "#n") or a
  // string.
  std::wstring NameOrOrdinal(const wchar_t* const* ordinalNames = nullptr) {
    const size_t start = at_;
    const std::uint16_t first = Word();
    if (first == 0) {
      return {};
    }
    if (first == 0xFFFF) {
      const std::uint16_t ordinal = Word();
      if (ordinalNames != nullptr && ordinal >= 0x80 && ordinal <= 0x85) {
        return ordinalNames[ordinal - 0x80];
      }
      return L"#" + std::to_wstring(ordinal);
    }
    at_ = start;
    return String();
  }

  void AlignToDword() { at_ = (at_ + 3) & ~size_t{3}; }
  void Skip(size_t bytes) { at_ += bytes; }

 private:
  void Read(void* target, size_t bytes) {
    if (at_ + bytes > size_) {
      failed_ = true;
      at_ = size_;
      return;
    }
    std::memcpy(target, data_ + at_, bytes);
    at_ += bytes;
  }

  const std::uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
  bool failed_ = false;
};

const wchar_t* const kPredefinedClasses[] = {L"Button",  L"Edit",      L"Static",
                                             L"ListBox", L"ScrollBar", L"ComboBox"};

bool DumpDialog(const ResourceName& name, const std::uint8_t* data, size_t size, WORD language) {
  TemplateReader reader(data, size);
  const bool extended =
      size >= 4 && data[0] == 1 && data[1] == 0 && data[2] == 0xFF && data[3] == 0xFF;
  std::uint32_t helpId = 0;
  std::uint32_t exStyle = 0;
  std::uint32_t style = 0;
  if (extended) {
    reader.Skip(4);
    helpId = reader.Dword();
    exStyle = reader.Dword();
    style = reader.Dword();
  } else {
    style = reader.Dword();
    exStyle = reader.Dword();
  }
  const std::uint16_t count = reader.Word();
  const std::int16_t x = reader.Short();
  const std::int16_t y = reader.Short();
  const std::int16_t cx = reader.Short();
  const std::int16_t cy = reader.Short();
  const std::wstring menu = reader.NameOrOrdinal();
  const std::wstring windowClass = reader.NameOrOrdinal();
  const std::wstring caption = reader.String();

  Record dialog("dialog");
  if (name.id != 0) {
    dialog.Number("id", name.id);
  } else {
    dialog.Text("name", name.text);
  }
  dialog.Number("language", language)
      .Text("template", extended ? "ex" : "standard")
      .Hex("style", style)
      .Hex("exstyle", exStyle)
      .Number("help_id", helpId)
      .Number("x", x)
      .Number("y", y)
      .Number("cx", cx)
      .Number("cy", cy)
      .Text("menu", menu)
      .Text("class", windowClass)
      .Text("caption", caption);
  // DS_SHELLFONT includes DS_SETFONT; either one means a font block follows.
  if (style & DS_SETFONT) {
    dialog.Number("font_size", reader.Word());
    if (extended) {
      dialog.Number("font_weight", reader.Word());
      dialog.Number("font_italic", reader.Byte());
      dialog.Number("font_charset", reader.Byte());
    }
    dialog.Text("font", reader.String());
  }
  dialog.Number("controls", count);
  if (reader.failed()) {
    ReportError("dialog template is cut short");
    return false;
  }
  dialog.Print();

  for (std::uint16_t index = 0; index < count; ++index) {
    reader.AlignToDword();
    std::uint32_t itemHelpId = 0;
    std::uint32_t itemExStyle = 0;
    std::uint32_t itemStyle = 0;
    if (extended) {
      itemHelpId = reader.Dword();
      itemExStyle = reader.Dword();
      itemStyle = reader.Dword();
    } else {
      itemStyle = reader.Dword();
      itemExStyle = reader.Dword();
    }
    const std::int16_t itemX = reader.Short();
    const std::int16_t itemY = reader.Short();
    const std::int16_t itemCx = reader.Short();
    const std::int16_t itemCy = reader.Short();
    // The id is 32 bits wide in the extended form, 16 in the standard one; -1 (no id) is
    // all ones in either.
    const long long id = extended ? static_cast<std::int32_t>(reader.Dword())
                                  : static_cast<std::int16_t>(reader.Word());
    const std::wstring itemClass = reader.NameOrOrdinal(kPredefinedClasses);
    const std::wstring text = reader.NameOrOrdinal();
    const std::uint16_t extra = reader.Word();
    reader.Skip(extra);
    if (reader.failed()) {
      ReportError("dialog item is cut short");
      return false;
    }
    Record control("control");
    if (name.id != 0) {
      control.Number("dialog", name.id);
    } else {
      control.Text("dialog", name.text);
    }
    control.Number("index", index)
        .Number("id", id)
        .Text("class", itemClass)
        .Text("text", text)
        .Hex("style", itemStyle)
        .Hex("exstyle", itemExStyle)
        .Number("help_id", itemHelpId)
        .Number("x", itemX)
        .Number("y", itemY)
        .Number("cx", itemCx)
        .Number("cy", itemCy)
        .Number("extra", extra)
        .Print();
  }
  return true;
}

}  // namespace

int DumpDialogs(const Options& options) {
  DataModule module(options.module);
  if (module.get() == nullptr) {
    ReportError("cannot load the module as a data file", GetLastError());
    return kExitFailed;
  }
  int result = kExitOk;
  for (const ResourceName& name : ResourceNames(module.get(), RT_DIALOG)) {
    for (WORD language : ResourceLanguages(module.get(), RT_DIALOG, NameArgument(name))) {
      HRSRC info = FindResourceExW(module.get(), RT_DIALOG, NameArgument(name), language);
      HGLOBAL loaded = info != nullptr ? LoadResource(module.get(), info) : nullptr;
      const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
      if (data == nullptr || !DumpDialog(name, static_cast<const std::uint8_t*>(data),
                                         SizeofResource(module.get(), info), language)) {
        if (data == nullptr) {
          ReportError("cannot load a dialog template", GetLastError());
        }
        result = kExitFailed;
      }
    }
  }
  return result;
}

}  // namespace uiauto
