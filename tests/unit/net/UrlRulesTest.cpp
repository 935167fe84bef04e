#include "core/net/UrlRules.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

TEST(UrlRulesTest, HttpsAndOriginsReadSchemesWithoutRegardToCase) {
    struct Case {
        const char* url;
        bool https;
        const char* origin;
    };
    for (const Case& c : {
             Case{"https://host/x", true, "https://host"},
             Case{"HTTPS://Host:8443/x?y", true, "https://Host:8443"},
             Case{"http://host", false, "http://host"},
             Case{"http://host?query", false, "http://host"},
             Case{"http://host#part", false, "http://host"},
             Case{"http://[::1]:8000/a", false, "http://[::1]:8000"},
             Case{"https://user@host/x", true, ""}, // credentials never travel further
             Case{"https:///x", true, ""},
             Case{"ftp://host/x", false, ""},
             Case{"httpx://host/x", false, ""},
             Case{"host/x", false, ""},
             Case{"", false, ""},
         }) {
        EXPECT_EQ(isHttps(c.url), c.https) << c.url;
        EXPECT_EQ(originOf(c.url), c.origin) << c.url;
    }
}

TEST(UrlRulesTest, OnlyHostsOfTheReservedInvalidDomainAreNeverAsked) {
    for (const char* url : {"http://st01.ondoria.invalid/x", "https://INVALID",
                            "http://a.Invalid.:80/", "http://host.invalid:8000?x"}) {
        EXPECT_TRUE(inInvalidDomain(url)) << url;
    }
    for (const char* url :
         {"http://invalid.example/x", "http://notinvalid/x", "http://[::1]/invalid",
          "http://host/a.invalid", "st01.ondoria.invalid", "ftp://x.invalid/"}) {
        EXPECT_FALSE(inInvalidDomain(url)) << url;
    }
}

TEST(UrlRulesTest, TextIsNeverAudioAndMpegHasSeveralNames) {
    for (const char* type :
         {"text/html", "Text/Plain; charset=utf-8", "application/json", "application/xhtml+xml"}) {
        EXPECT_TRUE(isTextType(type)) << type;
        EXPECT_FALSE(isMpegType(type)) << type;
    }
    for (const char* type : {"audio/mpeg", "Audio/MPEG", "audio/mp3", "audio/x-mpeg; x=1"}) {
        EXPECT_TRUE(isMpegType(type)) << type;
        EXPECT_FALSE(isTextType(type)) << type;
    }
    for (const char* type : {"", "audio/aac", "application/ogg"}) {
        EXPECT_FALSE(isMpegType(type) || isTextType(type)) << type;
    }
}

} // namespace
} // namespace tunora
