#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <tuple>

#include "res_file.h"
#include "resource_script.h"
#include "table_writer.h"

namespace rcgen {
namespace {

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

Dialog OnlyDialog(const std::string& script) {
  Script parsed = ParseScript(script);
  EXPECT_EQ(parsed.dialogs.size(), 1u);
  return parsed.dialogs.begin()->second;
}

std::uint32_t ControlStyle(const std::string& style_expression) {
  Dialog dialog = OnlyDialog("1 DIALOGEX 0, 0, 10, 10\nBEGIN\n CONTROL \"\", 5, \"Static\", " +
                             style_expression + ", 1, 2, 3, 4\nEND\n");
  return dialog.controls.at(0).style;
}

int ErrorLine(const std::string& script) {
  try {
    ParseScript(script);
  } catch (const ParseError& e) {
    return e.line();
  }
  ADD_FAILURE() << "accepted: " << script;
  return 0;
}

TEST(RcgenStrings, ResolvesEscapesAndDoubledQuotesAsWindresDoes) {
  Script script = ParseScript(
      "STRINGTABLE\nBEGIN\n"
      "  7, \"click \"\"Yes\"\" \\\\ here\\n\\nnext\"\n"
      "  57344 \"\"\"\"\n"  // the comma is optional, as in windres
      "END\n");
  EXPECT_EQ(script.strings.at(7), "click \"Yes\" \\ here\n\nnext");
  EXPECT_EQ(script.strings.at(57344), "\"");
}

TEST(RcgenStrings, RejectsWhatWindresWouldStoreDifferentlyOrWarnAbout) {
  EXPECT_EQ(ErrorLine("STRINGTABLE\nBEGIN\n 1 \"say \\\"hi\\\"\"\nEND\n"), 3);  // \" warns
  EXPECT_EQ(ErrorLine("STRINGTABLE\nBEGIN\n 1 \"\\x41\"\nEND\n"), 3);
  EXPECT_EQ(ErrorLine("STRINGTABLE\nBEGIN\n 1 \"caf\xc3\xa9\"\nEND\n"), 3);  // code page
  EXPECT_EQ(ErrorLine("STRINGTABLE\nBEGIN\n 1 \"open\nEND\n"), 3);
  EXPECT_EQ(ErrorLine("STRINGTABLE\nBEGIN\n 1 \"a\"\n 1 \"b\"\nEND\n"), 4);
  EXPECT_EQ(ErrorLine("STRINGTABLE\nBEGIN\n 1 \"a\" \"b\"\nEND\n"), 3);
}

TEST(RcgenControls, StyleStartsVisibleChildAndFoldsNotLeftToRight) {
  const std::uint32_t kChildVisible = 0x50000000;
  EXPECT_EQ(ControlStyle("BS_PUSHBUTTON"), kChildVisible);
  EXPECT_EQ(ControlStyle("BS_DEFPUSHBUTTON | WS_TABSTOP"), kChildVisible | 0x00010001u);
  EXPECT_EQ(ControlStyle("SS_BITMAP | NOT WS_VISIBLE"), 0x4000000Eu);
  EXPECT_EQ(ControlStyle("NOT WS_VISIBLE | SS_CENTER | WS_TABSTOP"), 0x40010001u);
  EXPECT_EQ(ControlStyle("WS_TABSTOP | NOT WS_TABSTOP"), kChildVisible);
  EXPECT_EQ(ControlStyle("NOT WS_TABSTOP | WS_TABSTOP"), kChildVisible | 0x00010000u);
  EXPECT_EQ(ControlStyle("0x2000 | 9"), kChildVisible | 0x2009u);
}

TEST(RcgenControls, TextOrdinalClassNameAndExtendedStyle) {
  Dialog dialog = OnlyDialog(
      "1 DIALOGEX 0, 0, 10, 10\nBEGIN\n"
      "  CONTROL 101, 1002, \"STATIC\", SS_BITMAP, -3, 2, 81, 161, WS_EX_CLIENTEDGE\n"
      "  CONTROL \"a\"\"b\\nc\", -1, \"button\", BS_GROUPBOX, 1, 2, 3, 4\n"
      "  CONTROL \"\", 7, \"MSCTLS_Progress32\", WS_BORDER, 1, 2, 3, 4\n"
      "END\n");
  const Control& picture = dialog.controls.at(0);
  EXPECT_EQ(picture.text, "#101");
  EXPECT_EQ(picture.id, 1002);
  EXPECT_EQ(picture.windowClass, "Static");
  EXPECT_EQ(picture.exStyle, 0x200u);
  EXPECT_EQ(picture.x, -3);
  EXPECT_EQ(picture.cy, 161);
  const Control& group = dialog.controls.at(1);
  EXPECT_EQ(group.text, "a\"b\nc");
  EXPECT_EQ(group.id, -1);
  EXPECT_EQ(group.windowClass, "Button");
  EXPECT_EQ(dialog.controls.at(2).windowClass, "msctls_progress32");
  EXPECT_EQ(ErrorLine("1 DIALOGEX 0, 0, 10, 10\nBEGIN\n"
                      "  CONTROL \"\", 7, \"msctls_trackbar32\", 0, 1, 2, 3, 4\nEND\n"),
            3);
}

// Expected values are what windres 2.40 stores for the same statements.
TEST(RcgenDialogs, HeaderStatementsCombineAsInWindres) {
  EXPECT_EQ(OnlyDialog("1 DIALOGEX 0, 0, 10, 10\nBEGIN\nEND\n").style, 0x80880000u);
  EXPECT_EQ(OnlyDialog("1 DIALOGEX 0, 0, 10, 10\nCAPTION \"c\"\nBEGIN\nEND\n").style, 0x80C80000u);
  Dialog caption_first = OnlyDialog(
      "1 DIALOGEX 0, 0, 10, 10\nCAPTION \"C\\nD\"\nSTYLE WS_CHILD\nFONT 8, \"MS Sans Serif\"\n"
      "BEGIN\nEND\n");
  EXPECT_EQ(caption_first.style, 0x40C00040u);
  EXPECT_EQ(caption_first.caption, "C\nD");
  EXPECT_EQ(caption_first.fontPointSize, 8);
  EXPECT_EQ(caption_first.fontName, "MS Sans Serif");
  EXPECT_EQ(OnlyDialog("1 DIALOGEX 0, 0, 10, 10\nCAPTION \"C\"\nSTYLE WS_CHILD | NOT WS_CAPTION\n"
                       "BEGIN\nEND\n")
                .style,
            0x40000000u);
  Dialog no_font = OnlyDialog(
      "1 DIALOGEX 0, 0, 10, 10\nFONT 8, \"MS Sans Serif\"\nSTYLE WS_CHILD | NOT DS_SETFONT\n"
      "EXSTYLE WS_EX_CONTROLPARENT\nBEGIN\nEND\n");
  EXPECT_EQ(no_font.style, 0x40000000u);
  EXPECT_EQ(no_font.exStyle, 0x10000u);
  EXPECT_EQ(no_font.fontPointSize, 0);
  EXPECT_EQ(no_font.fontName, "");
}

TEST(RcgenScript, SkipsCommentsAndIncludesAndCountsLines) {
  Script script = ParseScript(
      "#include <windows.h>\n"
      "// STRINGTABLE\n"
      "/* 5 DIALOGEX\n   still a comment */ LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n"
      "101 BITMAP \"side.bmp\" // the picture\n"
      "1 ICON \"setup.ico\"\n1 RT_MANIFEST \"setup.manifest\"\n");
  EXPECT_TRUE(script.strings.empty());
  ASSERT_EQ(script.files.size(), 3u);
  EXPECT_EQ(script.files[0].type, "BITMAP");
  EXPECT_EQ(script.files[0].id, 101);
  EXPECT_EQ(script.files[0].path, "side.bmp");
  EXPECT_EQ(ErrorLine("/* one\ntwo */\n\n1 MENU \"x\"\n"), 4);
}

TEST(RcgenScript, RejectsConstructsOutsideItsSubset) {
  const std::string head = "1 DIALOGEX 0, 0, 10, 10\nBEGIN\n";
  EXPECT_EQ(ErrorLine(head + "  CONTROL \"a\", 5 \"Button\", BS_PUSHBUTTON, 1, 2, 3, 4\nEND\n"), 3);
  EXPECT_EQ(ErrorLine(head + "  CONTROL \"a\", 5, \"Button\", BS_FLAT, 1, 2, 3, 4\nEND\n"), 3);
  EXPECT_EQ(ErrorLine(head + "  CONTROL \"a\", 5, \"SysLink\", 0, 1, 2, 3, 4\nEND\n"), 3);
  EXPECT_EQ(ErrorLine(head + "  CONTROL \"a\", 5, Button, 0, 1, 2, 3, 4\nEND\n"), 3);
  EXPECT_EQ(ErrorLine(head + "  CONTROL \"a\", 5, \"Button\", 0, 1, 2, 3\nEND\n"), 4);
  EXPECT_EQ(ErrorLine(head + "  CONTROL \"a\", 5, \"Button\", 0, 1, 2, 3, 40000\nEND\n"), 3);
  EXPECT_EQ(ErrorLine(head + "  PUSHBUTTON \"a\", 5, 1, 2, 3, 4\nEND\n"), 3);
  EXPECT_EQ(ErrorLine(head), 3);                                        // no END
  EXPECT_EQ(ErrorLine("1 DIALOGEX 0, 0, 10, 10, 7\nBEGIN\nEND\n"), 1);  // help id
  EXPECT_EQ(ErrorLine("1 DIALOGEX 0, 0, 10, 10\nMENU 5\nBEGIN\nEND\n"), 2);
  EXPECT_EQ(ErrorLine("1 DIALOGEX 0, 0, 10, 10\nFONT 8, \"MS Shell Dlg\", 400, 0, 1\n"
                      "BEGIN\nEND\n"),
            2);
  EXPECT_EQ(ErrorLine("1 DIALOGEX 0, 0, 10, 10\nSTYLE WS_CHILD\nSTYLE WS_POPUP\nBEGIN\nEND\n"), 3);
  EXPECT_EQ(ErrorLine("1 DIALOG 0, 0, 10, 10\nBEGIN\nEND\n"), 1);
  EXPECT_EQ(ErrorLine("#define IDC_X 5\n"), 1);
  EXPECT_EQ(ErrorLine("LANGUAGE LANG_GERMAN, SUBLANG_GERMAN\n"), 1);
  EXPECT_EQ(ErrorLine("IDD_MAIN DIALOGEX 0, 0, 10, 10\nBEGIN\nEND\n"), 1);
  EXPECT_EQ(ErrorLine("STRINGTABLE\nBEGIN\n 1 \"a\"\nEND\n,\n"), 5);
  EXPECT_EQ(ErrorLine("STRINGTABLE\nBEGIN\n 12x \"a\"\nEND\n"), 3);
}

TEST(RcgenTables, WritesTextsAsCxxLiteralsThatKeepEveryCharacter) {
  Script script;
  script.strings[9] = "a\\b\"c\nd\te";
  const std::string source = WriteTables(script, "x.rc");
  EXPECT_NE(source.find(R"({9, "a\\b\"c\nd\te"})"), std::string::npos) << source;
}

TEST(RcgenResFile, RejectsTruncatedInput) {
  std::string bytes = ReadFile(SETUP_RES_PATH);
  ASSERT_GT(bytes.size(), 100u);
  EXPECT_THROW(ReadResFile(bytes.substr(0, bytes.size() - 10)), std::runtime_error);
}

// The host tables come from rcgen, setup.exe's resources from windres: both must read the same.
TEST(RcgenAgainstWindres, SetupScriptParsesToWhatWindresCompiles) {
  const Script parsed = ParseScript(ReadFile(SETUP_RC_PATH));
  const Script compiled = ReadResFile(ReadFile(SETUP_RES_PATH));

  EXPECT_EQ(parsed.strings, compiled.strings);
  ASSERT_EQ(parsed.dialogs.size(), compiled.dialogs.size());
  for (const auto& [id, dialog] : parsed.dialogs) {
    SCOPED_TRACE("dialog " + std::to_string(id));
    ASSERT_TRUE(compiled.dialogs.contains(id));
    const Dialog& other = compiled.dialogs.at(id);
    EXPECT_EQ(dialog.style, other.style);
    EXPECT_EQ(dialog.exStyle, other.exStyle);
    EXPECT_EQ(dialog.caption, other.caption);
    EXPECT_EQ(dialog.fontPointSize, other.fontPointSize);
    EXPECT_EQ(dialog.fontName, other.fontName);
    EXPECT_EQ(std::tie(dialog.x, dialog.y, dialog.cx, dialog.cy),
              std::tie(other.x, other.y, other.cx, other.cy));
    ASSERT_EQ(dialog.controls.size(), other.controls.size());
    for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
      const Control& a = dialog.controls[i];
      const Control& b = other.controls[i];
      SCOPED_TRACE("control " + std::to_string(a.id) + " \"" + a.text + "\"");
      EXPECT_EQ(a.text, b.text);
      EXPECT_EQ(a.id, b.id);
      EXPECT_EQ(a.windowClass, b.windowClass);
      EXPECT_EQ(a.style, b.style) << std::hex << a.style << " vs " << b.style;
      EXPECT_EQ(a.exStyle, b.exStyle);
      EXPECT_EQ(std::tie(a.x, a.y, a.cx, a.cy), std::tie(b.x, b.y, b.cx, b.cy));
    }
  }
}

}  // namespace
}  // namespace rcgen
