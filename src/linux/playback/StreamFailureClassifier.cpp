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

// The sound server's or the sound card's element, or the automatic output's bin.
bool isAudioOutput(GstObject* source) {
    if (source == nullptr || !GST_IS_ELEMENT(source)) {
        return false;
    }
    const gchar* kind =
        gst_element_class_get_metadata(GST_ELEMENT_GET_CLASS(source), GST_ELEMENT_METADATA_KLASS);
    return kind != nullptr && g_str_has_prefix(kind, "Sink/Audio");
}

} // namespace

bool warnsOfNoSoundOutput(GstMessage* message) {
    if (!isAudioOutput(GST_MESSAGE_SRC(message))) {
        return false;
    }
    GError* rawError = nullptr;
    gst_message_parse_warning(message, &rawError, nullptr);
    GErrorPtr error(rawError);
    return error && error->domain == GST_RESOURCE_ERROR;
}

StreamFailure classifyStreamError(GstMessage* message) {
    GError* rawError = nullptr;
    gchar* rawDebug = nullptr;
    gst_message_parse_error(message, &rawError, &rawDebug);
    GErrorPtr error(rawError);
    GCharPtr debug(rawDebug);

    StreamFailure failure;
    if (isAudioOutput(GST_MESSAGE_SRC(message))) {
        failure.reason = StreamFailure::Reason::noSoundOutput; // not the station's fault
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
