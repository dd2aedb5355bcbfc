#include "product_test.h"

#include "registry_keys.h"

namespace e2e {

bool KeyInView(const std::string& key) {
  return RunWindows({"reg", "query", key, "/reg:32"}).exitCode == 0;
}

void ProductTest::SetUp() {
  WineTest::SetUp();
  if (IsSkipped() || HasFatalFailure()) {
    return;
  }
  dist_ = bench().setupExe.parent_path() / "dist";
  ASSERT_TRUE(fs::exists(dist_ / "setup.exe") && fs::exists(dist_ / "PictvUnInst.log"))
      << "the sample distribution was not built: " << dist_;
  const std::optional<std::string> programFiles = RegValue(kCurrentVersion, "ProgramFilesDir");
  const std::optional<std::string> programs = RegValue(kShellFolders, "Common Programs");
  const std::optional<std::string> desktop = RegValue(kShellFolders, "Common Desktop");
  const std::optional<std::string> userPrograms = RegValue(kUserShellFolders, "Programs");
  const std::optional<std::string> userDesktop = RegValue(kUserShellFolders, "Desktop");
  ASSERT_TRUE(programFiles && programs && desktop && userPrograms && userDesktop)
      << "the prefix lacks a program files or shell folder entry";
  installWin_ = *programFiles + "\\Pictavo 6";
  groupWin_ = *programs + "\\Pictavo 6";
  desktopLinkWin_ = *desktop + "\\Pictavo 6.lnk";
  install_ = HostPath(installWin_);
  group_ = HostPath(groupWin_);
  desktopLink_ = HostPath(desktopLinkWin_);
  userGroup_ = HostPath(*userPrograms + "\\Pictavo 6");
  userDesktopLink_ = HostPath(*userDesktop + "\\Pictavo 6.lnk");
  ASSERT_FALSE(TempFolder().empty()) << "the prefix's temp folder was not found";
  tempBefore_ = FilesMatching(TempFolder(), "uni*.tmp");
  pendingBefore_ = RegValue(kSessionManager, "PendingFileRenameOperations").has_value();
  ASSERT_FALSE(fs::exists(install_)) << "a product folder from elsewhere lies in the prefix";
  ASSERT_FALSE(fs::exists(group_)) << "a program group from elsewhere lies in the prefix";
  ASSERT_FALSE(KeyInView(kProductKey)) << "the prefix already knows the product";
  touched_ = true;
}

void ProductTest::TearDown() {
  if (touched_) {
    EndStrayRuns();
    RemoveProductByHand();
  }
  WineTest::TearDown();
}

void ProductTest::EndStrayRuns() {
  for (const char* image : {"setup.exe", "PictvUnInst.exe"}) {
    for (const UiRecord& process : OfKind(Uiauto({"procs", "--image", image}).records, "process")) {
      RunWindows({"taskkill", "/f", "/pid", process.Get("pid")});
    }
  }
  RemoveTemporaryCopies(tempBefore_);
}

void ProductTest::RemoveProductByHand() {
  std::error_code error;
  for (const fs::path& path : {install_, group_, desktopLink_, userGroup_, userDesktopLink_}) {
    fs::remove_all(path, error);
  }
  EXPECT_TRUE(ImportRegistry(RegRemoval({kVendorKey, kAppPathKey, kUninstallKey}, pendingBefore_)))
      << "the product's keys stay behind";
}

}  // namespace e2e
