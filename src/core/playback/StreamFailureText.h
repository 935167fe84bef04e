#pragma once

#include "platform/LocalizedStrings.h"
#include "platform/StreamPlayer.h"

#include <string>

namespace tunora {

// Why a stream failed, in the listener's language: "the server answered 404".
std::string describeStreamFailure(const StreamFailure& failure, LocalizedStrings& strings);

// "NDR 2 cannot be played", in the listener's language.
std::string stationCannotBePlayed(const std::string& stationName, LocalizedStrings& strings);

} // namespace tunora
