#pragma once

#include <string>
#include <string_view>

namespace tunora {

// `text` shown literally where a reader takes markup (Pango's, or the subset
// of HTML Qt renders): GLib's escape, as a string.
std::string markupEscaped(std::string_view text);

} // namespace tunora
