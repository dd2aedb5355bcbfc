// Reads the string table and dialog templates back out of a compiled .res file, so that the
// tables rcgen derives from a script can be checked against what windres made of the same script.
#pragma once

#include <string_view>

#include "resource_script.h"

namespace rcgen {

// Throws std::runtime_error on a malformed file, a resource in another language than US English
// or a text outside ASCII. Script::files stays empty.
Script ReadResFile(std::string_view bytes);

}  // namespace rcgen
