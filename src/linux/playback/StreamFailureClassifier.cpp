#include "linux/playback/StreamFailureClassifier.h"

#include "linux/glib/GObjectPtr.h"

namespace tunora {
namespace {

// libsoup's transport statuses as souphttpsrc reports them.
constexpr guint cannotResolve = 2;
constexpr guint cannotConnect = 4;
constexpr guint tlsFailed = 6;

StreamFailure fromHttpStatus(guint status) {
    using Reason = StreamFailure::Reason;
    switch (status) {
    case cannotResolve:
        return {Reason::hostNotFound, 0, {}};
    case cannotConnect:
        return {Reason::connectionRefused, 0, {}};
    case tlsFailed:
        return {Reason::untrustedCertificate, 0, {}};
    default:
        if (status >= 300 && status < 600) {
            return {Reason::httpError, static_cast<int>(status), {}};
        }
        return {};
    }
}

bool meansNoAudio(const GError* error) {
    if (error->domain == GST_STREAM_ERROR) {
        return error->code == GST_STREAM_ERROR_TYPE_NOT_FOUND ||
               error->code == GST_STREAM_ERROR_WRONG_TYPE ||
               error->code == GST_STREAM_ERROR_CODEC_NOT_FOUND ||
               error->code == GST_STREAM_ERROR_DECODE || error->code == GST_STREAM_ERROR_DEMUX;
    }
    // decodebin found nothing that turns this content into audio
    return error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN;
}

} // namespace

StreamFailure classifyStreamError(GstMessage* message) {
    GError* rawError = nullptr;
    gchar* rawDebug = nullptr;
    gst_message_parse_error(message, &rawError, &rawDebug);
    GErrorPtr error(rawError);
    GCharPtr debug(rawDebug);

    StreamFailure failure;
    const GstStructure* details = nullptr;
    gst_message_parse_error_details(message, &details);
    guint status = 0;
    if (details != nullptr && gst_structure_get_uint(details, "http-status-code", &status)) {
        failure = fromHttpStatus(status);
    } else if (error && meansNoAudio(error.get())) {
        failure.reason = StreamFailure::Reason::notAudio;
    }
    failure.technical = error ? error->message : "unknown error";
    if (debug) {
        failure.technical += std::string(" (") + debug.get() + ")";
    }
    return failure;
}

} // namespace tunora
