// The runs the program performs, and the program file's path that one of them is chosen by.
#pragma once

#include <string>

enum class RunMode { SelfRemoval, Install, Uninstall };

// The program file's path as a 260-character buffer holds it.
std::string ProgramFilePath(const std::string& moduleFileName);
