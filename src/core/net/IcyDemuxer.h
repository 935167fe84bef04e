#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tunora {

// Takes a radio stream apart that carries ICY metadata: after every
// `interval` bytes of audio (the server's icy-metaint) comes one length byte,
// then that many times 16 bytes of text such as "StreamTitle='…';" padded
// with zeros. Audio comes out in pieces of the data given, titles as the
// server wrote them (untrusted: sanitise before showing them).
class IcyDemuxer {
  public:
    using AudioHandler = std::function<void(std::string_view audio)>;
    using TitleHandler = std::function<void(std::string title)>;

    // interval 0: the stream carries no metadata, everything is audio.
    explicit IcyDemuxer(std::size_t interval) : interval_(interval), audioLeft_(interval) {}

    void feed(std::string_view data, const AudioHandler& onAudio, const TitleHandler& onTitle);

  private:
    void metadataComplete(const TitleHandler& onTitle);

    std::size_t interval_;
    std::size_t audioLeft_;        // bytes of audio before the next length byte
    std::size_t metadataLeft_ = 0; // bytes of the current metadata block still to come
    bool inMetadata_ = false;
    std::string metadata_;
};

} // namespace tunora
