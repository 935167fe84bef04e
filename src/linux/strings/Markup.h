#pragma once

#include <string>
#include <string_view>

namespace tunora {

// `text` shown literally where a reader takes markup (Pango's, or the subset
// of HTML Qt renders): &, <, >, " and ' as entities both understand.
std::string markupEscaped(std::string_view text);

} // namespace tunora
