#pragma once

#include "core/catalogue/Network.h"
#include "core/catalogue/StreamUrl.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunora {

// Built-in stream host -> the origin to fetch its streams from instead.
using StreamOriginOverrides = std::map<std::string, StreamOrigin, std::less<>>;

// One radio station. Immutable; two values are the same station exactly when their
// ids are equal, so callers compare ids, never whole records.
class OndoChannel {
  public:
    using Network = tunora::Network;

    OndoChannel(std::string id, std::string name, StreamUrl streamURL, Network network);

    const std::string& id() const { return id_; }
    const std::string& name() const { return name_; }
    const StreamUrl& streamURL() const { return streamURL_; }
    Network network() const { return network_; }
    // Whether anyone gave the station an address to stream from: a host still
    // in the reserved .invalid domain can reach nothing.
    bool hasStreamAddress() const { return !streamURL_.hostIsUnconfigured(); }

    // The station table, built once on first use (thread-safe) and never changed.
    static const std::vector<OndoChannel>& allChannels();
    // The stations of the national network, in table order.
    static const std::vector<OndoChannel>& nationalChannels();
    // The seven regional networks in menu order.
    static const std::array<Network, 7>& regionalNetworks();
    // The stations of one network, in table order; filtered afresh on every call.
    static std::vector<OndoChannel> channels(Network network);

    // Points built-in hosts at other origins. Must be called before the table is
    // first used; returns false (and changes nothing) once it has been built.
    static bool configureStreamOrigins(StreamOriginOverrides overrides);

  private:
    std::string id_;
    std::string name_;
    StreamUrl streamURL_;
    Network network_;
};

// Position of the first station whose id equals `id` exactly (case-sensitive).
std::optional<std::size_t> findChannelIndex(const std::vector<OndoChannel>& channels,
                                            std::string_view id);

// Builds the 49-station table with the given host overrides applied. allChannels()
// is this with the overrides configured at start-up.
std::vector<OndoChannel> buildChannelTable(const StreamOriginOverrides& overrides);

// Every distinct host the built-in table uses, in table order.
std::vector<std::string> builtInStreamHosts();

} // namespace tunora
