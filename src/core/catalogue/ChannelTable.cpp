// The built-in station table and the hosts its streams come from.

#include "core/catalogue/OndoChannel.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace tunora {
namespace {

// Stream hosts. Scheme (https) and paths are fixed; these hosts are the one place
// to change where stations stream from. The national hosts are not published for
// this build: the reserved .invalid domain can never reach a stranger's server,
// and users point them elsewhere with a stream-host override.
constexpr std::string_view ndrIcecastHost = "icecast.ndr.de";
constexpr std::string_view dispatcherHost = "dispatcher.rndfnk.com";
constexpr std::string_view swrLiveHost = "liveradio.swr.de";

struct ChannelRow {
    std::string_view id;
    std::string_view name;
    Network network;
    std::string_view host;
    std::string_view path;
};

constexpr ChannelRow channelRows[] = {
    {"ondo", "Ondoria", Network::ondo, "st01.ondoria.invalid", "/ondo/01/128/mp3/stream.mp3"},
    {"ondo_kultur", "Ondo Kultur", Network::ondo, "st02.ondoria.invalid",
     "/ondo/02/128/mp3/stream.mp3"},
    {"ondo_nova", "Ondo Nova", Network::ondo, "st03.ondoria.invalid",
     "/ondo/03/128/mp3/stream.mp3"},

    {"ndr2", "NDR 2", Network::ndr, ndrIcecastHost, "/ndr/ndr2/hamburg/mp3/128/stream.mp3"},
    {"ndr_info", "NDR Info", Network::ndr, ndrIcecastHost,
     "/ndr/ndrinfo/hamburg/mp3/128/stream.mp3"},
    {"ndr_kultur", "NDR Kultur", Network::ndr, ndrIcecastHost,
     "/ndr/ndrkultur/live/mp3/128/stream.mp3"},
    {"ndr1_nds", "NDR 1 Niedersachsen", Network::ndr, ndrIcecastHost,
     "/ndr/ndr1niedersachsen/hannover/mp3/128/stream.mp3"},
    {"ndr903", "NDR 90,3", Network::ndr, ndrIcecastHost, "/ndr/ndr903/hamburg/mp3/128/stream.mp3"},
    {"ndr1_wn", "NDR 1 Welle Nord", Network::ndr, ndrIcecastHost,
     "/ndr/ndr1wellenord/kiel/mp3/128/stream.mp3"},
    {"njoy", "N-JOY", Network::ndr, ndrIcecastHost, "/ndr/njoy/live/mp3/128/stream.mp3"},
    {"ndr_blue", "NDR Blue", Network::ndr, ndrIcecastHost, "/ndr/ndrblue/live/mp3/128/stream.mp3"},
    {"ndr_schlager", "NDR Schlager", Network::ndr, ndrIcecastHost,
     "/ndr/ndrschlager/live/mp3/128/stream.mp3"},

    {"1live", "1LIVE", Network::wdr, "wdr-1live-live.icecastssl.wdr.de",
     "/wdr/1live/live/mp3/128/stream.mp3"},
    {"wdr2", "WDR 2", Network::wdr, "wdr-wdr2-rheinland.icecastssl.wdr.de",
     "/wdr/wdr2/rheinland/mp3/128/stream.mp3"},
    {"wdr3", "WDR 3", Network::wdr, "wdr-wdr3-live.icecastssl.wdr.de",
     "/wdr/wdr3/live/mp3/128/stream.mp3"},
    {"wdr4", "WDR 4", Network::wdr, "wdr-wdr4-live.icecastssl.wdr.de",
     "/wdr/wdr4/live/mp3/128/stream.mp3"},
    {"wdr5", "WDR 5", Network::wdr, "wdr-wdr5-live.icecastssl.wdr.de",
     "/wdr/wdr5/live/mp3/128/stream.mp3"},

    {"bayern1", "Bayern 1", Network::br, dispatcherHost, "/br/br1/obb/mp3/mid"},
    {"bayern2", "Bayern 2", Network::br, dispatcherHost, "/br/br2/live/mp3/mid"},
    {"bayern3", "Bayern 3", Network::br, dispatcherHost, "/br/br3/live/mp3/mid"},
    {"br_klassik", "BR-Klassik", Network::br, dispatcherHost, "/br/brklassik/live/mp3/mid"},
    {"br24", "BR24", Network::br, dispatcherHost, "/br/br24/live/mp3/mid"},
    {"br_heimat", "BR Heimat", Network::br, dispatcherHost, "/br/brheimat/live/mp3/mid"},

    {"hr1", "hr1", Network::hr, "hr-hr1-live.cast.addradio.de", "/hr/hr1/live/mp3/128/stream.mp3"},
    {"hr2", "hr2-kultur", Network::hr, "hr-hr2-live.cast.addradio.de",
     "/hr/hr2/live/mp3/128/stream.mp3"},
    {"hr3", "hr3", Network::hr, "hr-hr3-live.cast.addradio.de", "/hr/hr3/live/mp3/128/stream.mp3"},
    {"hr4", "hr4", Network::hr, "hr-hr4-live.cast.addradio.de", "/hr/hr4/live/mp3/128/stream.mp3"},
    {"hr_info", "hr-iNFO", Network::hr, "hr-hrinfo-live.cast.addradio.de",
     "/hr/hrinfo/live/mp3/128/stream.mp3"},
    {"youfm", "YOU FM", Network::hr, "hr-youfm-live.cast.addradio.de",
     "/hr/youfm/live/mp3/128/stream.mp3"},

    {"swr1_bw", "SWR1 BW", Network::swr, dispatcherHost, "/swr/swr1/bw/mp3/128/stream.mp3"},
    {"swr1_rp", "SWR1 RP", Network::swr, dispatcherHost, "/swr/swr1/rp/mp3/128/stream.mp3"},
    {"swr_kultur", "SWR Kultur", Network::swr, swrLiveHost, "/sw282p3/swr2/play.mp3"},
    {"swr3", "SWR3", Network::swr, dispatcherHost, "/swr/swr3/live/mp3/128/stream.mp3"},
    {"swr4_bw", "SWR4 BW", Network::swr, dispatcherHost, "/swr/swr4/bw/mp3/128/stream.mp3"},
    {"dasding", "DASDING", Network::swr, dispatcherHost, "/swr/dasding/live/mp3/128/stream.mp3"},
    {"swr_aktuell", "SWR Aktuell", Network::swr, dispatcherHost,
     "/swr/swraktuell/live/mp3/128/stream.mp3"},

    {"mdr_sachsen", "MDR Sachsen", Network::mdr, "mdr-284340-0.sslcast.mdr.de",
     "/mdr/284340/0/mp3/high/stream.mp3"},
    {"mdr_thueringen", "MDR Th\u00fcringen", Network::mdr, "mdr-284330-0.sslcast.mdr.de",
     "/mdr/284330/0/mp3/high/stream.mp3"},
    {"mdr_sachsen_anhalt", "MDR Sachsen-Anhalt", Network::mdr, "mdr-284310-0.sslcast.mdr.de",
     "/mdr/284310/0/mp3/high/stream.mp3"},
    {"mdr_aktuell", "MDR Aktuell", Network::mdr, "mdr-284350-0.sslcast.mdr.de",
     "/mdr/284350/0/mp3/high/stream.mp3"},
    {"mdr_kultur", "MDR Kultur", Network::mdr, "mdr-284320-0.sslcast.mdr.de",
     "/mdr/284320/0/mp3/high/stream.mp3"},
    {"mdr_jump", "MDR Jump", Network::mdr, "mdr-284280-0.sslcast.mdr.de",
     "/mdr/284280/0/mp3/high/stream.mp3"},
    {"mdr_sputnik", "MDR Sputnik", Network::mdr, "mdr-284290-0.sslcast.mdr.de",
     "/mdr/284290/0/mp3/high/stream.mp3"},

    {"rbb888", "rbb 88.8", Network::rbb, dispatcherHost, "/rbb/rbb888/live/mp3/mid"},
    {"radioeins", "radioeins", Network::rbb, dispatcherHost, "/rbb/radioeins/live/mp3/mid"},
    {"fritz", "Fritz", Network::rbb, dispatcherHost, "/rbb/fritz/live/mp3/mid"},
    {"antenne_bbg", "Antenne Brandenburg", Network::rbb, dispatcherHost,
     "/rbb/antennebrandenburg/live/mp3/mid"},
    {"rbb_kultur", "rbbKultur", Network::rbb, dispatcherHost, "/rbb/rbbkultur/live/mp3/mid"},
    {"inforadio", "Inforadio", Network::rbb, dispatcherHost, "/rbb/inforadio/live/mp3/mid"},
};

constexpr std::size_t channelCount = std::size(channelRows);
static_assert(channelCount == 49);

StreamUrl makeStreamUrl(const ChannelRow& row, const StreamAddressOverrides& overrides) {
    if (auto own = overrides.stations.find(row.id); own != overrides.stations.end()) {
        return own->second;
    }
    const std::string literal = "https://" + std::string(row.host) + std::string(row.path);
    auto url = StreamUrl::parse(literal);
    if (!url) {
        std::abort(); // a row of the table itself is broken: a build defect, not a run-time case
    }
    if (auto origin = overrides.hosts.find(row.host); origin != overrides.hosts.end()) {
        return url->withOrigin(origin->second);
    }
    return *url;
}

// Overrides handed in at start-up; read once, when the table is built.
struct TableState {
    std::mutex mutex;
    StreamAddressOverrides overrides;
    bool built = false;
};

TableState& tableState() {
    static TableState state;
    return state;
}

} // namespace

