#include "linux/update/HttpFetcher.h"

#include "core/net/UrlRules.h"
#include "linux/strings/GettextStrings.h"

namespace tunora {
namespace {

std::string sentenceFor(const StreamFailure& failure) {
    switch (failure.reason) {
    case StreamFailure::Reason::insecureRedirect:
        return N_("The update server redirected to an address that is not secure (https).");
    case StreamFailure::Reason::httpError:
        return "The update server answered with error " + std::to_string(failure.detail) + ".";
    default:
        // A certificate the listener's trust refuses, or one that cannot be
        // read: the system's are never trusted in their place.
        return "The update server could not be reached (" + failure.technical + ").";
    }
}

} // namespace

HttpFetcher::HttpFetcher(Limits limits, std::shared_ptr<HttpService> http)
    : limits_(limits), http_(std::move(http)) {}

bool HttpFetcher::fetch(const std::string& url, Completion completion) {
    if (busy()) {
        return false;
    }
    completion_ = std::move(completion);
    if (!isHttps(url)) {
        finish({std::nullopt, N_("The update address is not a secure (https) address.")});
        return true;
    }
    body_.clear();
    deadline_.reset(g_timeout_add(
        guint(limits_.timeout.count()),
        [](gpointer self) -> gboolean {
            auto* fetcher = static_cast<HttpFetcher*>(self);
            fetcher->deadline_.forget();
            fetcher->finish({std::nullopt, N_("The update server did not answer in time.")});
            return G_SOURCE_REMOVE;
        },
        this));
    exchange_ = std::make_unique<HttpExchange>(
        http_, url, HttpExchange::Kind::document,
        HttpExchange::Handlers{
            .body = [this](GBytes* piece) { received(piece); },
            .failed =
                [this](StreamFailure failure) { finish({std::nullopt, sentenceFor(failure)}); },
            .ended =
                [this](std::string error) {
                    if (error.empty()) {
                        finish({std::move(body_), {}});
                    } else {
                        finish({std::nullopt,
                                "The update server could not be reached (" + error + ")."});
                    }
                },
        });
    return true;
}

void HttpFetcher::received(GBytes* piece) {
    gsize size = 0;
    const auto* data = static_cast<const char*>(g_bytes_get_data(piece, &size));
    body_.append(data, size);
    if (body_.size() > limits_.maximumBytes) {
        finish({std::nullopt, N_("The update information is too large.")});
    }
}

// Ends the fetch: an exchange still under way is abandoned.
void HttpFetcher::finish(Result result) {
    deadline_.reset();
    exchange_.reset();
    Completion completion = std::move(completion_);
    completion(std::move(result));
}

} // namespace tunora
