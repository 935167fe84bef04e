#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tunora {

// Text that others send (a song title in a stream, a server's answer), made
// fit for the panel and the log: valid UTF-8 only, no control characters (a
// line break or tab becomes one space), and at most `limit` characters, cut at
// a character with "…" as the last one.
std::string untrustedText(std::string_view text, std::size_t limit = 200);

} // namespace tunora
