#include "core/catalogue/OndoChannel.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

TEST(StreamOrigin, AcceptsSchemeHostAndOptionalPortInTheirCanonicalForm) {
    const std::pair<const char*, const char*> origins[] = {
        {"http://127.0.0.1:8000", "http://127.0.0.1:8000"},
        {"HTTPS://Mirror.Example.org/", "https://mirror.example.org"},
        {"http://[::1]:9", "http://[::1]:9"}};
    for (const auto& [text, canonical] : origins) {
        const auto origin = StreamOrigin::parse(text);
        ASSERT_TRUE(origin) << text;
        EXPECT_EQ(origin->toString(), canonical);
    }
}

TEST(StreamOrigin, RejectsAnythingButAnOrigin) {
    for (const char* text :
         {"", "127.0.0.1:8000", "ftp://host", "file:///etc/passwd", "http://", "http://:80",
          "http://host:0", "http://host:65536", "http://host:8a", "http://host:", "http://host/x",
          "http://host?x=1", "http://host#f", "http://user@host", "http://ho st", "http://-host",
          "http://host..org", "http://[zz]", "https://host:80/extra/"}) {
        EXPECT_FALSE(StreamOrigin::parse(text)) << '"' << text << '"';
    }
}

TEST(StreamUrl, RejectsRelativeOrUnsafeText) {
    for (const char* text : {"/just/a/path", "https://host/with space", "https://host/a#frag",
                             "https://host/%zz", "javascript:alert(1)", "https://host/\n"}) {
        EXPECT_FALSE(StreamUrl::parse(text)) << '"' << text << '"';
    }
}

} // namespace
} // namespace tunora
