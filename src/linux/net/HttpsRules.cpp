#include "linux/net/HttpsRules.h"

namespace tunora {
namespace {

constexpr int mostRedirects = 5;

} // namespace

bool isHttps(std::string_view url) {
    return url.size() >= 8 && g_ascii_strncasecmp(url.data(), "https://", 8) == 0;
}

RedirectCheck checkRedirect(const std::string& from, const char* location, int followed) {
    RedirectCheck check;
    GCharPtr target(location != nullptr
                        ? g_uri_resolve_relative(from.c_str(), location, G_URI_FLAGS_NONE, nullptr)
                        : nullptr);
    if (!target) {
        return check;
    }
    check.target = target.get();
    if (isHttps(from) && !isHttps(check.target)) {
        // to plain text, which would hand what was asked for to anyone on the path
        check.verdict = RedirectCheck::Verdict::insecure;
    } else if (followed >= mostRedirects) {
        check.verdict = RedirectCheck::Verdict::tooMany;
    } else {
        check.verdict = RedirectCheck::Verdict::follow;
    }
    return check;
}

GObjectPtr<GTlsDatabase> loadTrustedCertificates(const std::string& path, std::string& problem) {
    GError* rawError = nullptr;
    GObjectPtr<GTlsDatabase> database(g_tls_file_database_new(path.c_str(), &rawError));
    GErrorPtr error(rawError);
    if (!database) {
        problem = error ? error->message : "cannot be read";
    }
    return database;
}

} // namespace tunora
