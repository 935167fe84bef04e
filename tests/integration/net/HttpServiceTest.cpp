#include "linux/net/HttpService.h"
#include "linux/net/HttpExchange.h"
#include "linux/net/Preconnector.h"
#include "linux/tray/DbusmenuExport.h"

#include "support/SwitchableNetworkMonitor.h"
#include "support/TestDesktop.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace tunora {
namespace {

using namespace std::chrono_literals;
using testing::waitUntil;

// The program's HTTP service against the desktop's https stream server, asked
// for stations' streams as the player asks for them.
class HttpServiceTest : public ::testing::Test {
  protected:
    std::shared_ptr<HttpService> service() {
        if (!http) {
            http = std::make_shared<HttpService>(HttpService::Options{
                .timeout = 10s, .caFile = testing::testCaFile(), .redirectCache = cache});
        }
        return http;
    }
    // Asks for `station`'s stream until it brings audio ("audio") or fails
    // ("failed <HTTP status>"), then lets it go.
    std::string listen(const std::string& station) {
        std::string heard;
        HttpExchange exchange(
            service(), station, HttpExchange::Kind::stream,
            {.body = [&](GBytes*) { heard = "audio"; },
             .titled = [](std::string) {},
             .failed =
                 [&](StreamFailure failure) { heard = "failed " + std::to_string(failure.detail); },
             .ended = [&](std::string) { heard = "ended"; }});
        EXPECT_TRUE(waitUntil([&] { return !heard.empty(); })) << station;
        return heard;
    }

