#include "core/net/IcyDemuxer.h"

#include <algorithm>

namespace tunora {
namespace {

// StreamTitle='…'; the quote may itself appear inside the title, so the value
// ends at the first "';" after it.
bool streamTitle(std::string_view metadata, std::string& title) {
    constexpr std::string_view key = "StreamTitle='";
    const auto start = metadata.find(key);
    if (start == std::string_view::npos) {
        return false;
    }
    const auto valueStart = start + key.size();
    auto end = metadata.find("';", valueStart);
    if (end == std::string_view::npos) {
        end = metadata.find_last_of('\'');
        if (end == std::string_view::npos || end < valueStart) {
            return false;
        }
    }
    title.assign(metadata.substr(valueStart, end - valueStart));
    return true;
}

} // namespace

void IcyDemuxer::feed(std::string_view data, const AudioHandler& onAudio,
                      const TitleHandler& onTitle) {
    if (interval_ == 0) {
        onAudio(data);
        return;
    }
    while (!data.empty()) {
        if (!inMetadata_ && audioLeft_ > 0) {
            const std::size_t audio = std::min(audioLeft_, data.size());
            onAudio(data.substr(0, audio));
            audioLeft_ -= audio;
            data.remove_prefix(audio);
        } else if (!inMetadata_) {
            metadataLeft_ = std::size_t(static_cast<unsigned char>(data.front())) * 16;
            data.remove_prefix(1);
            inMetadata_ = true;
            metadata_.clear();
            if (metadataLeft_ == 0) {
                metadataComplete(onTitle);
            }
        } else {
            const std::size_t part = std::min(metadataLeft_, data.size());
            metadata_.append(data.substr(0, part));
            metadataLeft_ -= part;
            data.remove_prefix(part);
            if (metadataLeft_ == 0) {
                metadataComplete(onTitle);
            }
        }
    }
}

void IcyDemuxer::metadataComplete(const TitleHandler& onTitle) {
    inMetadata_ = false;
    audioLeft_ = interval_;
    std::string title;
    if (!metadata_.empty() && streamTitle(metadata_, title)) {
        onTitle(std::move(title));
    }
}

} // namespace tunora
