#include "matroska/wave_file.h"

#include "engine/files.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace tarnwick {

namespace {

constexpr uint16_t WaveFormatPcm = 0x0001;
constexpr uint16_t WaveFormatExtensible = 0xFFFE;
constexpr size_t PlainFmtBytes = 16;
constexpr size_t ExtensibleFmtBytes = 40;
constexpr size_t Wave64ChunkHeader = 24; // GUID and 64-bit size
constexpr size_t ReadBytes = 256 * 1024;

// KSDATAFORMAT_SUBTYPE_PCM, the sub-format of an extensible PCM "fmt ".
constexpr std::array<uint8_t, 16> PcmSubFormat = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                  0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// The Wave64 chunk GUIDs of "riff", "wave", "fmt " and "data".
constexpr std::array<uint8_t, 16> Wave64Riff = {0x72, 0x69, 0x66, 0x66, 0x2E, 0x91, 0xCF, 0x11,
                                                0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
constexpr std::array<uint8_t, 16> Wave64Wave = {0x77, 0x61, 0x76, 0x65, 0xF3, 0xAC, 0xD3, 0x11,
                                                0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
constexpr std::array<uint8_t, 16> Wave64Fmt = {0x66, 0x6D, 0x74, 0x20, 0xF3, 0xAC, 0xD3, 0x11,
                                               0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
constexpr std::array<uint8_t, 16> Wave64Data = {0x64, 0x61, 0x74, 0x61, 0xF3, 0xAC, 0xD3, 0x11,
                                                0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};

// Speaker positions by channel count: mono centre, stereo, 3.0, quad, 5.0,
// 5.1, 6.1 (back centre) and 7.1 (side pair).
constexpr std::array<uint32_t, 9> ChannelMasks = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x13F, 0x63F};

bool extensible(const LpcmFormat& f) {
    return f.channels > 2 || f.bitsPerSample > 16;
}

size_t containerBytes(const LpcmFormat& f) {
    return f.bitsPerSample == 16 ? 2 : 3;
}

size_t fmtBytes(const LpcmFormat& f) {
    return extensible(f) ? ExtensibleFmtBytes : PlainFmtBytes;
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void put64(std::vector<uint8_t>& out, uint64_t v) {
    put32(out, uint32_t(v));
    put32(out, uint32_t(v >> 32));
}

void putBytes(std::vector<uint8_t>& out, const std::array<uint8_t, 16>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void putTag(std::vector<uint8_t>& out, const char (&tag)[5]) {
    out.insert(out.end(), tag, tag + 4);
}

void putFmt(std::vector<uint8_t>& out, const LpcmFormat& f) {
    const uint32_t blockAlign = uint32_t(f.channels * containerBytes(f));
    put16(out, extensible(f) ? WaveFormatExtensible : WaveFormatPcm);
    put16(out, uint32_t(f.channels));
    put32(out, uint32_t(f.sampleRate));
    put32(out, uint32_t(f.sampleRate) * blockAlign);
    put16(out, blockAlign);
    put16(out, uint32_t(containerBytes(f) * 8));
    if (!extensible(f)) return;
    put16(out, 22); // the bytes of the extension that follow
    put16(out, uint32_t(f.bitsPerSample));
    put32(out, ChannelMasks[f.channels]);
    putBytes(out, PcmSubFormat);
}

uint64_t riffBodyBytes(const LpcmFormat& f, uint64_t dataBytes) {
    return 4 + 8 + fmtBytes(f) + 8 + dataBytes + wavePaddingBytes(dataBytes, WaveContainer::Riff);
}

// The samples of a conversion unit: a frame at 16 bits; at 20 and 24 bits
// whole groups and whole frames, in the blocks ffmpeg decodes.
size_t unitSamples(const LpcmFormat& f) {
    const size_t channels = size_t(f.channels);
    if (f.bitsPerSample == 16) return channels;
    if (channels == 1 || channels == 2 || channels == 4) return 4;
    if (channels == 8) return 8;
    return 4 * channels;
}

// The interleaved samples that share one run of upper halves and low bits.
size_t groupSamples(const LpcmFormat& f) {
    return f.channels == 1 ? 2 : 4;
}

// Little-endian 24-bit sample from its upper 16 bits and its low bits in
// the top of `low`.
void put24(uint8_t* out, const uint8_t* upper, uint8_t low) {
    out[0] = low;
    out[1] = upper[1];
    out[2] = upper[0];
}

} // namespace

bool isLpcmFormat(const LpcmFormat& f) {
    return f.sampleRate > 0 && f.sampleRate <= 192000 &&
           (f.bitsPerSample == 16 || f.bitsPerSample == 20 || f.bitsPerSample == 24) &&
           f.channels >= 1 && f.channels <= 8;
}

size_t lpcmUnitBytes(const LpcmFormat& f) {
    return unitSamples(f) * size_t(f.bitsPerSample) / 8;
}

size_t waveUnitBytes(const LpcmFormat& f) {
    return unitSamples(f) * containerBytes(f);
}

uint64_t waveDataBytes(const LpcmFormat& f, uint64_t lpcmBytes) {
    return lpcmBytes / lpcmUnitBytes(f) * waveUnitBytes(f);
}

WaveContainer waveContainerFor(const LpcmFormat& f, uint64_t dataBytes) {
    return riffBodyBytes(f, dataBytes) > 0xFFFFFFFFu ? WaveContainer::Wave64 : WaveContainer::Riff;
}

size_t wavePaddingBytes(uint64_t dataBytes, WaveContainer container) {
    const uint64_t align = container == WaveContainer::Riff ? 2 : 8;
    return size_t((align - dataBytes % align) % align);
}

std::vector<uint8_t> waveHeader(const LpcmFormat& f, uint64_t dataBytes, WaveContainer c) {
    std::vector<uint8_t> out;
    out.reserve(128); // every header fits
    if (c == WaveContainer::Riff) {
        putTag(out, "RIFF");
        put32(out, uint32_t(riffBodyBytes(f, dataBytes)));
        putTag(out, "WAVE");
        putTag(out, "fmt ");
        put32(out, uint32_t(fmtBytes(f)));
        putFmt(out, f);
        putTag(out, "data");
        put32(out, uint32_t(dataBytes));
        return out;
    }
    // Wave64 sizes count the chunk's own GUID and size field; the "fmt "
    // chunk (16 or 40 bytes) keeps the 8-byte alignment.
    const uint64_t fmtChunk = Wave64ChunkHeader + fmtBytes(f);
    const uint64_t dataChunk = Wave64ChunkHeader + dataBytes;
    putBytes(out, Wave64Riff);
    put64(out, Wave64ChunkHeader + 16 + fmtChunk + dataChunk + wavePaddingBytes(dataBytes, c));
    putBytes(out, Wave64Wave);
    putBytes(out, Wave64Fmt);
    put64(out, fmtChunk);
    putFmt(out, f);
    putBytes(out, Wave64Data);
    put64(out, dataChunk);
    return out;
}

void convertLpcmUnits(const LpcmFormat& f, const uint8_t* in, size_t units, uint8_t* out) {
    const size_t channels = size_t(f.channels);
    if (f.bitsPerSample == 16) {
        for (size_t k = 0; k < units * channels; ++k, in += 2, out += 2) {
            out[0] = in[1];
            out[1] = in[0];
        }
        return;
    }
    // Each group: the upper halves of its samples, then the low bits of the
    // same samples in the same order (a byte each at 24 bits, a nibble
    // each, high nibble first, at 20 bits).
    const size_t group = groupSamples(f);
    const size_t groupBytes = group * size_t(f.bitsPerSample) / 8;
    const size_t groups = units * unitSamples(f) / group;
    for (size_t g = 0; g < groups; ++g, in += groupBytes) {
        const uint8_t* low = in + 2 * group;
        for (size_t k = 0; k < group; ++k, out += 3) {
            const uint8_t bits = f.bitsPerSample == 24 ? low[k]
                                 : k % 2 == 0          ? uint8_t(low[k / 2] & 0xF0)
                                                       : uint8_t(low[k / 2] << 4);
            put24(out, in + 2 * k, bits);
        }
    }
}

WaveResult writeWaveFromLpcm(const std::string& lpcmPath, const LpcmFormat& f,
                             const std::string& wavePath) {
    if (!isLpcmFormat(f))
        throw std::invalid_argument("LPCM of " + std::to_string(f.bitsPerSample) + " bits, " +
                                    std::to_string(f.channels) + " channels at " +
                                    std::to_string(f.sampleRate) + " Hz cannot go into WAV");
    SourceFile source(lpcmPath);
    // Bounded by the size seen at opening, which the header states.
    const uint64_t lpcmBytes = uint64_t(source.size());
    WaveResult result;
    result.dataBytes = waveDataBytes(f, lpcmBytes);
    result.droppedBytes = lpcmBytes % lpcmUnitBytes(f);
    result.container = waveContainerFor(f, result.dataBytes);

    OutputFile wave(wavePath);
    const std::vector<uint8_t> header = waveHeader(f, result.dataBytes, result.container);
    wave.write(header.data(), header.size());
    const size_t unitsPerRead = std::max<size_t>(1, ReadBytes / lpcmUnitBytes(f));
    std::vector<uint8_t> in(unitsPerRead * lpcmUnitBytes(f));
    std::vector<uint8_t> out(unitsPerRead * waveUnitBytes(f));
    uint64_t left = lpcmBytes - result.droppedBytes;
    while (left > 0) {
        const size_t wanted = size_t(std::min<uint64_t>(in.size(), left));
        const size_t got = source.read(in.data(), wanted);
        if (got < wanted)
            throw FileError("Read error on \"" + lpcmPath + "\". The file shrank while it was " +
                            "read.");
        const size_t units = got / lpcmUnitBytes(f);
        convertLpcmUnits(f, in.data(), units, out.data());
        wave.write(out.data(), units * waveUnitBytes(f));
        left -= got;
    }
    const uint8_t padding[8] = {};
    wave.write(padding, wavePaddingBytes(result.dataBytes, result.container));
    wave.close();
    return result;
}

WaveResult writeWaveFromLpcmRuns(const std::string& lpcmPath, const LpcmFormat& f,
                                 const std::vector<LpcmRun>& runs, const std::string& wavePath,
                                 const std::function<bool()>& stopped) {
    if (!isLpcmFormat(f))
        throw std::invalid_argument("LPCM of " + std::to_string(f.bitsPerSample) + " bits, " +
                                    std::to_string(f.channels) + " channels at " +
                                    std::to_string(f.sampleRate) + " Hz cannot go into WAV");
    SourceFile source(lpcmPath);
    const size_t inUnit = lpcmUnitBytes(f), outUnit = waveUnitBytes(f);
    const int64_t unitFrames = int64_t(unitSamples(f)) / f.channels;
    // Each run's silence in front, units skipped and units kept, in units.
    struct Plan {
        int64_t silence = 0, skip = 0, keep = 0;
    };
    std::vector<Plan> plans;
    int64_t position = 0;
    for (const LpcmRun& run : runs) {
        const int64_t end = std::min(run.end, source.size());
        const int64_t units = end > run.begin ? (end - run.begin) / int64_t(inUnit) : 0;
        const int64_t target =
            (std::max<int64_t>(run.firstSample, 0) + unitFrames / 2) / unitFrames;
        Plan p;
        p.silence = std::max<int64_t>(target - position, 0);
        position += p.silence;
        p.skip = std::min(units, std::max<int64_t>(position - target, 0));
        p.keep = units - p.skip;
        position += p.keep;
        plans.push_back(p);
    }
    WaveResult result;
    result.dataBytes = uint64_t(position) * outUnit;
    result.container = waveContainerFor(f, result.dataBytes);
    OutputFile wave(wavePath);
    const std::vector<uint8_t> header = waveHeader(f, result.dataBytes, result.container);
    wave.write(header.data(), header.size());
    const size_t unitsPerRead = std::max<size_t>(1, ReadBytes / inUnit);
    std::vector<uint8_t> in(unitsPerRead * inUnit);
    std::vector<uint8_t> out(unitsPerRead * outUnit);
    const auto stop = [&] {
        if (!stopped || !stopped()) return false;
        wave.discard();
        result.stopped = true;
        return true;
    };
    for (size_t r = 0; r < runs.size(); ++r) {
        std::fill(out.begin(), out.end(), uint8_t(0));
        for (int64_t left = plans[r].silence; left > 0;) {
            if (stop()) return result;
            const int64_t units = std::min<int64_t>(left, int64_t(unitsPerRead));
            wave.write(out.data(), size_t(units) * outUnit);
            left -= units;
        }
        int64_t at = runs[r].begin + plans[r].skip * int64_t(inUnit);
        for (int64_t left = plans[r].keep; left > 0;) {
            if (stop()) return result;
            const size_t units = size_t(std::min<int64_t>(left, int64_t(unitsPerRead)));
            if (source.readAt(in.data(), units * inUnit, at) < units * inUnit)
                throw FileError("Read error on \"" + lpcmPath + "\". The file shrank while it " +
                                "was read.");
            convertLpcmUnits(f, in.data(), units, out.data());
            wave.write(out.data(), units * outUnit);
            at += int64_t(units * inUnit);
            left -= int64_t(units);
        }
    }
    const uint8_t padding[8] = {};
    wave.write(padding, wavePaddingBytes(result.dataBytes, result.container));
    wave.close();
    return result;
}

} // namespace tarnwick
