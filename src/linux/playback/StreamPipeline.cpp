#include "linux/playback/StreamPipeline.h"

#include "linux/playback/StreamFailureClassifier.h"
#include "linux/strings/GettextStrings.h"

#include <gst/app/gstappsrc.h>

namespace tunora {
namespace {

// How much of the stream is held before the decoder: some seconds of a
// 128 kbit/s stream, the jitter buffer behind the sound that already plays.
constexpr guint64 mostQueuedBytes = 256 * 1024;

// The sound server's share: a radio needs no low latency, and handing it audio
// in 100 ms pieces instead of GStreamer's 10 ms wakes the program a tenth as
// often. The first piece still goes out as soon as it is decoded.
constexpr gint64 sinkBufferMicroseconds = 1000000;
constexpr gint64 sinkPieceMicroseconds = 100000;

void sizeSinkBuffer(GstBin*, GstBin*, GstElement* element, gpointer) {
    GObjectClass* elementClass = G_OBJECT_GET_CLASS(element);
    if (g_object_class_find_property(elementClass, "buffer-time") != nullptr &&
        g_object_class_find_property(elementClass, "latency-time") != nullptr) {
        g_object_set(element, "buffer-time", sinkBufferMicroseconds, "latency-time",
                     sinkPieceMicroseconds, nullptr);
    }
}

// OpenAL Soft opens ALSA behind GStreamer's back, and ALSA writes its
// failures to stderr: the automatic output, trying every sink where no sound
// server runs, would fill the listener's log with nine lines of library noise.
// It offers nothing the sound servers and ALSA's own sink do not.
void leaveOutNoisySinks() {
    if (GstElementFactory* openal = gst_element_factory_find("openalsink")) {
        gst_plugin_feature_set_rank(GST_PLUGIN_FEATURE(openal), GST_RANK_NONE);
        gst_object_unref(openal);
    }
}

GstElement* makeAudioSink(const PlaybackSettings& settings,
                          const std::function<void(const std::string&)>& tell) {
    if (settings.audioSink) {
        GError* rawError = nullptr;
        GstElement* sink =
            gst_parse_bin_from_description(settings.audioSink->c_str(), TRUE, &rawError);
        GErrorPtr error(rawError);
        if (sink != nullptr) {
            return sink; // as the listener configured it
        }
        tell(fillInAll(GettextStrings::translate(N_("TUNORA_AUDIO_SINK=\u201c{}\u201d does not "
                                                    "work ({}): Tunora plays on the usual output")),
                       {*settings.audioSink, error ? error->message : "?"}));
    }
    leaveOutNoisySinks();
    return gst_element_factory_make("autoaudiosink", nullptr);
}

GstElement* add(GstElement* pipeline, const char* factory) {
    GstElement* element = gst_element_factory_make(factory, nullptr);
    if (element != nullptr) {
        gst_bin_add(GST_BIN(pipeline), element);
    }
    return element;
}

constexpr guint idleAfterMs = 1000;

} // namespace

StreamPipeline::StreamPipeline(const PlaybackSettings& settings) {
    build(settings);
}

StreamPipeline::~StreamPipeline() {
    idleTimer_.reset();
    busWatch_.reset();
    if (pipeline_) {
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    }
}

void StreamPipeline::tell(const std::string& problem) const {
    if (problems_) {
        problems_->report(problem);
    } else {
        g_message("%s", problem.c_str());
    }
}

void StreamPipeline::build(const PlaybackSettings& settings) {
    problems_ = settings.problems;
    GObjectPtr<GstElement> pipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
    GstElement* source = add(pipeline.get(), "appsrc");
    GstElement* converter = add(pipeline.get(), "audioconvert");
    GstElement* resampler = add(pipeline.get(), "audioresample");
    GstElement* volume = add(pipeline.get(), "volume");
    GstElement* sink =
        makeAudioSink(settings, [this](const std::string& problem) { tell(problem); });
    if (sink != nullptr) {
        gst_bin_add(GST_BIN(pipeline.get()), sink);
    }
    if (source == nullptr || converter == nullptr || resampler == nullptr || volume == nullptr ||
        sink == nullptr || !gst_element_link_many(converter, resampler, volume, sink, nullptr)) {
        tell(GettextStrings::translate(N_("Tunora cannot play: parts of GStreamer are missing "
                                          "(install gstreamer1.0-plugins-base)")));
        return;
    }
    if (!settings.audioSink) {
        g_signal_connect(pipeline.get(), "deep-element-added", G_CALLBACK(&sizeSinkBuffer),
                         nullptr);
    }
    // A radio stream: bytes without caps (the parser finds the frames, decodebin
    // the type), read in order, never seeked; the reader never waits
    // on a full queue, it asks hasRoom() first.
    g_object_set(source, "stream-type", GST_APP_STREAM_TYPE_STREAM, "format", GST_FORMAT_BYTES,
                 "max-bytes", mostQueuedBytes, "block", FALSE, nullptr);
    // Decoded audio passes this pad: where it stops, the stream fell silent.
    GObjectPtr<GstPad> pad(gst_element_get_static_pad(converter, "sink"));
    gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, &StreamPipeline::onDecodedAudio, this,
                      nullptr);
    GObjectPtr<GstBus> bus(gst_element_get_bus(pipeline.get()));
    busWatch_.reset(gst_bus_add_watch(bus.get(), &StreamPipeline::onBusMessage, this));
    pipeline_ = std::move(pipeline);
    source_ = source;
    converter_ = converter;
    volume_ = volume;
}

