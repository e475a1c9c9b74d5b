#pragma once
// A streaming finder of the frames of an audio elementary stream as it is
// written: bytes arrive in pieces cut anywhere; each frame found is reported
// with its offset in the stream and its length in samples.

#include "model/stream_ids.h"

#include <cstdint>
#include <vector>

namespace tarnwick {

struct AudioFrame {
    int64_t offset = 0;
    int32_t samples = 0;
    int32_t sampleRate = 0;
};

class AudioFrameFinder {
public:
    explicit AudioFrameFinder(StreamCodec codec, bool mlp = false);
    void feed(const uint8_t* bytes, size_t count, std::vector<AudioFrame>& found);

private:
    StreamCodec codec_;
    bool mlp_;
    int64_t position_ = 0; // stream offset of the next byte fed
    int64_t next_ = 0;     // where the next frame is expected
    std::vector<uint8_t> header_;
};

} // namespace tarnwick
