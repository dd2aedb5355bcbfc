// The layers of src/ as layers.txt states them, checked on every include of every source file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSources = fs::path(PICTAVO_SOURCE_DIR) / "src";

// Each row of layers.txt: a folder or a file of src/, and the folders it may include.
using Layers = std::map<std::string, std::set<std::string>>;

Layers ParseLayers(std::istream& text) {
  Layers layers;
  std::string line;
  while (std::getline(text, line)) {
    if (line.empty() || line.front() == '#') {
      continue;
    }
    const std::size_t colon = line.find(':');
    std::istringstream used(line.substr(colon + 1));
    std::set<std::string>& allowed = layers[line.substr(0, colon)];
    for (std::string folder; used >> folder;) {
      allowed.insert(folder);
    }
  }
  return layers;
}

Layers ReadLayers() {
  std::ifstream file(kSources / "layers.txt");
  return ParseLayers(file);
}

// The folder a source file or an include names: "platform/sim" for "platform/sim/machine.h".
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Why an include of `file` (a path below src/) breaks the layers; empty when it does not. The
// file's own row comes first, then its folder's and each folder above that.
std::string Breach(const Layers& layers, const std::string& file, const std::string& include) {
  auto row = layers.find(file);
  for (std::string folder = FolderOf(file); row == layers.end() && !folder.empty();
       folder = FolderOf(folder)) {
    row = layers.find(folder);
  }
  if (row == layers.end()) {
    return "no row of layers.txt holds " + file;
  }
  const std::string used = FolderOf(include);
  return row->second.count(used) != 0
             ? std::string()
             : file + " includes " + include + ", which its row (" + row->first + ") does not name";
}

TEST(LayersTest, NoSourceFileIncludesAgainstTheLayers) {
  const Layers layers = ReadLayers();
  ASSERT_FALSE(layers.empty()) << "layers.txt is missing or empty";
  const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
  int files = 0;
  int includes = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(kSources)) {
    const std::string extension = entry.path().extension().string();
    if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h")) {
      continue;
    }
    ++files;
    const std::string file = entry.path().lexically_relative(kSources).generic_string();
    std::ifstream text(entry.path());
    std::smatch match;
    for (std::string line; std::getline(text, line);) {
      if (std::regex_search(line, match, include)) {
        ++includes;
        const std::string breach = Breach(layers, file, match[1]);
        EXPECT_TRUE(breach.empty()) << breach;
      }
    }
  }
  // A wrong source folder would pass with nothing read.
  EXPECT_GT(files, 100);
  EXPECT_GT(includes, 200);
}

TEST(LayersTest, TheRuleRefusesWhatTheLayersForbid) {
  std::istringstream text(
      "# a remark\n"
      "platform: platform resources\n"
      "platform/sim: platform/sim platform resources\n"
      "engine: engine platform resources\n"
      "app: app engine platform resources\n"
      "app/main.cpp: app platform/sim platform\n");
  const Layers layers = ParseLayers(text);
  const struct {
    const char* file;
    const char* include;
    bool allowed;
  } cases[] = {
      {"engine/text.cpp", "engine/text.h", true},
      {"engine/text.cpp", "platform/system.h", true},
      {"engine/text.cpp", "resources/catalogue.h", true},
      {"engine/text.cpp", "app/outcome.h", false},           // a higher layer
      {"engine/text.cpp", "platform/sim/machine.h", false},  // a backend, not the door
      {"app/outcome.cpp", "engine/text.h", true},
      {"app/outcome.cpp", "platform/sim/machine.h", false},
      {"app/main.cpp", "platform/sim/machine.h", true},  // the file's own row
      {"app/main.cpp", "engine/text.h", false},          // which replaces its folder's
      {"platform/sim/user.cpp", "platform/files.h", true},
      {"platform/sim/user.cpp", "engine/text.h", false},
      {"platform/recording.cpp", "platform/sim/machine.h", false},
      {"wizard/pages.cpp", "engine/text.h", false},  // a folder without a row
      {"engine/text.cpp", "text.h", false},          // no folder: not a folder of src/
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Breach(layers, c.file, c.include).empty(), c.allowed)
        << c.file << " including " << c.include;
  }
}

}  // namespace
