// Base of the Wine tests that install the product into the prefix's own places: it finds the
// program files folder and the shell folders, checks that the prefix holds nothing of the
// product, and afterwards ends runs left behind and takes the product away by hand, however the
// test ended.
#pragma once

#include <string>
#include <vector>

#include "bench.h"

namespace e2e {

// Whether a key exists in the registry's 32-bit view.
bool KeyInView(const std::string& key);

class ProductTest : public WineTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Installer and uninstaller processes a failed test left running, ended by their ids; the
  // uninstaller's temporary copies too. A test that holds every process it starts may end them
  // more cheaply.
  virtual void EndStrayRuns();
  // Puts the machine back as it was without the program's help: the product's folder,
  // shortcuts and keys, and the renames for the next start that a run left.
  void RemoveProductByHand();

  fs::path dist_;  // the sample distribution of the Windows build
  std::string installWin_;
  std::string groupWin_;
  std::string desktopLinkWin_;
  fs::path install_;
  fs::path group_;
  fs::path desktopLink_;
  fs::path userGroup_;
  fs::path userDesktopLink_;
  std::vector<std::string> tempBefore_;  // the uninstaller's copies already in the temp folder
  bool pendingBefore_ = false;           // renames for the next start were waiting already

 private:
  bool touched_ = false;
};

}  // namespace e2e
