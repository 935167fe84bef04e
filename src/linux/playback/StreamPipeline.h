#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/playback/PlaybackSettings.h"
#include "platform/StreamPlayer.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <gst/gst.h>
#include <memory>
#include <string>
#include <vector>

namespace tunora {

// The one GStreamer pipeline of the program, made at the first station and
// kept: the program's own HTTP reader feeds it through appsrc, MP3 goes
// through a fixed parser and decoder, anything else through decodebin, and the
// audio sink (TUNORA_AUDIO_SINK, or the automatic one) stays. One stream plays
// at a time; a new one only resets the source side.
class StreamPipeline {
  public:
    using Clock = std::chrono::steady_clock;

    // What the pipeline tells the stream that plays on it, from the main loop.
    struct Events {
        std::function<void()> playing;             // audio reached the sink
        std::function<void()> ended;               // everything given was played
        std::function<void(StreamFailure)> failed; // it could not be decoded
        std::function<void()> taken;               // another stream took the pipeline
    };

    explicit StreamPipeline(const PlaybackSettings& settings);
    ~StreamPipeline();
    StreamPipeline(const StreamPipeline&) = delete;
    StreamPipeline& operator=(const StreamPipeline&) = delete;

    bool usable() const { return pipeline_ != nullptr; }
    bool owns(const void* stream) const { return owner_ == stream && stream != nullptr; }

    // Before any stream: the MP3 decoder in place and the sink open on the
    // sound server, so a first stream starts as fast as the next ones.
    void prepare();

    // Starts a stream of mpeg audio (or of whatever decodebin makes of it) for
    // `stream`; what played before stops at once.
    void start(const void* stream, bool mpeg, Events events);
    // Stops `stream`'s sound at once, if it is the one that plays.
    void stop(const void* stream);

    // Only the stream that plays gives audio; what others give is dropped.
    void push(const void* stream, GBytes* audio);
    bool hasRoom() const;
    void endOfStream(const void* stream);
    void setVolume(double volume);
    // When decoded audio last passed.
    Clock::time_point lastAudio() const { return Clock::time_point(Clock::duration(lastAudio_)); }

  private:
    void build(const PlaybackSettings& settings);
    // Tells the listener of an output or a part that does not work.
    void tell(const std::string& problem) const;
    void useDecoder(bool mpeg);
    void reset(bool keepDecoder);
    static gboolean onIdle(gpointer self);
    void handleMessage(GstMessage* message);
    static gboolean onBusMessage(GstBus* bus, GstMessage* message, gpointer self);
    static void onDecoderPad(GstElement* decoder, GstPad* pad, gpointer self);
    static GstPadProbeReturn onDecodedAudio(GstPad* pad, GstPadProbeInfo* info, gpointer self);

    GObjectPtr<GstElement> pipeline_;
    GstElement* source_ = nullptr;    // appsrc, owned by the pipeline
    GstElement* converter_ = nullptr; // the first element after the decoder
    GstElement* volume_ = nullptr;
    std::vector<GstElement*> decoder_; // parser and decoder, or decodebin
    bool mpegDecoder_ = false;
    bool running_ = false; // a stream is being given to it
    bool ended_ = false;   // the source was told its stream ended
    // The automatic output found no sound server or device and plays into nothing.
    bool noSoundOutput_ = false;
    std::shared_ptr<ProblemLog> problems_;
    GSourceId busWatch_;
    GSourceId idleTimer_; // puts a stopped pipeline to rest
    const void* owner_ = nullptr;
    Events events_;
    std::atomic<Clock::rep> lastAudio_{0}; // written on the streaming thread
};

} // namespace tunora
