#pragma once

#include <filesystem>

namespace tunora::paths {

// The running program's own file.
std::filesystem::path executable();

// Where the program's data lives, found from the executable so that one build
// works from the build tree, installed into any prefix, or unpacked anywhere:
// <prefix>/share/tunora next to <prefix>/bin, or <build>/data in the build tree.
std::filesystem::path dataDirectory();

// Compiled translations: <prefix>/share/locale, or <build>/locale.
std::filesystem::path localeDirectory();

} // namespace tunora::paths
