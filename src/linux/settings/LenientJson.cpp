#include "linux/settings/LenientJson.h"

#include <cmath>
#include <cstring>
#include <glib.h>

namespace tunora {
namespace {

bool isNumberCharacter(char c) {
    return (c >= '0' && c <= '9') || std::strchr("+-.eE", c) != nullptr;
}

// The index just past the string that starts with the quote at `start`.
std::size_t skipString(const std::string& json, std::size_t start) {
    std::size_t at = start + 1;
    while (at < json.size() && json[at] != '"') {
        at += json[at] == '\\' ? 2 : 1;
    }
    return at + 1;
}

} // namespace

std::size_t nullOverflowingNumbers(std::string& json) {
    std::size_t replaced = 0;
    std::size_t at = 0;
    while (at < json.size()) {
        const char c = json[at];
        if (c == '"') {
            at = skipString(json, at);
            continue;
        }
        if (c != '-' && (c < '0' || c > '9')) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < json.size() && isNumberCharacter(json[end])) {
            ++end;
        }
        const std::string token = json.substr(at, end - at);
        // Locale-independent, as JSON is.
        if (std::isinf(g_ascii_strtod(token.c_str(), nullptr))) {
            json.replace(at, end - at, "null");
            end = at + 4;
            ++replaced;
        }
        at = end;
    }
    return replaced;
}

} // namespace tunora
