// Turns a parsed script into the C++ source of the host build's resource tables
// (resources/resource_tables.h).
#pragma once

#include <string>

#include "resource_script.h"

namespace rcgen {

std::string WriteTables(const Script& script, const std::string& source_name);

}  // namespace rcgen
