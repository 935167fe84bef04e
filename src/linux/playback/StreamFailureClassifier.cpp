#include "linux/playback/StreamFailureClassifier.h"

#include "linux/glib/GObjectPtr.h"

namespace tunora {
namespace {

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
    if (error && meansNoAudio(error.get())) {
        failure.reason = StreamFailure::Reason::notAudio;
    }
    failure.technical = error ? error->message : "unknown error";
    if (debug) {
        failure.technical += std::string(" (") + debug.get() + ")";
    }
    return failure;
}

} // namespace tunora