OndoChannel::OndoChannel(std::string id, std::string name, StreamUrl streamURL, Network network)
    : id_(std::move(id)), name_(std::move(name)), streamURL_(std::move(streamURL)),
      network_(network) {}

std::vector<OndoChannel> buildChannelTable(const StreamAddressOverrides& overrides) {
    std::vector<OndoChannel> channels;
    channels.reserve(channelCount);
    for (const ChannelRow& row : channelRows) {
        channels.emplace_back(std::string(row.id), std::string(row.name),
                              makeStreamUrl(row, overrides), row.network);
    }
    return channels;
}

std::vector<std::string> builtInStreamHosts() {
    std::vector<std::string> hosts;
    for (const ChannelRow& row : channelRows) {
        if (std::find(hosts.begin(), hosts.end(), row.host) == hosts.end()) {
            hosts.emplace_back(row.host);
        }
    }
    return hosts;
}

bool isBuiltInChannelId(std::string_view id) {
    return std::any_of(std::begin(channelRows), std::end(channelRows),
                       [id](const ChannelRow& row) { return row.id == id; });
}

bool OndoChannel::configureStreamAddresses(StreamAddressOverrides overrides) {
    TableState& state = tableState();
    std::lock_guard lock(state.mutex);
    if (state.built) {
        return false;
    }
    state.overrides = std::move(overrides);
    return true;
}

