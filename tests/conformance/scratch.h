// A folder beside the test program and a key under HKCU\Software that belong to one test:
// whatever an earlier, interrupted run left there is removed first, and the test's own leftovers
// go at its end. Written against the door alone, so that both backends share it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conformance/backend.h"

namespace conformance {

inline constexpr char kScratchKey[] = "Software\\PictavoConformanceScratch";

inline void RemoveFolderTree(Backend& backend, const std::string& folder) {
  platform::FileSystem& files = backend.Get().files;
  for (const platform::FoundFile& entry : files.FindFiles(folder + "\\*")) {
    if (entry.name == "." || entry.name == "..") {
      continue;
    }
    const std::string path = folder + "\\" + entry.name;
    if (entry.attributes & platform::kAttributeDirectory) {
      RemoveFolderTree(backend, path);
    } else {
      backend.SetAttributes(path, platform::kAttributeNormal);
      files.DeleteFile(path);
    }
  }
  files.RemoveDirectory(folder);
}

inline void DeleteKeyTree(platform::Registry& registry, platform::RegistryKey root,
                          const std::string& path) {
  platform::RegistryKey key = 0;
  if (registry.OpenKey(root, path, platform::kKeyAllAccess, key) == platform::kErrorSuccess) {
    std::vector<std::string> names;
    std::string name;
    for (std::uint32_t i = 0; registry.EnumKey(key, i, name) == platform::kErrorSuccess; ++i) {
      names.push_back(name);
    }
    registry.CloseKey(key);
    for (const std::string& subKey : names) {
      DeleteKeyTree(registry, root, path + "\\" + subKey);
    }
  }
  registry.DeleteKey(root, path);
}

class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string program = platform_.process.ModuleFileName();
    folder_ = program.substr(0, program.rfind('\\')) + "\\conformance-scratch";
    RemoveFolderTree(*backend_, folder_);
    ASSERT_TRUE(files_.CreateDirectory(folder_)) << folder_;
    DeleteKeyTree(registry_, platform::kHkeyCurrentUser, kScratchKey);
    ASSERT_EQ(registry_.CreateKey(platform::kHkeyCurrentUser, kScratchKey, key_),
              platform::kErrorSuccess);
  }

  void TearDown() override {
    registry_.CloseKey(key_);
    DeleteKeyTree(registry_, platform::kHkeyCurrentUser, kScratchKey);
    RemoveFolderTree(*backend_, folder_);
  }

  // A path inside the scratch folder.
  std::string Path(const std::string& name) const { return folder_ + "\\" + name; }

  std::unique_ptr<Backend> backend_ = MakeBackend();
  platform::Platform& platform_ = backend_->Get();
  platform::FileSystem& files_ = platform_.files;
  platform::Registry& registry_ = platform_.registry;
  std::string folder_;
  platform::RegistryKey key_ = 0;  // the scratch key, open with full access
};

}  // namespace conformance
