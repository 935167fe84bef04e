#include "core/net/IcyDemuxer.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

// Audio of `interval` bytes per block, each followed by a metadata block.
std::string icyStream(std::size_t interval, const std::vector<std::string>& metadata,
                      std::string& audio) {
    std::string stream;
    for (std::size_t i = 0; i < metadata.size(); ++i) {
        const std::string block(interval, char('a' + i));
        audio += block;
        const std::size_t padded = (metadata[i].size() + 15) / 16 * 16;
        stream += block + char(padded / 16) + metadata[i] +
                  std::string(padded - metadata[i].size(), '\0');
    }
    return stream;
}

TEST(IcyDemuxerTest, AudioComesOutWholeAndTitlesInOrderHoweverTheBytesArrive) {
    std::string audio;
    const std::string stream = icyStream(
        40, {"StreamTitle='It's Me';StreamUrl='';", "", "StreamUrl='x';", "StreamTitle='B';"},
        audio);
    for (const std::size_t piece : {std::size_t(1), std::size_t(7), stream.size()}) {
        IcyDemuxer demuxer(40);
        std::string heard;
        std::vector<std::string> titles;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            demuxer.feed(
                std::string_view(stream).substr(at, piece),
                [&](std::string_view part) { heard += part; },
                [&](std::string title) { titles.push_back(std::move(title)); });
        }
        EXPECT_EQ(heard, audio) << "in pieces of " << piece;
        EXPECT_EQ(titles, (std::vector<std::string>{"It's Me", "B"})) << "in pieces of " << piece;
    }
}

} // namespace
} // namespace tunora
