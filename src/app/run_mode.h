// How the program decides, from its command line and its own file name, which run it performs.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class RunMode { SelfRemoval, Install, Uninstall };

// `name` as a whole argument anywhere after the program name, letter case ignored.
bool HasSwitch(const std::vector<std::string>& arguments, const char* name);

// The argument after the first `name` (letter case ignored); none when `name` is missing or
// the last argument.
std::optional<std::string> SwitchValue(const std::vector<std::string>& arguments, const char* name);

// "-s" as a whole argument anywhere after the program name, letter case ignored.
bool HasSilentSwitch(const std::vector<std::string>& arguments);

// A help switch ("/?", "-?", "/h", "-h", "--help") as a whole argument anywhere after the program
// name, letter case ignored: also where it stands as the value of another switch.
bool AsksForHelp(const std::vector<std::string>& arguments);

// `arguments` is the runtime's argument vector (element 0 the program); `programPath` the full
// path of the program file.
RunMode ChooseRunMode(const std::vector<std::string>& arguments, const std::string& programPath);
