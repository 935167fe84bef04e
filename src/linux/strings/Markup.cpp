#include "linux/strings/Markup.h"

#include "linux/glib/GObjectPtr.h"

namespace tunora {

std::string markupEscaped(std::string_view text) {
    const GCharPtr escaped(g_markup_escape_text(text.data(), gssize(text.size())));
    return escaped.get();
}

} // namespace tunora
