#include "matroska/audio_frames.h"

namespace tarnwick {

namespace {

// AC-3 frame sizes in 16-bit words by frmsizecod / 2 and fscod 48, 44.1, 32 kHz.
constexpr int Ac3Words[19][3] = {
    {64, 69, 96},     {80, 87, 120},    {96, 104, 144},   {112, 121, 168},  {128, 139, 192},
    {160, 174, 240},  {192, 208, 288},  {224, 243, 336},  {256, 278, 384},  {320, 348, 480},
    {384, 417, 576},  {448, 487, 672},  {512, 557, 768},  {640, 696, 960},  {768, 835, 1152},
    {896, 975, 1344}, {1024, 1114, 1536}, {1152, 1253, 1728}, {1280, 1393, 1920}};
constexpr int Rates[3] = {48000, 44100, 32000};

} // namespace

AudioFrameFinder::AudioFrameFinder(StreamCodec codec, bool mlp) : codec_(codec), mlp_(mlp) {}

void AudioFrameFinder::feed(const uint8_t* bytes, size_t count, std::vector<AudioFrame>& found) {
    // Provisional: Dolby Digital and Dolby Digital Plus sync frames.
    for (size_t k = 0; k < count; ++k) {
        const int64_t at = position_ + int64_t(k);
        if (at < next_ && header_.empty()) continue;
        header_.push_back(bytes[k]);
        if (header_.size() == 1 && header_[0] != 0x0B) header_.clear();
        if (header_.size() == 2 && header_[1] != 0x77) header_.clear();
        if (header_.size() < 6) continue;
        const int64_t start = at - 5;
        const int bsid = header_[5] >> 3;
        int64_t size = 0;
        int samples = 1536, rate = 48000;
        if (bsid > 10) {
            size = 2 * ((((header_[2] & 7) << 8) | header_[3]) + 1);
            const int fscod = header_[4] >> 6;
            const int blocks[4] = {1, 2, 3, 6};
            samples = 256 * (fscod == 3 ? 6 : blocks[(header_[4] >> 4) & 3]);
            rate = fscod == 3 ? Rates[(header_[4] >> 4) & 3] / 2 : Rates[fscod % 3];
        } else {
            const int fscod = header_[4] >> 6;
            const int code = header_[4] & 0x3F;
            if (fscod < 3 && code < 38)
                size = 2 * (Ac3Words[code / 2][fscod] + (fscod == 1 ? code % 2 : 0));
            rate = Rates[fscod % 3];
        }
        header_.clear();
        if (size <= 0) continue;
        found.push_back({start, samples, rate});
        next_ = start + size;
    }
    position_ += int64_t(count);
    (void)codec_;
    (void)mlp_;
}

} // namespace tarnwick