    std::optional<std::filesystem::path> cache;
    std::shared_ptr<HttpService> http;
    GObjectPtr<GNetworkMonitor> networkMonitor = testing::makeSwitchableNetworkMonitor();
};

TEST_F(HttpServiceTest, AnOpeningMenuWarmsOneConnectionPerHostThatTheClickThenUses) {
    const std::string station = testing::tlsStreamUrl("/tone.mp3");
    service()->open();
    Preconnector warmer(service(), networkMonitor.get());
    testing::switchNetwork(networkMonitor.get(), false);
    std::string otherHost = station; // the same server under another name
    warmer.warm({otherHost.replace(otherHost.find("127.0.0.1"), 9, "localhost")});
    testing::switchNetwork(networkMonitor.get(), true);
    // Two stations of one host, opened twice: one connection, and not one request.
    warmer.warm({station, testing::tlsStreamUrl("/other.mp3")});
    warmer.warm({station});
    ASSERT_TRUE(waitUntil([] { return testing::tlsStreamRequests("connections") == 1; }));
    EXPECT_EQ(listen(station), "audio");
    EXPECT_EQ(testing::tlsStreamRequests("requests"), 1);
    EXPECT_EQ(testing::tlsStreamRequests("connections"), 1) << "the click used the warm one";
}

// libsoup stops trusting a connection opened ahead and never used after three
// seconds: a menu read for longer must have it opened again, one at a time.
TEST_F(HttpServiceTest, AMenuReadForLongStillHasAWarmConnectionForTheClick) {
    const std::string station = testing::tlsStreamUrl("/tone.mp3");
    service()->open();
    Preconnector warmer(service(), networkMonitor.get());
    warmer.warm({station});
    ASSERT_TRUE(waitUntil([] { return testing::tlsStreamRequests("connections") == 1; }));
    // Its first connection went stale; a second replaces it, never a request.
    ASSERT_TRUE(waitUntil([] { return testing::tlsStreamRequests("connections") == 2; }, 15s));
    EXPECT_EQ(testing::tlsStreamRequests("requests"), 0);
    EXPECT_EQ(listen(station), "audio");
    EXPECT_EQ(testing::tlsStreamRequests("requests"), 1);
    EXPECT_EQ(testing::tlsStreamRequests("connections"), 2) << "the click used the warm one";
}

// The panel says the menu closed: what it warmed is no longer opened again once
// libsoup drops it, while what a later opening warmed still is.
TEST_F(HttpServiceTest, APanelsClosedEventEndsTheHoldingOfWhatTheMenuWarmed) {
    service()->open();
    Preconnector warmer(service(), networkMonitor.get());
    struct : ActionTarget {
        void performAction(const std::string&, const MenuItem&) override {}
    } application;
    DbusmenuExport panelMenu("/TestMenu", application);
    Menu menu;
    auto network = std::make_unique<MenuItem>("Network", "", "");
    auto stations = std::make_unique<Menu>();
    stations->addItem(std::make_unique<MenuItem>("Station", "channelSelected:", ""));
    network->setSubmenu(std::move(stations));
    menu.addItem(std::move(network));
    panelMenu.show(menu);
    std::vector<std::string> heard;
    panelMenu.setOpeningHandler([&](const Menu& opening) {
        heard.push_back(&opening == &menu ? "menu opened" : "submenu opened");
        warmer.warm({testing::streamUrl("/tone.mp3")}); // the plain server: one host
    });
    panelMenu.setDidCloseHandler([&] {
        heard.push_back("closed");
        warmer.menuDidClose();
    });
    GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    auto call = [&](const char* method, GVariant* arguments) {
        GObjectPtr<GAsyncResult> result;
        g_dbus_connection_call(
            bus.get(), g_dbus_connection_get_unique_name(bus.get()), "/TestMenu",
            "com.canonical.dbusmenu", method, arguments, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000,
            nullptr,
            [](GObject*, GAsyncResult* answer, gpointer into) {
                static_cast<GObjectPtr<GAsyncResult>*>(into)->reset(
                    G_ASYNC_RESULT(g_object_ref(answer)));
            },
            &result);
        EXPECT_TRUE(waitUntil([&] { return bool(result); })) << method;
        return GVariantPtr(g_dbus_connection_call_finish(bus.get(), result.get(), nullptr));
    };
    auto event = [&](int id, const char* name) {
        call("Event", g_variant_new("(isvu)", id, name, g_variant_new_int32(0), 0u));
    };
    GVariantPtr layout; // once the export has the bus, which it asks for in the background
    ASSERT_TRUE(waitUntil([&] {
        layout = call("GetLayout", g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
        return bool(layout);
    }));
    GVariantPtr root(g_variant_get_child_value(layout.get(), 1));
    GVariantPtr children(g_variant_get_child_value(root.get(), 2));
    GVariantPtr boxed(g_variant_get_child_value(children.get(), 0));
    GVariantPtr submenu(g_variant_get_variant(boxed.get()));
    gint32 submenuId = 0;
    g_variant_get_child(submenu.get(), 0, "i", &submenuId);

    event(0, "opened");
    ASSERT_TRUE(waitUntil([] { return testing::streamRequests("connections") == 1; }));
    event(submenuId, "opened");
    event(submenuId, "closed"); // the listener moved on to another submenu
    event(0, "closed");
    ASSERT_TRUE(waitUntil([&] { return heard.size() == 3; }));
    EXPECT_EQ(heard, (std::vector<std::string>{"menu opened", "submenu opened", "closed"}));

    // An opening of another menu, on the TLS server, after the close: its
    // connection is opened again twice meanwhile, the closed menu's never.
    warmer.warm({testing::tlsStreamUrl("/tone.mp3")});
    ASSERT_TRUE(waitUntil([] { return testing::tlsStreamRequests("connections") == 3; }));
    EXPECT_EQ(testing::streamRequests("connections"), 1);
    EXPECT_EQ(testing::streamRequests("requests") + testing::tlsStreamRequests("requests"), 0);
}

TEST_F(HttpServiceTest, ARememberedRedirectIsUsedUntilItFailsThenTheStationAgain) {
    EXPECT_EQ(listen(testing::tlsStreamUrl("/dispatch/tone.mp3")), "audio");
    EXPECT_EQ(listen(testing::tlsStreamUrl("/dispatch/tone.mp3")), "audio");
    EXPECT_EQ(testing::tlsStreamRequests("/dispatch/tone.mp3"), 1) << "again without the 302";
    EXPECT_EQ(testing::tlsStreamRequests("/tone.mp3"), 2);

    // Its edge answers once, then 404 for good.
    const std::string dying = testing::tlsStreamUrl("/dispatch/dead-after-one");
    EXPECT_EQ(listen(dying), "audio");
    EXPECT_EQ(listen(dying), "failed 404");
    EXPECT_EQ(testing::tlsStreamRequests("/dispatch/dead-after-one"), 2) << "the station again";
    EXPECT_EQ(testing::tlsStreamRequests("/dead-after-one"), 3);
    listen(dying);
    EXPECT_EQ(testing::tlsStreamRequests("/dispatch/dead-after-one"), 3) << "and not the edge";
}

TEST_F(HttpServiceTest, ANewRunGoesToTheEdgeOfTheLastRunAndBackToTheStationIfItFails) {
    testing::TemporaryDirectory folder;
    cache = folder.path() / "tunora" / "redirects.json";
    // Each run with a service of its own, as a new start of the program.
    auto run = [&](const std::string& path) {
        http.reset();
        return listen(testing::tlsStreamUrl(path));
    };
    EXPECT_EQ(run("/dispatch/tone.mp3"), "audio");
    EXPECT_EQ(run("/dispatch/tone.mp3"), "audio");
    EXPECT_EQ(testing::tlsStreamRequests("/dispatch/tone.mp3"), 1) << "the edge of the last run";
    EXPECT_EQ(testing::tlsStreamRequests("/tone.mp3"), 2);

    // The edge serves the first run only: the second asks the station again.
    EXPECT_EQ(run("/dispatch/dead-after-one"), "audio");
    EXPECT_EQ(run("/dispatch/dead-after-one"), "failed 404");
    EXPECT_EQ(testing::tlsStreamRequests("/dispatch/dead-after-one"), 2);
    EXPECT_EQ(testing::tlsStreamRequests("/dead-after-one"), 3);
    run("/dispatch/dead-after-one");
    EXPECT_EQ(testing::tlsStreamRequests("/dispatch/dead-after-one"), 3) << "failed edges go";

    // A file that is not ours, or that would send an https station to plain
    // http, is no reason to skip the station's own address.
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    const std::string station = testing::tlsStreamUrl("/dispatch/tone.mp3");
    const std::string plain = testing::streamUrl("/tone.mp3");
    for (const std::string& contents :
         {std::string("{\"format\": \"tunora-redirects-1\", \"targets\": [{"),
          R"({"format": "tunora-redirects-1", "targets": [{"station": ")" + station +
              R"(", "target": ")" + plain + R"(", "learnt": )" + std::to_string(now) + "}]}"}) {
        http.reset();
        ASSERT_TRUE(g_file_set_contents(cache->c_str(), contents.c_str(), -1, nullptr));
        const int before = testing::tlsStreamRequests("/dispatch/tone.mp3");
        EXPECT_EQ(run("/dispatch/tone.mp3"), "audio");
        EXPECT_EQ(testing::tlsStreamRequests("/dispatch/tone.mp3"), before + 1) << contents;
    }
    EXPECT_EQ(testing::streamRequests("/tone.mp3"), 0);
    std::vector<std::string> kept; // the file that was not ours, as it was
    for (const auto& entry : std::filesystem::directory_iterator(cache->parent_path())) {
        if (entry.path().filename().string().starts_with("redirects.json.bad-")) {
            gchar* contents = nullptr;
            ASSERT_TRUE(g_file_get_contents(entry.path().c_str(), &contents, nullptr, nullptr));
            kept.emplace_back(contents);
            g_free(contents);
        }
    }
    EXPECT_EQ(kept,
              std::vector<std::string>{"{\"format\": \"tunora-redirects-1\", \"targets\": [{"});
}

} // namespace
} // namespace tunora
