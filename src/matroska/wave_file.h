#pragma once
// Demuxed DVD and HD DVD LPCM as a WAV file for the Matroska muxer. The
// elementary file holds the samples that follow the 7-byte LPCM header:
// big-endian, and at 20 and 24 bits packed in groups of interleaved samples
// (the upper 16 bits of every sample of the group, then their low bits): a
// pair of frames in stereo, a pair of samples in mono, four samples with
// more channels, as ffmpeg and VLC read them. WAV holds little-endian
// interleaved samples in 2 or 3 bytes.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarnwick {

struct LpcmFormat {
    int sampleRate = 48000;
    int bitsPerSample = 16; // 16, 20 or 24
    int channels = 2;       // 1 to 8
};

// RIFF sizes are 32-bit; larger data goes into a Sony Wave64 file.
enum class WaveContainer { Riff, Wave64 };

// Whether the format is one the LPCM header can describe.
bool isLpcmFormat(const LpcmFormat& format);

// The smallest run of the elementary stream that converts on its own and
// holds whole frames and whole groups, and what it becomes.
size_t lpcmUnitBytes(const LpcmFormat& format);
size_t waveUnitBytes(const LpcmFormat& format);

// The sample bytes of the WAV file made from lpcmBytes of elementary stream;
// a unit cut short at the end is left out.
uint64_t waveDataBytes(const LpcmFormat& format, uint64_t lpcmBytes);

// Wave64 when the RIFF size field cannot hold the file.
WaveContainer waveContainerFor(const LpcmFormat& format, uint64_t dataBytes);

// The bytes in front of the samples: WAVE_FORMAT_EXTENSIBLE with a channel
// mask for more than 2 channels or more than 16 bits, plain PCM otherwise.
std::vector<uint8_t> waveHeader(const LpcmFormat& format, uint64_t dataBytes,
                                WaveContainer container);

// The bytes after the samples that keep the chunk aligned (RIFF: 2, Wave64: 8).
size_t wavePaddingBytes(uint64_t dataBytes, WaveContainer container);

// Converts `units` whole units from `in` into `out` (waveUnitBytes each).
void convertLpcmUnits(const LpcmFormat& format, const uint8_t* in, size_t units, uint8_t* out);

struct WaveResult {
    WaveContainer container = WaveContainer::Riff;
    uint64_t dataBytes = 0;
    uint64_t droppedBytes = 0; // a unit cut short at the end of the stream
    bool stopped = false;      // Cancel: no file was made
};

// Writes the WAV file of an LPCM elementary file in constant memory. File
// errors raise FileError; an unusable format raises std::invalid_argument.
WaveResult writeWaveFromLpcm(const std::string& lpcmPath, const LpcmFormat& format,
                             const std::string& wavePath);

// A run of an LPCM elementary file and the sample (frame of all channels)
// of the WAV its first sample belongs at.
struct LpcmRun {
    int64_t begin = 0;
    int64_t end = 0;
    int64_t firstSample = 0;
};

// The WAV of runs of an LPCM elementary file placed on one timeline: silence
// where a run begins after the samples before it end, and the samples of a
// run that would fall before that end left out. Positions are kept to a
// conversion unit (a frame at 16 bits, two or four at 20 and 24 bits).
// `stopped` is asked between blocks; when it answers true the file is
// discarded and the result says so.
WaveResult writeWaveFromLpcmRuns(const std::string& lpcmPath, const LpcmFormat& format,
                                 const std::vector<LpcmRun>& runs, const std::string& wavePath,
                                 const std::function<bool()>& stopped = {});

} // namespace tarnwick
