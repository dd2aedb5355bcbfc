// setup.exe carries the resources that the host's tables describe: the simulated machine shows
// the texts and layouts that the real program shows. Read back from the built program file the
// way Windows reads them (loaded as a data file, LoadString, the dialog templates).

#include <set>
#include <sstream>

#include "bench.h"
#include "resources/resource_tables.h"

namespace e2e {
namespace {

class StringTableTest : public WineTest {};

TEST_F(StringTableTest, EveryEntryOfSetupExeEqualsTheHostCatalogue) {
  const UiResult dump = Uiauto({"strings", WindowsPath(bench().setupExe)});
  ASSERT_EQ(dump.exitCode, 0) << dump.err;

  for (const UiRecord& block : OfKind(dump.records, "block")) {
    EXPECT_EQ(block.Get("languages"), "1033")
        << "string block " << block.Get("block") << ": the catalogue is US English only";
  }

  std::map<long long, std::string> inProgram;
  for (const UiRecord& entry : OfKind(dump.records, "string")) {
    const std::optional<long long> id = entry.Number("id");
    ASSERT_TRUE(id.has_value());
    EXPECT_TRUE(inProgram.emplace(*id, entry.Get("text")).second) << "id " << *id << " twice";
  }
  std::map<long long, std::string> onHost;
  for (const resources::StringEntry& entry : resources::StringTable()) {
    onHost[entry.id] = Windows1252ToUtf8(entry.text);
  }
  ASSERT_FALSE(onHost.empty());

  for (const auto& [id, text] : onHost) {
    const auto found = inProgram.find(id);
    if (found == inProgram.end()) {
      ADD_FAILURE() << "entry " << id << " is missing from setup.exe: " << text;
    } else {
      EXPECT_EQ(found->second, text) << "entry " << id;
    }
  }
  for (const auto& [id, text] : inProgram) {
    EXPECT_TRUE(onHost.count(id)) << "setup.exe has entry " << id
                                  << " that the host catalogue lacks: " << text;
  }
}

// One line per dialog or control with every compared field, so that a difference shows as
// two lines side by side. Class names compare as Windows compares them: ignoring case.
std::string HostDialog(const resources::DialogLayout& dialog) {
  std::ostringstream line;
  line << std::hex << "style=0x" << dialog.style << " exstyle=0x" << dialog.exStyle << std::dec
       << " x=" << dialog.x << " y=" << dialog.y << " cx=" << dialog.cx << " cy=" << dialog.cy
       << " caption=" << Windows1252ToUtf8(dialog.caption) << " font=" << dialog.fontPointSize
       << " " << Windows1252ToUtf8(dialog.fontName) << " controls=" << dialog.controls.size();
  return line.str();
}

std::string ProgramDialog(const UiRecord& dialog) {
  std::ostringstream line;
  line << std::hex << "style=0x" << dialog.Number("style").value_or(-1) << " exstyle=0x"
       << dialog.Number("exstyle").value_or(-1) << std::dec << " x=" << dialog.Get("x")
       << " y=" << dialog.Get("y") << " cx=" << dialog.Get("cx") << " cy=" << dialog.Get("cy")
       << " caption=" << dialog.Get("caption") << " font=" << dialog.Get("font_size") << " "
       << dialog.Get("font") << " controls=" << dialog.Get("controls");
  return line.str();
}

std::string HostControl(const resources::ControlLayout& control) {
  std::ostringstream line;
  line << "id=" << control.id << " class=" << AsciiLower(control.windowClass)
       << " text=" << Windows1252ToUtf8(control.text) << std::hex << " style=0x" << control.style
       << " exstyle=0x" << control.exStyle << std::dec << " x=" << control.x << " y=" << control.y
       << " cx=" << control.cx << " cy=" << control.cy;
  return line.str();
}

std::string ProgramControl(const UiRecord& control) {
  std::ostringstream line;
  line << "id=" << control.Get("id") << " class=" << AsciiLower(control.Get("class"))
       << " text=" << control.Get("text") << std::hex << " style=0x"
       << control.Number("style").value_or(-1) << " exstyle=0x"
       << control.Number("exstyle").value_or(-1) << std::dec << " x=" << control.Get("x")
       << " y=" << control.Get("y") << " cx=" << control.Get("cx") << " cy=" << control.Get("cy");
  return line.str();
}

class DialogTemplatesTest : public WineTest {};

TEST_F(DialogTemplatesTest, TheSixLayoutsOfSetupExeEqualTheHostLayouts) {
  const UiResult dump = Uiauto({"dialogs", WindowsPath(bench().setupExe)});
  ASSERT_EQ(dump.exitCode, 0) << dump.err;

  std::map<long long, UiRecord> dialogs;
  std::map<long long, std::vector<UiRecord>> controls;  // in template order
  for (const UiRecord& record : dump.records) {
    if (record.kind == "dialog") {
      ASSERT_TRUE(record.Number("id").has_value()) << "a dialog named " << record.Get("name");
      EXPECT_TRUE(dialogs.emplace(*record.Number("id"), record).second)
          << "dialog " << record.Get("id") << " in more than one language";
    } else if (record.kind == "control") {
      controls[record.Number("dialog").value_or(-1)].push_back(record);
    }
  }
  std::set<long long> programIds;
  for (const auto& [id, dialog] : dialogs) {
    programIds.insert(id);
  }
  std::set<long long> hostIds;
  for (const resources::DialogLayout& layout : resources::DialogLayouts()) {
    hostIds.insert(layout.id);
  }
  EXPECT_EQ(programIds, (std::set<long long>{103, 104, 105, 106, 107, 108}));
  EXPECT_EQ(programIds, hostIds);

  for (const resources::DialogLayout& layout : resources::DialogLayouts()) {
    const auto found = dialogs.find(layout.id);
    if (found == dialogs.end()) {
      continue;  // reported above
    }
    SCOPED_TRACE("dialog " + std::to_string(layout.id));
    EXPECT_EQ(ProgramDialog(found->second), HostDialog(layout));
    const std::vector<UiRecord>& items = controls[layout.id];
    for (size_t i = 0; i < std::min(items.size(), layout.controls.size()); ++i) {
      EXPECT_EQ(ProgramControl(items[i]), HostControl(layout.controls[i])) << "control #" << i;
    }
  }
}

}  // namespace
}  // namespace e2e
