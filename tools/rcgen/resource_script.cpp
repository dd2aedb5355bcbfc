#include "resource_script.h"

#include <array>
#include <cctype>
#include <limits>
#include <utility>

namespace rcgen {
namespace {

// Values from the Win32 headers (winuser.h, winresrc.h). Only names that setup.rc has a use for;
// an unknown name is an error rather than a guess.
constexpr std::array<std::pair<std::string_view, std::uint32_t>, 37> kStyleNames{{
    {"WS_POPUP", 0x80000000},
    {"WS_CHILD", 0x40000000},
    {"WS_VISIBLE", 0x10000000},
    {"WS_DISABLED", 0x08000000},
    {"WS_CLIPSIBLINGS", 0x04000000},
    {"WS_CLIPCHILDREN", 0x02000000},
    {"WS_CAPTION", 0x00C00000},
    {"WS_BORDER", 0x00800000},
    {"WS_DLGFRAME", 0x00400000},
    {"WS_VSCROLL", 0x00200000},
    {"WS_HSCROLL", 0x00100000},
    {"WS_SYSMENU", 0x00080000},
    {"WS_GROUP", 0x00020000},
    {"WS_TABSTOP", 0x00010000},
    {"WS_EX_CONTROLPARENT", 0x00010000},
    {"WS_EX_CLIENTEDGE", 0x00000200},
    {"DS_SETFONT", 0x0040},
    {"DS_MODALFRAME", 0x0080},
    {"DS_CONTROL", 0x0400},
    {"DS_CENTER", 0x0800},
    {"BS_PUSHBUTTON", 0x0000},
    {"BS_DEFPUSHBUTTON", 0x0001},
    {"BS_AUTOCHECKBOX", 0x0003},
    {"BS_GROUPBOX", 0x0007},
    {"BS_AUTORADIOBUTTON", 0x0009},
    {"BS_TOP", 0x0400},
    {"BS_MULTILINE", 0x2000},
    {"SS_LEFT", 0x0000},
    {"SS_CENTER", 0x0001},
    {"SS_BITMAP", 0x000E},
    {"SS_ETCHEDHORZ", 0x0010},
    {"SS_REALSIZECONTROL", 0x0040},
    {"SS_SUNKEN", 0x1000},
    {"ES_MULTILINE", 0x0004},
    {"ES_AUTOVSCROLL", 0x0040},
    {"ES_AUTOHSCROLL", 0x0080},
    {"ES_READONLY", 0x0800},
}};

// The dialog manager's own classes, and the common controls' ones the layouts use.
constexpr std::array<std::string_view, 7> kClassNames{
    "Button", "Edit", "Static", "ListBox", "ComboBox", "ScrollBar", "msctls_progress32"};

// windres's defaults: a dialog without STYLE is a bordered pop-up with a system menu, and a
// CONTROL statement's style starts from a visible child.
constexpr std::uint32_t kDefaultDialogStyle = 0x80000000 | 0x00800000 | 0x00080000;
constexpr std::uint32_t kDefaultControlStyle = 0x40000000 | 0x10000000;
constexpr std::uint32_t kCaptionStyle = 0x00C00000;
constexpr std::uint32_t kSetFontStyle = 0x0040;

enum class Kind { kWord, kNumber, kString, kComma, kBar, kEnd };

struct Token {
  Kind kind;
  std::string text;  // word, or string with escapes resolved
  long long number = 0;
  int line = 0;
};

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  std::vector<Token> Run() {
    std::vector<Token> tokens;
    for (;;) {
      SkipBlanksAndComments();
      if (pos_ == text_.size()) {
        tokens.push_back({Kind::kEnd, "", 0, line_});
        return tokens;
      }
      tokens.push_back(Next());
    }
  }

