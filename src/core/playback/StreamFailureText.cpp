#include "core/playback/StreamFailureText.h"

namespace tunora {
namespace {

const char* keyFor(StreamFailure::Reason reason) {
    using Reason = StreamFailure::Reason;
    switch (reason) {
    case Reason::hostNotFound:
        return "failure_host_not_found";
    case Reason::connectionRefused:
        return "failure_connection_refused";
    case Reason::httpError:
        return "failure_http_status";
    case Reason::notAudio:
        return "failure_not_audio";
    case Reason::untrustedCertificate:
        return "failure_untrusted_certificate";
    case Reason::insecureRedirect:
        return "failure_insecure_redirect";
    case Reason::noNetwork:
        return "failure_no_network";
    case Reason::gaveUp:
        return "failure_gave_up";
    case Reason::noSound:
        return "failure_no_sound";
    case Reason::caFileUnusable:
        return "failure_ca_file_unusable";
    case Reason::hostNotConfigured:
        return "failure_host_not_configured";
    case Reason::noSoundOutput:
        return "failure_no_sound_output";
    case Reason::other:
        break;
    }
    return "failure_other";
}

} // namespace

std::string describeStreamFailure(const StreamFailure& failure, LocalizedStrings& strings) {
    return fillIn(strings.localizedString(keyFor(failure.reason)), std::to_string(failure.detail));
}

std::string describeStationFailure(const StreamFailure& failure, const OndoChannel& station,
                                   LocalizedStrings& strings, const StreamAddressHelp& help) {
    if (failure.reason != StreamFailure::Reason::hostNotConfigured) {
        return describeStreamFailure(failure, strings);
    }
    if (help.hostsFileIgnored) {
        return fillIn(strings.localizedString("failure_hosts_file_ignored"), help.hostsFile);
    }
    std::string text = strings.localizedString("failure_host_not_configured");
    for (const std::string& value : {help.hostsFile, station.id(), station.streamURL().host()}) {
        text = fillIn(std::move(text), value);
    }
    return text;
}

std::string stationCannotBePlayed(const std::string& stationName, LocalizedStrings& strings) {
    return fillIn(strings.localizedString("station_cannot_be_played"), stationName);
}

} // namespace tunora
