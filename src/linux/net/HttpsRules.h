#pragma once

#include "linux/glib/GObjectPtr.h"

#include <gio/gio.h>
#include <string>
#include <string_view>

namespace tunora {

// The program's rules for what it fetches over the network, shared by the
// stream player and the update check: https stays https, redirects are
// followed a few times only, and a CA bundle the listener chose replaces the
// system's certificates rather than adding to them.

bool isHttps(std::string_view url);

struct RedirectCheck {
    enum class Verdict { follow, insecure, tooMany, invalid };
    Verdict verdict = Verdict::invalid;
    std::string target; // resolved against the address that answered
};

// Whether a redirect from `from` to `location` (a Location header, may be
// relative or missing) is followed after `followed` earlier redirects.
RedirectCheck checkRedirect(const std::string& from, const char* location, int followed);

// The certificates of a CA bundle as a TLS database; null, with `problem`
// saying why, when the file cannot be read or holds no certificate.
GObjectPtr<GTlsDatabase> loadTrustedCertificates(const std::string& path, std::string& problem);

} // namespace tunora