 private:
  void SkipBlanksAndComments() {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
        at_line_start_ = true;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++pos_;
      } else if (text_.substr(pos_, 2) == "//") {
        while (pos_ < text_.size() && text_[pos_] != '\n')
          ++pos_;
      } else if (text_.substr(pos_, 2) == "/*") {
        std::size_t end = text_.find("*/", pos_ + 2);
        if (end == std::string_view::npos)
          throw ParseError(line_, "unterminated comment");
        for (std::size_t i = pos_; i < end; ++i)
          line_ += text_[i] == '\n';
        pos_ = end + 2;
      } else if (c == '#' && at_line_start_) {
        SkipInclude();
      } else {
        return;
      }
    }
  }

  // The preprocessor is windres's business; the only directive the script may use is an
  // #include of the system headers, which defines nothing the tool needs to know.
  void SkipInclude() {
    std::size_t end = text_.find('\n', pos_);
    std::string_view directive = text_.substr(pos_, end - pos_);
    std::string_view rest = directive.substr(1);
    while (!rest.empty() && rest.front() == ' ')
      rest.remove_prefix(1);
    if (!rest.starts_with("include") || rest.find_first_of("<\"") == std::string_view::npos)
      throw ParseError(line_, "unsupported preprocessor directive: " + std::string(directive));
    pos_ = end == std::string_view::npos ? text_.size() : end;
  }

  Token Next() {
    at_line_start_ = false;
    char c = text_[pos_];
    if (c == ',' || c == '|') {
      ++pos_;
      return {c == ',' ? Kind::kComma : Kind::kBar, std::string(1, c), 0, line_};
    }
    if (c == '"')
      return String();
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '-')
      return Number();
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      std::size_t start = pos_;
      while (pos_ < text_.size() &&
             (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
        ++pos_;
      return {Kind::kWord, std::string(text_.substr(start, pos_ - start)), 0, line_};
    }
    throw ParseError(line_, std::string("unexpected character '") + c + "'");
  }

  Token Number() {
    bool negative = text_[pos_] == '-';
    if (negative)
      ++pos_;
    int base = 10;
    if (text_.substr(pos_, 2) == "0x" || text_.substr(pos_, 2) == "0X") {
      base = 16;
      pos_ += 2;
    }
    long long value = 0;
    std::size_t digits = 0;
    for (; pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_]));
         ++pos_, ++digits) {
      char d = static_cast<char>(std::tolower(static_cast<unsigned char>(text_[pos_])));
      if (base == 10 && !std::isdigit(static_cast<unsigned char>(d)))
        break;
      value = value * base + (std::isdigit(static_cast<unsigned char>(d)) ? d - '0' : d - 'a' + 10);
      if (value > 0xFFFFFFFFLL)
        throw ParseError(line_, "number out of range");
    }
    if (digits == 0 ||
        (pos_ < text_.size() && std::isalnum(static_cast<unsigned char>(text_[pos_]))))
      throw ParseError(line_, "malformed number");
    return {Kind::kNumber, "", negative ? -value : value, line_};
  }

  // windres's rules: "" stands for one double quote; a backslash starts a C escape. Only the
  // escapes below are accepted, and only plain ASCII, so that no code page conversion can make
  // windres store anything else than the host tables hold.
  Token String() {
    int line = line_;
    std::string value;
    for (++pos_;; ++pos_) {
      if (pos_ == text_.size() || text_[pos_] == '\n')
        throw ParseError(line, "unterminated string");
      char c = text_[pos_];
      if (c == '"') {
        if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
          value += '"';
          ++pos_;
          continue;
        }
        ++pos_;
        return {Kind::kString, value, 0, line};
      }
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
        throw ParseError(line, "only printable ASCII is allowed in strings");
      if (c == '\\') {
        char e = pos_ + 1 < text_.size() ? text_[++pos_] : '\0';
        switch (e) {
          case 'n':
            value += '\n';
            break;
          case 'r':
            value += '\r';
            break;
          case 't':
            value += '\t';
            break;
          case '\\':
            value += '\\';
            break;
          default:
            throw ParseError(line, std::string("unsupported escape \\") + e +
                                       " (write \"\" for a double quote)");
        }
        continue;
      }
      value += c;
    }
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int line_ = 1;
  bool at_line_start_ = true;
};

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  Script Run() {
    while (Peek().kind != Kind::kEnd) {
      const Token& t = Peek();
      if (IsWord("LANGUAGE")) {
        Language();
      } else if (IsWord("STRINGTABLE")) {
        StringTable();
      } else if (t.kind == Kind::kNumber) {
        Resource();
      } else {
        Fail("expected a resource statement");
      }
    }
    return std::move(script_);
  }

 private:
  const Token& Peek() const { return tokens_[pos_]; }
  const Token& Take() { return tokens_[pos_ == tokens_.size() - 1 ? pos_ : pos_++]; }
  bool IsWord(std::string_view word) const {
    return Peek().kind == Kind::kWord && Peek().text == word;
  }
  [[noreturn]] void Fail(const std::string& message) const {
    const Token& t = Peek();
    std::string found = t.kind == Kind::kEnd      ? "end of file"
                        : t.kind == Kind::kString ? "a string"
                        : t.kind == Kind::kNumber ? std::to_string(t.number)
                                                  : t.text;
    throw ParseError(t.line, message + ", found " + found);
  }

  void ExpectWord(std::string_view word) {
    if (!IsWord(word))
      Fail("expected " + std::string(word));
    Take();
  }
  void ExpectComma() {
    if (Peek().kind != Kind::kComma)
      Fail("expected ','");
    Take();
  }
  std::string ExpectString() {
    if (Peek().kind != Kind::kString)
      Fail("expected a string");
    return Take().text;
  }
  long long ExpectNumber(long long low, long long high) {
    if (Peek().kind != Kind::kNumber)
      Fail("expected a number");
    if (Peek().number < low || Peek().number > high)
      Fail("number outside " + std::to_string(low) + ".." + std::to_string(high));
    return Take().number;
  }
  std::int16_t Coordinate() {
    return static_cast<std::int16_t>(ExpectNumber(std::numeric_limits<std::int16_t>::min(),
                                                  std::numeric_limits<std::int16_t>::max()));
  }
  std::uint16_t ResourceId() { return static_cast<std::uint16_t>(ExpectNumber(1, 0xFFFF)); }

  std::uint32_t StyleTerm() {
    if (Peek().kind == Kind::kNumber)
      return static_cast<std::uint32_t>(ExpectNumber(0, 0xFFFFFFFF));
    if (Peek().kind != Kind::kWord)
      Fail("expected a style name or number");
    std::uint32_t value = 0;
    if (!LookUpStyleName(Peek().text, value))
      Fail("unknown style name");
    Take();
    return value;
  }

  // windres folds a style expression from left to right into the style it already has:
  // a name is OR-ed in, NOT name clears the bits at that point.
  std::uint32_t StyleExpression(std::uint32_t style) {
    for (;;) {
      bool clear = IsWord("NOT");
      if (clear)
        Take();
      std::uint32_t value = StyleTerm();
      style = clear ? style & ~value : style | value;
      if (Peek().kind != Kind::kBar)
        return style;
      Take();
    }
  }

  std::uint32_t ExStyleExpression() {
    std::uint32_t style = StyleTerm();
    while (Peek().kind == Kind::kBar) {
      Take();
      style |= StyleTerm();
    }
    return style;
  }

  // The tables describe one language; a script for another would need another design.
  void Language() {
    Take();
    ExpectWord("LANG_ENGLISH");
    ExpectComma();
    ExpectWord("SUBLANG_ENGLISH_US");
  }

  void StringTable() {
    Take();
    ExpectWord("BEGIN");
    while (!IsWord("END")) {
      int line = Peek().line;
      auto id = static_cast<std::uint16_t>(ExpectNumber(0, 0xFFFF));
      if (Peek().kind == Kind::kComma)
        Take();
      if (!script_.strings.emplace(id, ExpectString()).second)
        throw ParseError(line, "string " + std::to_string(id) + " defined twice");
    }
    Take();
  }

  void Resource() {
    int line = Peek().line;
    std::uint16_t id = ResourceId();
    if (IsWord("DIALOGEX")) {
      Take();
      Dialog dialog = DialogBody(id);
      if (!script_.dialogs.emplace(id, std::move(dialog)).second)
        throw ParseError(line, "dialog " + std::to_string(id) + " defined twice");
    } else if (IsWord("BITMAP") || IsWord("ICON") || IsWord("RT_MANIFEST")) {
      std::string type = Take().text;
      script_.files.push_back({type, id, ExpectString()});
    } else {
      Fail("unsupported resource type");
    }
  }

  Dialog DialogBody(std::uint16_t id) {
    Dialog dialog;
    dialog.id = id;
    dialog.x = Coordinate();
    ExpectComma();
    dialog.y = Coordinate();
    ExpectComma();
    dialog.cx = Coordinate();
    ExpectComma();
    dialog.cy = Coordinate();

    // CAPTION and FONT add their bits both to the template and to the style that a later STYLE
    // statement starts from; STYLE itself replaces the pop-up default.
    dialog.style = kDefaultDialogStyle;
    std::uint32_t accumulated = 0;
    bool seen_style = false, seen_exstyle = false, seen_caption = false, seen_font = false;
    auto once = [this](bool& seen) {
      if (seen)
        Fail("statement given twice");
      seen = true;
      Take();
    };
    while (!IsWord("BEGIN")) {
      if (IsWord("STYLE")) {
        once(seen_style);
        accumulated = StyleExpression(accumulated);
        dialog.style = accumulated;
      } else if (IsWord("EXSTYLE")) {
        once(seen_exstyle);
        dialog.exStyle = ExStyleExpression();
      } else if (IsWord("CAPTION")) {
        once(seen_caption);
        dialog.caption = ExpectString();
        dialog.style |= kCaptionStyle;
        accumulated |= kCaptionStyle;
      } else if (IsWord("FONT")) {
        once(seen_font);
        dialog.fontPointSize = static_cast<std::uint16_t>(ExpectNumber(1, 0xFFFF));
        ExpectComma();
        dialog.fontName = ExpectString();
        dialog.style |= kSetFontStyle;
        accumulated |= kSetFontStyle;
      } else {
        Fail("expected STYLE, EXSTYLE, CAPTION, FONT or BEGIN");
      }
    }
    Take();
    while (!IsWord("END"))
      dialog.controls.push_back(ControlStatement());
    Take();
    // The font is written into the template only when the final style asks for it.
    if (!(dialog.style & kSetFontStyle)) {
      dialog.fontPointSize = 0;
      dialog.fontName.clear();
    }
    return dialog;
  }

  Control ControlStatement() {
    ExpectWord("CONTROL");
    Control control;
    if (Peek().kind == Kind::kNumber)
      control.text = "#" + std::to_string(ExpectNumber(0, 0xFFFF));
    else
      control.text = ExpectString();
    ExpectComma();
    control.id = static_cast<int>(ExpectNumber(-1, 0xFFFF));
    ExpectComma();
    if (Peek().kind != Kind::kString)
      Fail("expected a quoted class name");
    control.windowClass = CanonicalClassName(Peek().text);
    if (control.windowClass.empty())
      Fail("unknown control class");
    Take();
    ExpectComma();
    control.style = StyleExpression(kDefaultControlStyle);
    ExpectComma();
    control.x = Coordinate();
    ExpectComma();
    control.y = Coordinate();
    ExpectComma();
    control.cx = Coordinate();
    ExpectComma();
    control.cy = Coordinate();
    if (Peek().kind == Kind::kComma) {
      Take();
      control.exStyle = ExStyleExpression();
    }
    return control;
  }

  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  Script script_;
};

}  // namespace

bool LookUpStyleName(std::string_view name, std::uint32_t& value) {
  for (const auto& [known, known_value] : kStyleNames) {
    if (known == name) {
      value = known_value;
      return true;
    }
  }
  return false;
}

std::string CanonicalClassName(std::string_view name) {
  auto same = [](std::string_view a, std::string_view b) {
    if (a.size() != b.size())
      return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (std::tolower(static_cast<unsigned char>(a[i])) !=
          std::tolower(static_cast<unsigned char>(b[i])))
        return false;
    }
    return true;
  };
  for (std::string_view known : kClassNames) {
    if (same(known, name))
      return std::string(known);
  }
  return {};
}

Script ParseScript(std::string_view text) {
  return Parser(Lexer(text).Run()).Run();
}

}  // namespace rcgen