// The decoder part is exchanged only while the pipeline stands still.
void StreamPipeline::useDecoder(bool mpeg) {
    if (!decoder_.empty() && mpegDecoder_ == mpeg) {
        return;
    }
    for (GstElement* element : decoder_) {
        gst_element_set_state(element, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(pipeline_.get()), element); // unlinks and releases it
    }
    decoder_.clear();
    mpegDecoder_ = mpeg;
    if (mpeg) {
        GstElement* parser = add(pipeline_.get(), "mpegaudioparse");
        GstElement* decoder = add(pipeline_.get(), "mpg123audiodec");
        for (GstElement* element : {parser, decoder}) {
            if (element != nullptr) {
                decoder_.push_back(element);
            }
        }
        if (decoder_.size() == 2 &&
            gst_element_link_many(source_, parser, decoder, converter_, nullptr)) {
            return;
        }
        tell(GettextStrings::translate(N_("Tunora has no MP3 decoder and tries any other "
                                          "(install gstreamer1.0-plugins-good)")));
        useDecoder(false);
        mpegDecoder_ = true; // tried once: do not try again for every start
        return;
    }
    if (GstElement* decodebin = add(pipeline_.get(), "decodebin")) {
        decoder_.push_back(decodebin);
        gst_element_link(source_, decodebin);
        g_signal_connect(decodebin, "pad-added", G_CALLBACK(&StreamPipeline::onDecoderPad), this);
    }
}

void StreamPipeline::onDecoderPad(GstElement*, GstPad* pad, gpointer self) {
    auto* pipeline = static_cast<StreamPipeline*>(self);
    GObjectPtr<GstPad> sinkPad(gst_element_get_static_pad(pipeline->converter_, "sink"));
    if (!gst_pad_is_linked(sinkPad.get())) {
        gst_pad_link(pad, sinkPad.get()); // the first stream; a video one does not link
    }
}

void StreamPipeline::prepare() {
    if (!usable() || !decoder_.empty()) {
        return;
    }
    useDecoder(true);
    // Finding no sound output here is told when a stream starts.
    gst_element_set_state(pipeline_.get(), GST_STATE_READY);
}

void StreamPipeline::start(const void* stream, bool mpeg, Events events) {
    if (!usable()) {
        return;
    }
    idleTimer_.reset();
    reset(!decoder_.empty() && mpegDecoder_ == mpeg && !ended_);
    if (owner_ != nullptr && owner_ != stream && events_.taken) {
        Events previous = std::move(events_);
        owner_ = nullptr;
        previous.taken();
    }
    owner_ = stream;
    events_ = std::move(events);
    useDecoder(mpeg);
    lastAudio_ = Clock::now().time_since_epoch().count();
    running_ = true;
    if (noSoundOutput_) {
        // Stopped whole, the automatic output looks for a sound server again
        // (it may have started since), and warns again when there is none.
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
        noSoundOutput_ = false;
    }
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        // Told from the loop, as every other failure is.
        gst_element_post_message(
            pipeline_.get(),
            gst_message_new_application(GST_OBJECT(pipeline_.get()),
                                        gst_structure_new_empty("tunora-start-failed")));
    }
}

void StreamPipeline::stop(const void* stream) {
    if (owns(stream)) {
        reset(true);
        owner_ = nullptr;
        events_ = {};
        idleTimer_.reset(g_timeout_add(idleAfterMs, &StreamPipeline::onIdle, this));
    }
}

