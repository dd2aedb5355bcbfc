#include <gtest/gtest.h>

#include <cctype>

#include "conformance/backend.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

TEST(ProcessConformance, ModuleFileNameIsTheFullPathOfTheProgramFile) {
  auto backend = conformance::MakeBackend();
  const std::string path = backend->Get().process.ModuleFileName();

  // A drive-letter path, never relative, whatever the command line said.
  ASSERT_GE(path.size(), 3u) << path;
  EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(path[0]))) << path;
  EXPECT_EQ(path.substr(1, 2), ":\\") << path;
  EXPECT_EQ(path.find('/'), std::string::npos) << path;

  const std::size_t lastSlash = path.rfind('\\');
  EXPECT_EQ(Lower(path.substr(lastSlash + 1)), Lower(backend->ProgramFileName())) << path;
}

TEST(ProcessConformance, ArgumentsStartWithTheProgram) {
  auto backend = conformance::MakeBackend();
  const std::vector<std::string> arguments = backend->Get().process.Arguments();
  ASSERT_FALSE(arguments.empty());
  EXPECT_NE(Lower(arguments[0]).find("conformance"), std::string::npos) << arguments[0];
}

}  // namespace

namespace {

TEST(ProcessConformance, PauseOfNoTimeAndShellNoticeReturn) {
  auto backend = conformance::MakeBackend();
  backend->Get().process.Sleep(0);
  backend->Get().shell.ChangeNotify(platform::kShellEventAssociationChanged,
                                    platform::kShellNotifyIdList);
  // Still the same process afterwards.
  EXPECT_FALSE(backend->Get().process.ModuleFileName().empty());
}

}  // namespace
