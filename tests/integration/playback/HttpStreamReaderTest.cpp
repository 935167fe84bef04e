#include "linux/net/HttpStreamReader.h"
#include "linux/net/StreamNetwork.h"

#include "support/TestDesktop.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace tunora {
namespace {

using namespace std::chrono_literals;
using testing::waitUntil;

// A loopback server on the test's own loop that answers with headers only
// and holds the body, so the test knows what the client has been sent.
class HoldingServer {
  public:
    HoldingServer() {
        port_ = g_socket_listener_add_any_inet_port(G_SOCKET_LISTENER(service_.get()), nullptr,
                                                    nullptr);
        g_signal_connect(service_.get(), "incoming", G_CALLBACK(&HoldingServer::onIncoming), this);
    }
    ~HoldingServer() { g_socket_service_stop(service_.get()); }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/hold"; }
    std::size_t accepted() const { return connections_.size(); }
    void answerNewOnes(bool answer) { answering_ = answer; }
    void answer(std::size_t index) { sendHeaders(connections_.at(index).get()); }
    // Whether the client closed connection `index`; reads what it sent meanwhile.
    bool closedByClient(std::size_t index) {
        GSocket* socket = g_socket_connection_get_socket(connections_.at(index).get());
        char buffer[4096];
        for (;;) {
            const gssize got = g_socket_receive_with_blocking(socket, buffer, sizeof buffer, FALSE,
                                                              nullptr, nullptr);
            if (got <= 0) {
                return got == 0;
            }
        }
    }

  private:
    static gboolean onIncoming(GSocketService*, GSocketConnection* connection, GObject*,
                               gpointer self) {
        auto* server = static_cast<HoldingServer*>(self);
        g_object_ref(connection);
        server->connections_.emplace_back(connection);
        if (server->answering_) {
            sendHeaders(connection);
        }
        return TRUE;
    }
    static void sendHeaders(GSocketConnection* connection) {
        static const char headers[] = "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n";
        ASSERT_TRUE(
            g_output_stream_write_all(g_io_stream_get_output_stream(G_IO_STREAM(connection)),
                                      headers, sizeof headers - 1, nullptr, nullptr, nullptr));
    }

    GObjectPtr<GSocketService> service_{g_socket_service_new()};
    std::vector<GObjectPtr<GSocketConnection>> connections_;
    guint16 port_ = 0;
    bool answering_ = true;
};

struct Listener {
    bool answered = false;
    bool failed = false;

    std::unique_ptr<HttpStreamReader> read(SoupSession* session, const std::string& url) {
        return std::make_unique<HttpStreamReader>(
            session, url, "",
            HttpStreamReader::Handlers{.answered = [this](const std::string&) { answered = true; },
                                       .audio = [](GBytes*) {},
                                       .titled = [](std::string) {},
                                       .failed = [this](StreamFailure) { failed = true; },
                                       .ended = [](std::string) {},
                                       .redirecting = nullptr,
                                       .hasRoom = [] { return true; }});
    }
};

// Left just as its answer's headers arrive, a request must neither upset
// libsoup (some versions finish a message twice when such a request is
// cancelled) nor keep its connection.
TEST(HttpStreamReaderTest, RequestsLeftAsTheirHeadersArriveCloseTheirConnections) {
    HoldingServer server;
    GObjectPtr<SoupSession> session = makeStreamSession(10s);
    Listener listener;
    for (std::size_t round = 0; round < 120; ++round) {
        auto reader = listener.read(session.get(), server.url());
        ASSERT_TRUE(waitUntil([&] { return server.accepted() == round + 1; }));
        // The client reads the headers in one of the next few passes of the loop.
        for (std::size_t pass = 0; pass < round % 6; ++pass) {
            g_main_context_iteration(nullptr, FALSE);
        }
        reader.reset();
        ASSERT_TRUE(waitUntil([&] { return server.closedByClient(round); }, 30s)) << round;
    }
    auto kept = listener.read(session.get(), server.url());
    ASSERT_TRUE(waitUntil([&] { return listener.answered; }));
}

// Two requests to a host that does not answer, left by the listener, must
// not hold up the next one to the same host; their connections close when
// their answers come.
TEST(HttpStreamReaderTest, RequestsLeftWaitingDoNotHoldUpTheNextOne) {
    HoldingServer server;
    GObjectPtr<SoupSession> session = makeStreamSession(10s);
    Listener left;
    server.answerNewOnes(false);
    for (int request = 0; request < 3; ++request) {
        left.read(session.get(), server.url()).reset();
    }
    ASSERT_TRUE(waitUntil([&] { return server.accepted() == 3; }, 30s));
    server.answerNewOnes(true);
    Listener listener;
    auto reader = listener.read(session.get(), server.url());
    ASSERT_TRUE(waitUntil([&] { return listener.answered; }, 30s));
    for (std::size_t index = 0; index < 3; ++index) {
        server.answer(index);
        ASSERT_TRUE(waitUntil([&] { return server.closedByClient(index); }, 30s)) << index;
    }
    EXPECT_FALSE(left.answered || left.failed);
    EXPECT_FALSE(server.closedByClient(3));
}

// Refused before anything goes out (https refused, no address at all), a
// request still reports from the loop: its owner has not even stored the
// reader while the constructor runs.
TEST(HttpStreamReaderTest, ARequestRefusedAtOnceIsReportedFromTheLoop) {
    GObjectPtr<SoupSession> session = makeStreamSession(10s);
    for (const auto& [url, refused] :
         {std::pair{"https://127.0.0.1:9/x", "no CA file"}, std::pair{"no address", ""}}) {
        std::unique_ptr<HttpStreamReader> reader;
        int failures = 0;
        reader = std::make_unique<HttpStreamReader>(
            session.get(), url, refused,
            HttpStreamReader::Handlers{.answered = [](const std::string&) {},
                                       .audio = [](GBytes*) {},
                                       .titled = [](std::string) {},
                                       .failed =
                                           [&](StreamFailure) {
                                               EXPECT_TRUE(reader) << "inside the constructor";
                                               ++failures;
                                           },
                                       .ended = [](std::string) {},
                                       .redirecting = nullptr,
                                       .hasRoom = [] { return true; }});
        EXPECT_EQ(failures, 0) << url;
        ASSERT_TRUE(waitUntil([&] { return failures == 1; })) << url;
    }
}

} // namespace
} // namespace tunora