const std::vector<OndoChannel>& OndoChannel::allChannels() {
    // A function-local static is initialised exactly once, and concurrent first
    // callers wait for that one build.
    static const std::vector<OndoChannel> table = [] {
        TableState& state = tableState();
        std::lock_guard lock(state.mutex);
        state.built = true;
        return buildChannelTable(state.overrides);
    }();
    return table;
}

const std::vector<OndoChannel>& OndoChannel::nationalChannels() {
    static const std::vector<OndoChannel> national = channels(Network::ondo);
    return national;
}

const std::array<Network, 7>& OndoChannel::regionalNetworks() {
    static constexpr std::array<Network, 7> networks = {Network::ndr, Network::wdr, Network::br,
                                                        Network::hr,  Network::swr, Network::mdr,
                                                        Network::rbb};
    return networks;
}

std::vector<OndoChannel> OndoChannel::channels(Network network) {
    std::vector<OndoChannel> result;
    for (const OndoChannel& channel : allChannels()) {
        if (channel.network() == network) {
            result.push_back(channel);
        }
    }
    return result;
}

std::optional<std::size_t> findChannelIndex(const std::vector<OndoChannel>& channels,
                                            std::string_view id) {
    for (std::size_t index = 0; index < channels.size(); ++index) {
        if (channels[index].id() == id) {
            return index;
        }
    }
    return std::nullopt;
}

} // namespace tunora
