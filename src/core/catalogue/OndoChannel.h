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
// Station id -> the whole address to stream that station from instead.
using StationUrlOverrides = std::map<std::string, StreamUrl, std::less<>>;

// Where the listener asked streams to come from instead of the built-in
// addresses. A station's own address wins over an origin for its host.
struct StreamAddressOverrides {
    StreamOriginOverrides hosts;
    StationUrlOverrides stations;
};

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

    // Points built-in hosts at other origins and stations at other addresses.
    // Must be called before the table is first used; returns false (and changes
    // nothing) once it has been built.
    static bool configureStreamAddresses(StreamAddressOverrides overrides);

  private:
    std::string id_;
    std::string name_;
    StreamUrl streamURL_;
    Network network_;
};

// Position of the first station whose id equals `id` exactly (case-sensitive).
std::optional<std::size_t> findChannelIndex(const std::vector<OndoChannel>& channels,
                                            std::string_view id);

// Builds the 49-station table with the given overrides applied. allChannels()
// is this with the overrides configured at start-up.
std::vector<OndoChannel> buildChannelTable(const StreamAddressOverrides& overrides);

// Whether a station with this id is in the built-in table.
bool isBuiltInChannelId(std::string_view id);

// Every distinct host the built-in table uses, in table order.
std::vector<std::string> builtInStreamHosts();

} // namespace tunora
