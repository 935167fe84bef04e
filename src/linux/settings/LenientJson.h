#pragma once

#include <cstddef>
#include <string>

namespace tunora {

// Replaces every number in a JSON text that no double can hold (1e999) with
// null, so that the parser takes the rest of the document instead of refusing
// it whole. Strings are left alone. Returns how many numbers were replaced.
std::size_t nullOverflowingNumbers(std::string& json);

} // namespace tunora
