#include "core/catalogue/Network.h"

#include <gtest/gtest.h>
#include <unordered_set>

namespace tunora {
namespace {

TEST(Network, RawValuesAreTheDisplayTexts) {
    EXPECT_EQ(Network(Network::ondo).rawValue(), "Ondoria");
    EXPECT_EQ(Network(Network::ndr).rawValue(), "NDR");
    EXPECT_EQ(Network(Network::br).rawValue(), "BR");
    EXPECT_EQ(Network(Network::hr).rawValue(), "HR");
    EXPECT_EQ(Network(Network::rbb).rawValue(), "rbb");
}

TEST(Network, RawValueRoundTripsForEveryCase) {
    for (Network network : Network::allCases()) {
        EXPECT_EQ(Network::fromRawValue(network.rawValue()), network) << network.rawValue();
    }
}

TEST(Network, FromRawValueNeedsAnExactMatch) {
    EXPECT_EQ(Network::fromRawValue("NDR"), Network(Network::ndr));
    for (const char* text : {"ndr", "RBB", "", " NDR", "NDR ", "ondo", "Ondoria\n"}) {
        EXPECT_FALSE(Network::fromRawValue(text).has_value()) << '"' << text << '"';
    }
}

TEST(Network, AllCasesInDeclarationOrderAndOneByte) {
    const auto& cases = Network::allCases();
    ASSERT_EQ(cases.size(), 8u);
    EXPECT_EQ(cases.front(), Network(Network::ondo));
    EXPECT_EQ(cases.back(), Network(Network::rbb));
    for (std::size_t k = 0; k < cases.size(); ++k) {
        EXPECT_EQ(cases[k].ordinal(), k);
    }
    static_assert(sizeof(Network) == 1);
}

TEST(Network, EqualityAndHashFollowTheCase) {
    EXPECT_NE(Network(Network::br), Network(Network::hr));
    EXPECT_EQ(std::hash<Network>{}(Network::mdr), std::hash<std::string_view>{}("MDR"));
    std::unordered_set<Network> set(Network::allCases().begin(), Network::allCases().end());
    EXPECT_EQ(set.size(), 8u);
}

} // namespace
} // namespace tunora
