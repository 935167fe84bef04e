#include "core/catalogue/OndoChannel.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

TEST(StreamOrigin, AcceptsSchemeHostAndOptionalPort) {
    auto origin = StreamOrigin::parse("http://127.0.0.1:8000");
    ASSERT_TRUE(origin);
    EXPECT_EQ(origin->scheme, "http");
    EXPECT_EQ(origin->host, "127.0.0.1");
    EXPECT_EQ(origin->port, 8000);

    origin = StreamOrigin::parse("HTTPS://Mirror.Example.org/");
    ASSERT_TRUE(origin);
    EXPECT_EQ(origin->toString(), "https://mirror.example.org");
    EXPECT_FALSE(origin->port);

    origin = StreamOrigin::parse("http://[::1]:9");
    ASSERT_TRUE(origin);
    EXPECT_EQ(origin->toString(), "http://[::1]:9");
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

TEST(StreamUrl, ParsesAndMovesToAnotherOrigin) {
    auto url = StreamUrl::parse("https://icecast.ndr.de/ndr/ndr2/hamburg/mp3/128/stream.mp3");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->host(), "icecast.ndr.de");
    EXPECT_EQ(url->path(), "/ndr/ndr2/hamburg/mp3/128/stream.mp3");
    const StreamUrl moved = url->withOrigin(*StreamOrigin::parse("http://127.0.0.1:9"));
    EXPECT_EQ(moved.toString(), "http://127.0.0.1:9/ndr/ndr2/hamburg/mp3/128/stream.mp3");
}

TEST(StreamUrl, RejectsRelativeOrUnsafeText) {
    for (const char* text : {"/just/a/path", "https://host/with space", "https://host/a#frag",
                             "https://host/%zz", "javascript:alert(1)", "https://host/\n"}) {
        EXPECT_FALSE(StreamUrl::parse(text)) << '"' << text << '"';
    }
}

// The table itself is checked against stations.tsv through --list-stations.
TEST(Catalogue, LookupsNeedAnExactMatch) {
    const auto& table = OndoChannel::allChannels();
    EXPECT_EQ(table[*findChannelIndex(table, "ndr2")].name(), "NDR 2");
    for (const char* id : {"NDR2", "ndr2 ", ""}) {
        EXPECT_FALSE(findChannelIndex(table, id)) << '"' << id << '"';
    }
    EXPECT_EQ(Network::fromRawValue("NDR"), Network(Network::ndr));
    for (const char* text : {"ndr", "RBB", "", " NDR", "Ondoria\n"}) {
        EXPECT_FALSE(Network::fromRawValue(text)) << '"' << text << '"';
    }
}

TEST(Catalogue, OriginsCannotMoveOnceTheTableIsInUse) {
    const std::string before = OndoChannel::allChannels()[3].streamURL().toString();
    EXPECT_FALSE(OndoChannel::configureStreamOrigins(
        {{"icecast.ndr.de", *StreamOrigin::parse("http://127.0.0.1:1")}}));
    EXPECT_EQ(OndoChannel::allChannels()[3].streamURL().toString(), before);
}

} // namespace
} // namespace tunora
