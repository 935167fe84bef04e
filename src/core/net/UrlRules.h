#pragma once

#include <string>
#include <string_view>

namespace tunora {

// What the program reads from an address or from the type of an answer, the
// same for the streams and for the update check. Schemes and types are
// compared without regard to case, as the standards say they are.

bool isHttps(std::string_view url);

// "scheme://host[:port]" of an absolute http or https address, the scheme in
// lower case; empty for anything else, and for an address with credentials,
// which must not travel to another request.
std::string originOf(std::string_view url);

// Whether the address's host lies in the reserved .invalid domain: no name
// server ever answers for it, so it is never asked (asking can take seconds).
bool inInvalidDomain(std::string_view url);

// Web pages, error texts and the like: nothing a decoder should be asked about.
bool isTextType(std::string_view contentType);
// MPEG audio, under any of the names servers give it.
bool isMpegType(std::string_view contentType);

} // namespace tunora
