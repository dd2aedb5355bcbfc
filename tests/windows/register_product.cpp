// register_product.exe FOLDER   registers the product as installed in FOLDER, for all users
// register_product.exe --remove takes the registration away again
//
// For the host's tests, which look at the registry from outside the program in between.
#include <cstring>

#include "engine/registration.h"
#include "platform/win32/win32_platform.h"
#include "windows_test_support.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    return 2;
  }
  platform::win32::Win32Platform platform;
  if (std::strcmp(argv[1], "--remove") == 0) {
    windows_tests::RemoveRegistration(platform.Get().registry);
    return windows_tests::MachineKeyExists(platform.Get().registry, registration::kProductKey) ? 1
                                                                                               : 0;
  }
  SetupOptions options;
  options.InstallFolder = argv[1];
  options.AllUsers = true;
  options.NewVersion = {6, 30, 2, 0};
  RegisterProduct(platform.Get(), options, 0);
  return windows_tests::MachineKeyExists(platform.Get().registry, registration::kProductKey) ? 0
                                                                                             : 1;
}
