#pragma once

#include <cstddef>
#include <string>

namespace tunora {

// Replaces every number in a JSON text that no double can hold (1e999) with
// null, so that the parser takes the rest of the document instead of refusing
// it whole. Strings are left alone, and so is a number too small to hold
// (1e-999), which the parser reads as 0. Returns how many numbers were replaced.
std::size_t nullOverflowingNumbers(std::string& json);

// Where a parser stopped, as an editor counts: lines and columns from 1.
struct TextPosition {
    std::size_t line = 1;
    std::size_t column = 1;
    bool operator==(const TextPosition&) const = default;
};

// The position of the byte a JSON parser names in its error (counted from 1:
// the last byte it read).
TextPosition positionOfByte(const std::string& text, std::size_t byte);

} // namespace tunora
