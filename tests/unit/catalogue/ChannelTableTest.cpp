#include "core/catalogue/OndoChannel.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace tunora {
namespace {

std::vector<std::string> idsOf(const std::vector<OndoChannel>& channels) {
    std::vector<std::string> ids;
    for (const auto& channel : channels) {
        ids.push_back(channel.id());
    }
    return ids;
}

std::string toLowerAscii(Network network) {
    std::string text(network.rawValue());
    for (char& c : text) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return network == Network::ondo ? "ondo" : text;
}

// These tests run on the built-in hosts: nothing in this binary configures overrides.
const std::vector<OndoChannel>& table() {
    return OndoChannel::allChannels();
}

TEST(ChannelTable, EndsAndSize) {
    ASSERT_EQ(table().size(), 49u);
    EXPECT_EQ(table().front().id(), "ondo");
    EXPECT_EQ(table().front().name(), "Ondoria");
    EXPECT_EQ(table().back().id(), "inforadio");
    EXPECT_EQ(table().back().name(), "Inforadio");
}

TEST(ChannelTable, NetworksAreContiguousInDeclarationOrderWithTheirCounts) {
    const std::map<std::size_t, std::size_t> expectedCounts = {{0, 3}, {1, 9}, {2, 5}, {3, 6},
                                                               {4, 6}, {5, 7}, {6, 7}, {7, 6}};
    std::size_t position = 0;
    for (Network network : Network::allCases()) {
        const std::size_t count = expectedCounts.at(network.ordinal());
        for (std::size_t i = 0; i < count; ++i, ++position) {
            ASSERT_LT(position, table().size());
            EXPECT_EQ(table()[position].network(), network) << table()[position].id();
        }
        EXPECT_EQ(OndoChannel::channels(network).size(), count) << network.rawValue();
    }
    EXPECT_EQ(position, table().size());
}

TEST(ChannelTable, ViewsKeepTableOrder) {
    EXPECT_EQ(idsOf(OndoChannel::nationalChannels()),
              (std::vector<std::string>{"ondo", "ondo_kultur", "ondo_nova"}));
    EXPECT_EQ(idsOf(OndoChannel::channels(Network::ondo)), idsOf(OndoChannel::nationalChannels()));
    EXPECT_EQ(idsOf(OndoChannel::channels(Network::swr)),
              (std::vector<std::string>{"swr1_bw", "swr1_rp", "swr_kultur", "swr3", "swr4_bw",
                                        "dasding", "swr_aktuell"}));
    // Repeated access hands out the one table.
    EXPECT_EQ(&OndoChannel::allChannels(), &table());
    EXPECT_EQ(&OndoChannel::nationalChannels(), &OndoChannel::nationalChannels());
}

TEST(ChannelTable, RegionalNetworksInMenuOrder) {
    const auto& regional = OndoChannel::regionalNetworks();
    ASSERT_EQ(regional.size(), 7u);
    EXPECT_EQ(regional.front(), Network(Network::ndr));
    EXPECT_EQ(regional.back(), Network(Network::rbb));
    for (std::size_t i = 0; i < regional.size(); ++i) {
        EXPECT_EQ(regional[i], Network::allCases()[i + 1]);
        EXPECT_FALSE(OndoChannel::channels(regional[i]).empty());
    }
}

TEST(ChannelTable, IdsAndNamesAreUniqueAndIdsAreSlugs) {
    std::set<std::string> ids, names;
    const auto isSlug = [](const std::string& id) {
        return !id.empty() && std::all_of(id.begin(), id.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        });
    };
    for (const auto& channel : table()) {
        EXPECT_TRUE(isSlug(channel.id())) << channel.id();
        EXPECT_TRUE(ids.insert(channel.id()).second) << "duplicate id " << channel.id();
        EXPECT_TRUE(names.insert(channel.name()).second) << "duplicate name " << channel.name();
    }
}

TEST(ChannelTable, LookupByIdIsExactAndGivesTheTablePosition) {
    EXPECT_EQ(findChannelIndex(table(), "ndr2"), 3u);
    EXPECT_EQ(findChannelIndex(table(), "wdr2"), 13u);
    EXPECT_EQ(findChannelIndex(table(), "fritz"), 45u);
    EXPECT_FALSE(findChannelIndex(table(), "NDR2"));
    EXPECT_FALSE(findChannelIndex(table(), "ndr2 "));
    EXPECT_FALSE(findChannelIndex(table(), ""));
}

TEST(ChannelTable, NamesKeepTheirExactSpelling) {
    auto nameOf = [](std::string_view id) {
        return table()[*findChannelIndex(table(), id)].name();
    };
    EXPECT_EQ(nameOf("hr2"), "hr2-kultur");
    EXPECT_EQ(nameOf("ndr903"), "NDR 90,3");
    EXPECT_EQ(nameOf("rbb888"), "rbb 88.8");
    EXPECT_EQ(nameOf("mdr_thueringen"), "MDR Th\xC3\xBCringen"); // ü as two UTF-8 bytes
}

