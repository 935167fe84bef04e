#pragma once

#include "core/catalogue/OndoChannel.h"
#include "platform/LocalizedStrings.h"
#include "platform/StreamPlayer.h"

#include <string>

namespace tunora {

// Why a stream failed, in the listener's language: "the server answered 404".
std::string describeStreamFailure(const StreamFailure& failure, LocalizedStrings& strings);

// Where the listener gives stations a stream address, for the hint of a
// station that has none.
struct StreamAddressHelp {
    // The stream-hosts file as the listener finds it ("~/.config/tunora/stream-hosts.json").
    std::string hostsFile;
    // The file is there but was ignored for an error, told at start.
    bool hostsFileIgnored = false;
};

// Why the station's stream failed, as describeStreamFailure says it; for a
// station without an address, what to write where to give it one (its id and
// its host), or that the listener's file was ignored and must be mended first.
std::string describeStationFailure(const StreamFailure& failure, const OndoChannel& station,
                                   LocalizedStrings& strings, const StreamAddressHelp& help);

// "NDR 2 cannot be played", in the listener's language.
std::string stationCannotBePlayed(const std::string& stationName, LocalizedStrings& strings);

} // namespace tunora
