// rcgen SCRIPT.rc OUTPUT.cpp
// Writes the host build's resource tables from the resource script that windres compiles into
// setup.exe. Fails, and so fails the build, on anything in the script it does not understand.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "resource_script.h"
#include "table_writer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: rcgen SCRIPT.rc OUTPUT.cpp\n";
    return 2;
  }
  const std::filesystem::path script_path = argv[1];
  std::ifstream in(script_path, std::ios::binary);
  if (!in) {
    std::cerr << script_path.string() << ": cannot open\n";
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();

  rcgen::Script script;
  try {
    script = rcgen::ParseScript(text.str());
  } catch (const rcgen::ParseError& e) {
    std::cerr << script_path.string() << ":" << e.line() << ": error: " << e.what() << "\n";
    return 1;
  }
  // The host build never reads these files, so a wrong name would otherwise first show up in
  // the Windows build.
  for (const rcgen::FileResource& file : script.files) {
    if (!std::filesystem::is_regular_file(script_path.parent_path() / file.path)) {
      std::cerr << script_path.string() << ": error: " << file.type << " " << file.id
                << " names missing file " << file.path << "\n";
      return 1;
    }
  }

  std::ofstream out(argv[2], std::ios::binary);
  out << rcgen::WriteTables(script, script_path.filename().string());
  if (!out.flush()) {
    std::cerr << argv[2] << ": cannot write\n";
    return 1;
  }
  return 0;
}
