#include "linux/strings/UntrustedText.h"

#include <glib.h>

namespace tunora {

std::string untrustedText(std::string_view text, std::size_t limit) {
    std::string clean;
    std::size_t characters = 0;
    bool cut = false;
    const char* next = text.data();
    const char* const end = text.data() + text.size();
    while (next < end) {
        const gunichar c = g_utf8_get_char_validated(next, end - next);
        if (c == gunichar(-1) || c == gunichar(-2)) {
            ++next; // not UTF-8: the byte goes
            continue;
        }
        const char* const start = next;
        next = g_utf8_next_char(next);
        const bool space =
            c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029;
        if (space ? clean.empty() || clean.back() == ' ' : g_unichar_iscntrl(c)) {
            continue; // ESC, BEL, DEL, C1 controls; and spaces that would repeat
        }
        if (characters == limit) {
            cut = true;
            break;
        }
        clean.append(space ? " " : std::string_view(start, next - start));
        ++characters;
    }
    if (cut) {
        // The last character makes way for the ellipsis.
        const char* last = g_utf8_find_prev_char(clean.data(), clean.data() + clean.size());
        clean.resize(last != nullptr ? std::size_t(last - clean.data()) : 0);
        clean += "\u2026";
    }
    while (!clean.empty() && clean.back() == ' ') {
        clean.pop_back();
    }
    return clean;
}

} // namespace tunora