// A flushed sink keeps its stream on the sound server, whose timing updates
// wake the program every second. Stopped for a moment (not just between two
// stations), the pipeline lets that stream go and keeps only the connection
// to the server and the decoder, so starting again costs little.
gboolean StreamPipeline::onIdle(gpointer self) {
    auto* pipeline = static_cast<StreamPipeline*>(self);
    pipeline->idleTimer_.forget();
    if (!pipeline->running_) {
        gst_element_set_state(pipeline->pipeline_.get(), GST_STATE_READY);
        pipeline->ended_ = false;
    }
    return G_SOURCE_REMOVE;
}

// Silence at once, and nothing of the stream before is left: not in the
// queue, not in the sink, not on the bus. A flush does that and keeps the sink
// and its stream on the sound server; only a change of decoder, or a source
// that was told the stream ended (a flush does not take that back), stops
// the pipeline.
void StreamPipeline::reset(bool keepDecoder) {
    if (!running_ && keepDecoder) {
        return;
    }
    if (keepDecoder) {
        gst_element_send_event(source_, gst_event_new_flush_start());
        gst_element_send_event(source_, gst_event_new_flush_stop(TRUE));
    } else {
        gst_element_set_state(pipeline_.get(), GST_STATE_READY);
        ended_ = false;
    }
    running_ = false;
    GObjectPtr<GstBus> bus(gst_element_get_bus(pipeline_.get()));
    // The change to READY is when the automatic output looks for a sound server:
    // its warning that it found none outlives the flush.
    while (GstMessage* warning = gst_bus_pop_filtered(bus.get(), GST_MESSAGE_WARNING)) {
        noSoundOutput_ = noSoundOutput_ || warnsOfNoSoundOutput(warning);
        gst_message_unref(warning);
    }
    gst_bus_set_flushing(bus.get(), TRUE);
    gst_bus_set_flushing(bus.get(), FALSE);
}

void StreamPipeline::push(const void* stream, GBytes* audio) {
    if (running_ && owns(stream)) {
        gst_app_src_push_buffer(GST_APP_SRC(source_), gst_buffer_new_wrapped_bytes(audio));
    }
}

bool StreamPipeline::hasRoom() const {
    return !running_ || gst_app_src_get_current_level_bytes(GST_APP_SRC(source_)) < mostQueuedBytes;
}

void StreamPipeline::endOfStream(const void* stream) {
    if (running_ && owns(stream)) {
        gst_app_src_end_of_stream(GST_APP_SRC(source_));
        ended_ = true;
    }
}

void StreamPipeline::setVolume(double volume) {
    if (volume_ != nullptr) {
        g_object_set(volume_, "volume", volume, nullptr);
    }
}

GstPadProbeReturn StreamPipeline::onDecodedAudio(GstPad*, GstPadProbeInfo*, gpointer self) {
    static_cast<StreamPipeline*>(self)->lastAudio_ = Clock::now().time_since_epoch().count();
    return GST_PAD_PROBE_OK;
}

gboolean StreamPipeline::onBusMessage(GstBus*, GstMessage* message, gpointer self) {
    static_cast<StreamPipeline*>(self)->handleMessage(message);
    return G_SOURCE_CONTINUE;
}

void StreamPipeline::handleMessage(GstMessage* message) {
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_WARNING && warnsOfNoSoundOutput(message)) {
        noSoundOutput_ = true; // also when prepare() found it: told when a stream starts
    }
    if (owner_ == nullptr || !running_) {
        return; // leftovers of a stream that already stopped
    }
    // A handler may start or stop a stream; it gets a copy to run.
    Events events = events_;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_STATE_CHANGED:
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(pipeline_.get())) {
            GstState newState = GST_STATE_NULL;
            gst_message_parse_state_changed(message, nullptr, &newState, nullptr);
            if (newState == GST_STATE_PLAYING) {
                events.playing();
            }
        }
        break;
    case GST_MESSAGE_ERROR:
        events.failed(classifyStreamError(message));
        break;
    case GST_MESSAGE_WARNING:
        if (warnsOfNoSoundOutput(message)) {
            events.failed({StreamFailure::Reason::noSoundOutput, 0, "no audio output opened"});
        }
        break;
    case GST_MESSAGE_APPLICATION:
        events.failed({StreamFailure::Reason::other, 0, "the pipeline did not start"});
        break;
    case GST_MESSAGE_EOS:
        events.ended();
        break;
    default:
        break;
    }
}

} // namespace tunora
