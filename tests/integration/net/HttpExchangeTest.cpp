#include "linux/net/HttpExchange.h"
#include "linux/net/HttpService.h"

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
    explicit HoldingServer(std::string headers = "HTTP/1.0 200 OK\r\n"
                                                 "Content-Type: audio/mpeg\r\n\r\n")
        : headers_(std::move(headers)) {
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
            server->sendHeaders(connection);
        }
        return TRUE;
    }
    void sendHeaders(GSocketConnection* connection) {
        ASSERT_TRUE(
            g_output_stream_write_all(g_io_stream_get_output_stream(G_IO_STREAM(connection)),
                                      headers_.data(), headers_.size(), nullptr, nullptr, nullptr));
    }

    std::string headers_;
    GObjectPtr<GSocketService> service_{g_socket_service_new()};
    std::vector<GObjectPtr<GSocketConnection>> connections_;
    guint16 port_ = 0;
    bool answering_ = true;
};

// What the exchanges it starts told it: "answered", or "failed <reason> <detail>".
struct Listener {
    std::shared_ptr<HttpService> http =
        std::make_shared<HttpService>(HttpService::Options{.timeout = 10s});
    std::vector<std::string> heard;

    std::unique_ptr<HttpExchange> ask(const std::string& url,
                                      HttpExchange::Kind kind = HttpExchange::Kind::document) {
        return std::make_unique<HttpExchange>(
            http, url, kind,
            HttpExchange::Handlers{
                .answered = [this](const std::string&) { heard.push_back("answered"); },
                .body = [](GBytes*) {},
                .titled = [](std::string) {},
                .failed =
                    [this](StreamFailure failure) {
                        heard.push_back("failed " + std::to_string(int(failure.reason)) + " " +
                                        std::to_string(failure.detail));
                    },
                .ended = [](std::string) {}});
    }
};

// Left just as its answer's headers arrive, a request must neither upset
// libsoup (some versions finish a message twice when such a request is
// cancelled) nor keep its connection.
TEST(HttpExchangeTest, RequestsLeftAsTheirHeadersArriveCloseTheirConnections) {
    HoldingServer server;
    Listener listener;
    for (std::size_t round = 0; round < 120; ++round) {
        auto exchange = listener.ask(server.url());
        ASSERT_TRUE(waitUntil([&] { return server.accepted() == round + 1; }));
        // The client reads the headers in one of the next few passes of the loop.
        for (std::size_t pass = 0; pass < round % 6; ++pass) {
            g_main_context_iteration(nullptr, FALSE);
        }
        exchange.reset();
        ASSERT_TRUE(waitUntil([&] { return server.closedByClient(round); }, 30s)) << round;
    }
    listener.heard.clear();
    auto kept = listener.ask(server.url());
    ASSERT_TRUE(waitUntil([&] { return !listener.heard.empty(); }));
    EXPECT_EQ(listener.heard, std::vector<std::string>{"answered"});
}

// Two requests to a host that does not answer, left by the listener, must
// not hold up the next one to the same host; their connections close when
// their answers come.
TEST(HttpExchangeTest, RequestsLeftWaitingDoNotHoldUpTheNextOne) {
    HoldingServer server;
    Listener left;
    server.answerNewOnes(false);
    for (int request = 0; request < 3; ++request) {
        left.ask(server.url()).reset();
    }
    ASSERT_TRUE(waitUntil([&] { return server.accepted() == 3; }, 30s));
    server.answerNewOnes(true);
    Listener listener;
    listener.http = left.http; // the same session
    auto exchange = listener.ask(server.url());
    ASSERT_TRUE(waitUntil([&] { return !listener.heard.empty(); }, 30s));
    for (std::size_t index = 0; index < 3; ++index) {
        server.answer(index);
        ASSERT_TRUE(waitUntil([&] { return server.closedByClient(index); }, 30s)) << index;
    }
    EXPECT_TRUE(left.heard.empty());
    EXPECT_FALSE(server.closedByClient(3));
}

// Refused before anything goes out, a request still reports from the loop:
// its owner has not even stored the exchange while the constructor runs.
TEST(HttpExchangeTest, ARequestRefusedAtOnceIsReportedFromTheLoopAndNamed) {
    using Reason = StreamFailure::Reason;
    Listener refusingHttps;
    refusingHttps.http = std::make_shared<HttpService>(
        HttpService::Options{.timeout = 10s, .caFile = "/nonexistent/ca.pem"});
    for (const auto& [url, reason] :
         {std::pair{"https://127.0.0.1:9/x", Reason::caFileUnusable},
          std::pair{"no address", Reason::other},
          std::pair{"http://st01.ondoria.invalid/x", Reason::hostNotConfigured}}) {
        refusingHttps.heard.clear();
        auto exchange = refusingHttps.ask(url);
        EXPECT_TRUE(refusingHttps.heard.empty()) << url;
        ASSERT_TRUE(waitUntil([&] { return !refusingHttps.heard.empty(); })) << url;
        EXPECT_EQ(refusingHttps.heard,
                  std::vector<std::string>{"failed " + std::to_string(int(reason)) + " 0"});
    }
}

// What a server answers is named one way, whoever asked.
TEST(HttpExchangeTest, AnswersThatBringNoBodyAreNamedOneWay) {
    using Reason = StreamFailure::Reason;
    for (const auto& [answer, kind, heard] : {
             std::tuple{"HTTP/1.0 302 Found\r\n\r\n", HttpExchange::Kind::document,
                        "failed " + std::to_string(int(Reason::httpError)) + " 302"},
             std::tuple{"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n",
                        HttpExchange::Kind::stream,
                        "failed " + std::to_string(int(Reason::notAudio)) + " 0"},
             std::tuple{"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n",
                        HttpExchange::Kind::document, std::string("answered")},
         }) {
        HoldingServer server(answer);
        Listener listener;
        auto exchange = listener.ask(server.url(), kind);
        ASSERT_TRUE(waitUntil([&] { return !listener.heard.empty(); })) << answer;
        EXPECT_EQ(listener.heard, std::vector<std::string>{heard}) << answer;
    }
}

} // namespace
} // namespace tunora
