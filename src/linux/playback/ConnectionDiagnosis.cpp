#include "linux/playback/ConnectionDiagnosis.h"

#include <memory>

namespace tunora {
namespace {

using Reason = StreamFailure::Reason;

struct Diagnosis {
    std::function<void(Reason)> completion;
    GObjectPtr<GTlsDatabase> database;
};

Reason reasonFor(const GError* error) {
    if (error == nullptr) {
        return Reason::other; // the server can be reached: something else is wrong
    }
    if (error->domain == G_RESOLVER_ERROR) {
        return Reason::hostNotFound;
    }
    if (error->domain == G_TLS_ERROR) {
        return Reason::untrustedCertificate;
    }
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED)) {
        return Reason::connectionRefused;
    }
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NETWORK_UNREACHABLE) ||
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_HOST_UNREACHABLE)) {
        return Reason::noNetwork;
    }
    return Reason::other;
}

// The stream's own trust store for the handshake, as the stream would use it.
void onEvent(GSocketClient*, GSocketClientEvent event, GSocketConnectable*, GIOStream* connection,
             gpointer data) {
    auto* diagnosis = static_cast<Diagnosis*>(data);
    if (event == G_SOCKET_CLIENT_TLS_HANDSHAKING && diagnosis->database) {
        g_tls_connection_set_database(G_TLS_CONNECTION(connection), diagnosis->database.get());
    }
}

void onConnected(GObject* client, GAsyncResult* result, gpointer data) {
    std::unique_ptr<Diagnosis> diagnosis(static_cast<Diagnosis*>(data));
    GError* rawError = nullptr;
    GObjectPtr<GSocketConnection> connection(
        g_socket_client_connect_to_uri_finish(G_SOCKET_CLIENT(client), result, &rawError));
    GErrorPtr error(rawError);
    if (g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        return; // the player moved on; it may be gone
    }
    diagnosis->completion(reasonFor(error.get()));
}

} // namespace

void diagnoseConnection(const std::string& url, GTlsDatabase* database, GCancellable* cancellable,
                        std::function<void(Reason)> completion) {
    const bool secure = g_ascii_strncasecmp(url.c_str(), "https:", 6) == 0;
    GObjectPtr<GSocketClient> client(g_socket_client_new());
    g_socket_client_set_timeout(client.get(), 10);
    g_socket_client_set_tls(client.get(), secure);
    auto* diagnosis = new Diagnosis{std::move(completion), nullptr};
    if (database != nullptr) {
        diagnosis->database.reset(G_TLS_DATABASE(g_object_ref(database)));
    }
    g_signal_connect(client.get(), "event", G_CALLBACK(&onEvent), diagnosis);
    g_socket_client_connect_to_uri_async(client.get(), url.c_str(), secure ? 443 : 80, cancellable,
                                         &onConnected, diagnosis);
}

} // namespace tunora