TEST(ChannelTable, StreamUrlsAreHttpsWithoutPortOnTheirHostKinds) {
    // The path's last segments say which quality segment each network uses.
    const auto pathEnding = [](const OndoChannel& channel) -> std::string {
        switch (channel.network().value()) {
        case Network::br:
        case Network::rbb:
            return "/mp3/mid";
        case Network::mdr:
            return "/0/mp3/high/stream.mp3";
        case Network::ondo:
            return "/128/mp3/stream.mp3";
        default:
            return channel.id() == "swr_kultur" ? "/sw282p3/swr2/play.mp3" : "/mp3/128/stream.mp3";
        }
    };
    for (const auto& channel : table()) {
        const StreamUrl& url = channel.streamURL();
        EXPECT_EQ(url.scheme(), "https") << channel.id();
        EXPECT_FALSE(url.port()) << channel.id();
        EXPECT_TRUE(url.path().ends_with(pathEnding(channel))) << url.path();
        const std::string prefix =
            "/" +
            std::string(channel.id() == "swr_kultur" ? "sw282p3" : toLowerAscii(channel.network()));
        EXPECT_TRUE(url.path().starts_with(prefix + "/")) << url.path();
        switch (channel.network().value()) {
        case Network::ndr:
            EXPECT_EQ(url.host(), "icecast.ndr.de");
            break;
        case Network::mdr: {
            const std::string number = url.path().substr(5, 6);
            EXPECT_EQ(url.host(), "mdr-" + number + "-0.sslcast.mdr.de");
            break;
        }
        case Network::br:
        case Network::rbb:
            EXPECT_EQ(url.host(), "dispatcher.rndfnk.com");
            break;
        case Network::swr:
            EXPECT_EQ(url.host(),
                      channel.id() == "swr_kultur" ? "liveradio.swr.de" : "dispatcher.rndfnk.com");
            break;
        case Network::ondo:
            EXPECT_TRUE(url.host().ends_with(".ondoria.invalid")) << url.host();
            break;
        default:
            break;
        }
    }
}

TEST(ChannelTable, PerStationHostsBelongToOneStationEach) {
    std::map<std::string, int> uses;
    for (const auto& channel : table()) {
        ++uses[channel.streamURL().host()];
    }
    for (const auto& channel : table()) {
        const auto network = channel.network().value();
        if (network == Network::ondo || network == Network::wdr || network == Network::hr ||
            network == Network::mdr) {
            EXPECT_EQ(uses[channel.streamURL().host()], 1) << channel.id();
        }
    }
    EXPECT_EQ(builtInStreamHosts().size(), uses.size());
}

TEST(ChannelTable, OverridesMoveOnlyTheirHostAndKeepPaths) {
    const StreamOriginOverrides overrides = {
        {"dispatcher.rndfnk.com", *StreamOrigin::parse("http://127.0.0.1:8000")}};
    const auto moved = buildChannelTable(overrides);
    ASSERT_EQ(moved.size(), table().size());
    int movedCount = 0;
    for (std::size_t i = 0; i < moved.size(); ++i) {
        EXPECT_EQ(moved[i].streamURL().path(), table()[i].streamURL().path());
        if (table()[i].streamURL().host() == "dispatcher.rndfnk.com") {
            EXPECT_EQ(moved[i].streamURL().toString(),
                      "http://127.0.0.1:8000" + table()[i].streamURL().path());
            ++movedCount;
        } else {
            EXPECT_EQ(moved[i].streamURL(), table()[i].streamURL());
        }
    }
    EXPECT_EQ(movedCount, 18);
}

TEST(ChannelTable, ConfigurationAfterFirstUseIsRefusedAndChangesNothing) {
    const std::string before = table()[3].streamURL().toString();
    EXPECT_FALSE(OndoChannel::configureStreamOrigins(
        {{"icecast.ndr.de", *StreamOrigin::parse("http://127.0.0.1:1")}}));
    EXPECT_EQ(OndoChannel::allChannels()[3].streamURL().toString(), before);
}

TEST(ChannelTable, ConcurrentFirstAccessSeesOneTable) {
    // CTest runs each test in its own process, so these are the first accesses.
    std::vector<const std::vector<OndoChannel>*> seen(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&seen, i] { seen[i] = &OndoChannel::nationalChannels(); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const auto* list : seen) {
        EXPECT_EQ(list, seen.front());
        EXPECT_EQ(list->size(), 3u);
    }
}

} // namespace
} // namespace tunora
