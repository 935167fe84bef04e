#pragma once

#include <string_view>

namespace tunora {

// How long a notification asks to stay on screen, in milliseconds: long enough
// to notice it and read it through, since what Tunora tells often says what to
// do. Servers that keep popups a fixed time (GNOME) ignore it; Budgie holds
// them 6 to 12 s, and its 6 s default is too short for the key advice.
int readingTimeMs(std::string_view title, std::string_view body);

} // namespace tunora
