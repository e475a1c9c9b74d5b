#include "support/test_discs.h"

#include "support/ps_writer.h"
#include "support/run_program.h"
#include "support/test_session.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace tarnwick::testing {

namespace fs = std::filesystem;

namespace {

constexpr int SampleRate = 48000;
constexpr int64_t Hz = 90000;
constexpr int64_t Wrap = int64_t(1) << 33;
constexpr int Ac3Samples = 1536;
constexpr int LpcmSamples = 80; // an LPCM frame: 1/600 s
constexpr double BeepSeconds = 0.1;

int64_t ticks(double seconds) {
    return std::llround(seconds * double(Hz));
}

uint64_t wrapped(int64_t pts) {
    return uint64_t(((pts % Wrap) + Wrap) % Wrap);
}

bool isAudio(Codec c) {
    return c == Codec::Ac3 || c == Codec::Eac3 || c == Codec::Lpcm16 || c == Codec::Lpcm24;
}

std::string ffmpeg(std::vector<std::string> args, const std::string& program = "ffmpeg") {
    args.insert(args.begin(), {"-v", "error"});
    if (program == "ffmpeg") args.insert(args.begin(), {"-nostdin", "-y"});
    const ProgramResult r = runProgram("/usr/bin/" + program, args);
    if (r.exitCode != 0) throw std::runtime_error(program + " failed: " + r.err);
    return r.out;
}

// "frame:N pts:P pts_time:T" followed by "key=value" lines, as ffmpeg's
// metadata filters print them: (time, value) per frame.
std::vector<std::pair<double, double>> metadataLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::pair<double, double>> frames;
    for (std::string line; std::getline(in, line);) {
        if (const size_t at = line.find("pts_time:"); at != std::string::npos)
            frames.emplace_back(std::stod(line.substr(at + 9)), 0.0);
        else if (const size_t eq = line.find('='); eq != std::string::npos && !frames.empty())
            frames.back().second = std::stod(line.substr(eq + 1));
    }
    return frames;
}

// An elementary stream cut into access units; time stamps count from its
// first unit's PTS.
struct Unit {
    size_t at;
    int64_t pts;
    int64_t dts;
    bool key;
};

struct Elementary {
    Bytes data;
    std::vector<Unit> units;
    std::vector<double> onsets; // the marks as decoded, after the first PTS
    double seconds = 0;
};

bool startCode(const Bytes& d, size_t at) {
    return at + 3 < d.size() && d[at] == 0 && d[at + 1] == 0 && d[at + 2] == 1;
}

// H.264 without B-pictures: an access unit from each delimiter on, shown
// in decoding order.
void h264Units(Elementary& es, double fps) {
    int n = 0;
    for (size_t at = 0; at + 4 < es.data.size(); ++at) {
        if (!startCode(es.data, at)) continue;
        const uint8_t type = es.data[at + 3] & 0x1F;
        if (type == 9) {
            const size_t from = at > 0 && es.data[at - 1] == 0 ? at - 1 : at;
            const int64_t pts = std::llround(n++ * double(Hz) / fps);
            es.units.push_back({from, pts, pts, false});
        } else if (type == 5 && !es.units.empty()) {
            es.units.back().key = true;
        }
    }
}

// MPEG-2 with B-pictures in closed GOPs: a unit from the sequence or GOP
// header in front of a picture; shown at the GOP's first frame plus the
// picture's temporal reference, decoded one frame ahead.
void mpeg2Units(Elementary& es, double fps) {
    const double frame = double(Hz) / fps;
    size_t pending = std::string::npos;
    int decoded = 0, gopBase = 0;
    for (size_t at = 0; at + 6 < es.data.size(); ++at) {
        if (!startCode(es.data, at)) continue;
        const uint8_t code = es.data[at + 3];
        if ((code == 0xB3 || code == 0xB8) && pending == std::string::npos) pending = at;
        if (code == 0xB8) gopBase = decoded;
        if (code != 0x00) continue;
        const int reference = (es.data[at + 4] << 2) | (es.data[at + 5] >> 6);
        const bool intra = ((es.data[at + 5] >> 3) & 7) == 1;
        es.units.push_back({pending == std::string::npos ? at : pending,
                            std::llround((gopBase + reference) * frame),
                            std::llround((decoded - 1) * frame), intra});
        pending = std::string::npos;
        ++decoded;
    }
}

// Silence with a cosine burst from each mark on, at full 32-bit scale,
// channels interleaved; LPCM channels each at a level of their own.
std::vector<int32_t> beepSamples(int samples, int channels, const std::vector<double>& marks,
                                 bool levelPerChannel) {
    std::vector<int32_t> out(size_t(samples) * size_t(channels), 0);
    for (double mark : marks) {
        const long first = std::lround(mark * SampleRate);
        for (long i = first; i < first + long(BeepSeconds * SampleRate) && i < samples; ++i)
            for (int c = 0; c < channels; ++c) {
                const double level = levelPerChannel ? lpcmChannelLevel(c) : BeepLevel;
                out[size_t(i) * size_t(channels) + size_t(c)] = int32_t(
                    std::lround(level * 2147483647.0 *
                                std::cos(2 * M_PI * 1000 * double(i - first) / SampleRate)));
            }
    }
    return out;
}

size_t dolbyFrameSize(const Bytes& d, size_t at, bool plus) {
    static const int kbps[] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                               192, 224, 256, 320, 384, 448, 512, 576, 640};
    if (at + 6 > d.size() || d[at] != 0x0B || d[at + 1] != 0x77)
        throw std::runtime_error("no Dolby Digital sync word");
    if (plus) return size_t(((d[at + 2] & 7) << 8 | d[at + 3]) + 1) * 2;
    return size_t(4 * kbps[(d[at + 4] & 0x3F) >> 1]); // 48 kHz
}

// LPCM as a DVD carries it: big-endian 16-bit samples; at 24 bits, groups
// of four samples with their upper 16 bits first and their low bytes after.
Elementary lpcm(int bits, int channels, double seconds, const std::vector<double>& marks) {
    const int frames = int(std::lround(seconds * SampleRate / LpcmSamples));
    const std::vector<int32_t> samples = beepSamples(frames * LpcmSamples, channels, marks, true);
    Elementary es;
    const size_t frameBytes = size_t(LpcmSamples * channels * bits / 8);
    for (int f = 0; f < frames; ++f) {
        const int64_t pts = int64_t(f) * LpcmSamples * Hz / SampleRate;
        es.units.push_back({size_t(f) * frameBytes, pts, pts, true});
    }
    for (size_t g = 0; g < samples.size(); g += 4) {
        for (size_t k = g; k < g + 4; ++k) {
            es.data.push_back(uint8_t(samples[k] >> 24));
            es.data.push_back(uint8_t(samples[k] >> 16));
        }
        if (bits == 24)
            for (size_t k = g; k < g + 4; ++k)
                es.data.push_back(uint8_t(samples[k] >> 8));
    }
    for (double m : marks)
        es.onsets.push_back(double(std::lround(m * SampleRate)) / SampleRate);
    es.seconds = double(frames) / (SampleRate / LpcmSamples);
    return es;
}

// A DVD subpicture unit: a box of three striped colours, shown from its PTS
// and hidden `seconds` later.
Bytes subpictureUnit(double seconds) {
    const int x = 40, y = 160, width = 240, height = 40;
    Bytes top, bottom;
    for (int row = 0; row < height; ++row) { // each line one code: its colour to the line's end
        Bytes& field = row % 2 ? bottom : top;
        field.insert(field.end(), {0x00, uint8_t(1 + row % 3)});
    }
    const size_t first = 4 + top.size() + bottom.size();
    // Delay and the next sequence (set below), start display, colours,
    // contrast; the display area; where each field's pixel data starts.
    Bytes show = {0, 0, 0, 0, 0x01, 0x03, 0x32, 0x10, 0x04, 0xFF, 0xF0, 0x05};
    for (const auto& [from, to] : {std::pair{x, x + width - 1}, std::pair{y, y + height - 1}})
        show.insert(show.end(),
                    {uint8_t(from >> 4), uint8_t((from & 15) << 4 | to >> 8), uint8_t(to)});
    const size_t bottomAt = 4 + top.size();
    show.insert(show.end(), {0x06, 0x00, 0x04, uint8_t(bottomAt >> 8), uint8_t(bottomAt), 0xFF});
    const size_t second = first + show.size();
    show[2] = uint8_t(second >> 8);
    show[3] = uint8_t(second);
    const long delay = std::lround(seconds * double(Hz) / 1024); // in 1024/90000 s
    const Bytes hide = {uint8_t(delay >> 8), uint8_t(delay), uint8_t(second >> 8),
                        uint8_t(second),     0x02,           0xFF};
    const size_t size = second + hide.size();
    Bytes unit = {uint8_t(size >> 8), uint8_t(size), uint8_t(first >> 8), uint8_t(first)};
    for (const Bytes* part : std::initializer_list<const Bytes*>{&top, &bottom, &show, &hide})
        unit.insert(unit.end(), part->begin(), part->end());
    return unit;
}

// What ffmpeg encodes for a clip: a video with flash frames or Dolby
// Digital (Plus) with beeps, cut to whole frames.
struct Request {
    Codec codec;
    int channels;
    int frames;
    double fps;
    std::vector<double> marks;

    bool video() const { return codec == Codec::H264 || codec == Codec::Mpeg2; }
    std::string key() const {
        std::string k = std::to_string(int(codec)) + "/" + std::to_string(channels) + "/" +
                        std::to_string(frames) + "/" + std::to_string(fps);
        for (double m : marks)
            k += "/" + std::to_string(m);
        return k;
    }
};

// Encodes each stream once per test program, all that a disc needs in one
// ffmpeg run, and finds where the decoded beeps start in one more.
class StreamMaker {
public:
    StreamMaker() : work_(scratchFolder("disc_streams")) {}

    void make(const std::vector<Request>& requests) {
        std::vector<Request> todo;
        std::vector<std::string> inputs, outputs;
        for (const Request& r : requests) {
            const auto same = [&](const Request& o) { return o.key() == r.key(); };
            if (cache_.count(r.key()) || std::any_of(todo.begin(), todo.end(), same)) continue;
            const std::string file = work_ + "es" + std::to_string(files_.size());
            todo.push_back(r);
            files_.push_back(file);
            if (r.video()) {
                inputs.insert(inputs.end(), {"-f", "lavfi", "-i", videoSource(r)});
            } else {
                Bytes pcm;
                for (int32_t v : beepSamples(r.frames * Ac3Samples, r.channels, r.marks, false))
                    pcm.insert(pcm.end(), {uint8_t(v >> 16), uint8_t(v >> 24)});
                writeFile(file + ".raw", pcm);
                inputs.insert(inputs.end(), {"-f", "s16le", "-ar", "48000", "-ac",
                                             std::to_string(r.channels), "-i", file + ".raw"});
            }
            const std::string in = std::to_string(todo.size() - 1) + ":0";
            const bool plus = r.codec == Codec::Eac3;
            if (r.codec == Codec::H264)
                outputs.insert(
                    outputs.end(),
                    {"-map", in, "-frames:v", std::to_string(r.frames), "-c:v", "libx264",
                     "-preset", "ultrafast", "-x264-params",
                     "bframes=0:keyint=12:min-keyint=12:scenecut=0:aud=1:repeat-headers=1",
                     "-bsf:v", "h264_mp4toannexb", "-f", "h264", file});
            else if (r.codec == Codec::Mpeg2)
                outputs.insert(outputs.end(), {"-map", in, "-frames:v", std::to_string(r.frames),
                                               "-c:v", "mpeg2video", "-bf", "2", "-g", "12",
                                               "-flags", "+cgop", "-sc_threshold", "1000000000",
                                               "-q:v", "4", "-f", "mpeg2video", file});
            else
                outputs.insert(outputs.end(), {"-map", in, "-c:a", plus ? "eac3" : "ac3", "-b:a",
                                               r.channels > 2 ? "448k" : "192k", "-f",
                                               plus ? "eac3" : "ac3", file});
        }
        if (todo.empty()) return;
        inputs.insert(inputs.end(), outputs.begin(), outputs.end());
        ffmpeg(inputs);
        std::vector<Probe> probes;
        const size_t first = files_.size() - todo.size();
        for (size_t k = 0; k < todo.size(); ++k) {
            Elementary& es = cache_[todo[k].key()];
            es.data = readFile(files_[first + k]);
            if (todo[k].video()) {
                (todo[k].codec == Codec::Mpeg2 ? mpeg2Units : h264Units)(es, todo[k].fps);
                if (int(es.units.size()) != todo[k].frames)
                    throw std::runtime_error("video frames");
                es.seconds = todo[k].frames / todo[k].fps;
                continue;
            }
            size_t at = 0;
            for (; int(es.units.size()) < todo[k].frames;
                 at += dolbyFrameSize(es.data, at, todo[k].codec == Codec::Eac3)) {
                const int64_t pts = int64_t(es.units.size()) * Ac3Samples * Hz / SampleRate;
                es.units.push_back({at, pts, pts, true});
            }
            es.data.resize(at);
            writeFile(files_[first + k], es.data);
            es.seconds = double(todo[k].frames) * Ac3Samples / SampleRate;
            probes.push_back({files_[first + k], 0, todo[k].channels});
        }
        const std::vector<Measure> measured = measure(probes, work_);
        for (size_t k = 0, p = 0; k < todo.size(); ++k) {
            if (todo[k].video()) continue;
            cache_[todo[k].key()].onsets = measured[p++].marks;
            if (cache_[todo[k].key()].onsets.size() != todo[k].marks.size())
                throw std::runtime_error("beeps not found in " + todo[k].key());
        }
    }

    const Elementary& operator[](const Request& r) const { return cache_.at(r.key()); }

private:
    static std::string videoSource(const Request& r) {
        std::string source = std::string("color=c=0x181818:s=") +
                             (r.codec == Codec::Mpeg2 ? "352x288" : "320x240") +
                             ":r=" + (r.fps == 25 ? "25" : "24000/1001") +
                             ":d=" + std::to_string((r.frames + 1) / r.fps) + ",format=yuv420p";
        std::string when;
        for (double m : r.marks)
            when += (when.empty() ? "" : "+") + std::string("eq(n\\,") +
                    std::to_string(std::lround(m * r.fps)) + ")";
        if (!when.empty()) source += ",drawbox=w=iw:h=ih:color=white:t=fill:enable='" + when + "'";
        return source;
    }

    std::string work_;
    std::map<std::string, Elementary> cache_;
    std::vector<std::string> files_;
};

StreamMaker& maker() {
    static StreamMaker m;
    return m;
}

// A PES packet, ordered in its clip by its decoding time.
struct Packet {
    int64_t time; // after the clip's first video PTS
    bool vobuStart;
    bool picture; // a video packet in which a picture starts
    Bytes bytes;
};

// Cuts a stream into PES packets of one pack each, as discs carry them: a
// video picture or a subpicture unit starts a packet, LPCM packets hold
// whole frames, Dolby Digital frames run on across packets. A packet in
// which a unit starts has that unit's PTS; the sub-stream header counts the
// frames that start in it and points at the first.
void packetize(std::vector<Packet>& out, const Track& track, const Elementary& es, int64_t firstPts,
               int64_t offset) {
    const bool video = track.codec == Codec::H264 || track.codec == Codec::Mpeg2;
    const bool pcm = track.codec == Codec::Lpcm16 || track.codec == Codec::Lpcm24;
    const bool dolby = track.codec == Codec::Ac3 || track.codec == Codec::Eac3;
    const int headerSize = video ? 0 : track.codec == Codec::Subpicture ? 1 : pcm ? 7 : 4;
    const size_t frameBytes = pcm && es.units.size() > 1 ? es.units[1].at : 1;
    const std::vector<Unit>& units = es.units;
    size_t at = 0, next = 0;
    int64_t time = offset;
    while (at < es.data.size()) {
        const bool starts = next < units.size() && units[next].at == at;
        PesHeader h;
        if (starts || dolby) h.pts = 0;
        if (starts && (units[next].dts != units[next].pts || track.codec == Codec::H264)) h.dts = 0;
        const size_t room = size_t(PackWriter::payloadRoom(h, headerSize));
        size_t take = std::min(es.data.size() - at, room);
        if (pcm) {
            take = std::min(take, room / frameBytes * frameBytes);
        } else if (!dolby) {
            const size_t end = next + (starts ? 1 : 0);
            take = std::min(take, (end < units.size() ? units[end].at : es.data.size()) - at);
        }
        size_t count = 0;
        while (next + count < units.size() && units[next + count].at < at + take)
            ++count;
        Bytes payload;
        if (count == 0) {
            h.pts.reset();
            h.stuffing = dolby ? 5 : 0;
        } else {
            h.pts = wrapped(firstPts + units[next].pts);
            if (h.dts) h.dts = wrapped(firstPts + units[next].dts);
            time = offset + units[next].dts;
        }
        const size_t left = room - take;
        if (left > 0 && left < 6) h.stuffing += int(left);
        // Dolby Digital's first access unit pointer counts from the
        // pointer's last byte; LPCM's frames start right after its header.
        const size_t pointer = count ? units[next].at - at + 1 : 0;
        if (!video) payload.push_back(track.id);
        if (dolby)
            payload.insert(payload.end(),
                           {uint8_t(count), uint8_t(pointer >> 8), uint8_t(pointer)});
        if (pcm)
            payload.insert(payload.end(), {uint8_t(count), 0x00, 0x04, uint8_t(next % 20),
                                           uint8_t((track.codec == Codec::Lpcm24 ? 0x80 : 0x00) |
                                                   (track.channels - 1)),
                                           0x80});
        payload.insert(payload.end(), es.data.begin() + long(at),
                       es.data.begin() + long(at + take));
        out.push_back({time, video && starts && units[next].key, video && starts,
                       pesPacket(video ? track.id : 0xBD, h, payload)});
        next += count;
        at += take;
    }
}

class DiscWriter {
public:
    DiscWriter(const DiscCase& c, const std::string& folder) : c_(c), folder_(folder) {
        built_.marks.resize(c.tracks.size());
        built_.holes.resize(c.tracks.size());
        spans_.resize(c.tracks.size());
    }

    BuiltDisc build() {
        encode();
        if (c_.dvd()) return buildDvd();
        const std::string videoFolder = folder_ + "/" + named("HVDVD_TS");
        fs::create_directories(videoFolder);
        std::string titles;
        if (!c_.otherTitle.empty()) titles += writeTitle(1, c_.otherTitle, videoFolder, false);
        const int number = c_.otherTitle.empty() ? 1 : 2;
        titles += writeTitle(number, c_.clips, videoFolder, true);
        if (c_.playlist) {
            fs::create_directories(folder_ + "/" + named("ADV_OBJ"));
            std::ofstream(folder_ + "/" + named("ADV_OBJ") + "/" + named("VPLST000.XPL"))
                << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<Playlist majorVersion=\"1\" minorVersion=\"0\" "
                   "xmlns=\"http://www.dvdforum.org/2005/HDDVDVideo/Playlist\">\n"
                   "  <TitleSet timeBase=\"60fps\" tickBase=\"24fps\" defaultLanguage=\"en\">\n"
                << titles << "  </TitleSet>\n</Playlist>\n";
            built_.arguments = {folder_};
            if (number == 2) built_.arguments.insert(built_.arguments.end(), {"--title", "2"});
        } else {
            built_.arguments = {videoFolder + "/" + named(c_.clips[0].file)};
        }
        return finish();
    }

private:
    std::string named(const std::string& name) const {
        std::string n = name;
        if (c_.lowerCase)
            for (char& ch : n)
                ch = char(std::tolower(static_cast<unsigned char>(ch)));
        return n;
    }

    // One title's clips into the video folder, and its text in the playlist.
    std::string writeTitle(int number, const std::vector<DiscClip>& clips,
                           const std::string& videoFolder, bool measured) {
        std::string text;
        double begin = 0;
        for (const DiscClip& clip : clips) {
            const double length = clipSeconds(clip);
            if (c_.playlist && std::abs(length * 60 - std::round(length * 60)) > 1e-6)
                throw std::logic_error("a clip that does not end on a 1/60 s tick");
            const bool absent =
                std::find(c_.absent.begin(), c_.absent.end(), clip.file) != c_.absent.end();
            if (!absent)
                writeFile(videoFolder + "/" + named(clip.file), clipBytes(clip, begin, measured));
            text += "      <PrimaryAudioVideoClip titleTimeBegin=\"" + titleTime(begin) +
                    "\" titleTimeEnd=\"" + titleTime(begin + length) +
                    "\" src=\"file:///dvddisc/HVDVD_TS/" +
                    clip.file.substr(0, clip.file.rfind('.')) + ".MAP\" dataSource=\"Disc\">\n" +
                    "        <Video track=\"1\"/>\n";
            for (const ClipStream& s : clip.streams) {
                const Track& t = c_.tracks[size_t(s.track)];
                if (isAudio(t.codec))
                    text += "        <Audio track=\"" + std::to_string(s.track) +
                            "\" streamNumber=\"" + std::to_string((t.id & 0x07) + 1) +
                            "\" description=\"Track " + std::to_string(s.track) + "\"/>\n";
                else if (t.codec == Codec::Subpicture)
                    text += "        <Subtitle track=\"1\" streamNumber=\"" +
                            std::to_string((t.id & 0x1F) + 1) + "\" description=\"Subtitles\"/>\n";
            }
            text += "      </PrimaryAudioVideoClip>\n";
            begin += length;
        }
        if (measured) built_.seconds = begin;
        return "    <Title titleNumber=\"" + std::to_string(number) + "\" titleDuration=\"" +
               titleTime(begin) + "\" id=\"t" + std::to_string(number) + "\" displayName=\"" +
               c_.name + "-" + std::to_string(number) + "\" onEnd=\"t" + std::to_string(number) +
               "\">\n" + text +
               "      <ChapterList>\n        <Chapter displayName=\"Start\" "
               "titleTimeBegin=\"00:00:00:00\"/>\n      </ChapterList>\n    </Title>\n";
    }

    // A playlist time: hours, minutes, seconds and frames of 1/60 s.
    static std::string titleTime(double seconds) {
        const long frames = std::lround(seconds * 60);
        char text[48];
        std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld:%02ld", frames / 216000,
                      frames / 3600 % 60, frames / 60 % 60, frames % 60);
        return text;
    }

    Request request(const ClipStream& s) const {
        const Track& t = c_.tracks[size_t(s.track)];
        const double perSecond = s.track == 0 ? c_.fps : double(SampleRate) / Ac3Samples;
        return {t.codec, t.channels, int(std::lround(s.length * perSecond)), c_.fps, s.marks};
    }

    // Everything ffmpeg encodes for the disc, in one run.
    void encode() {
        std::vector<Request> requests;
        for (const auto* clips : {&c_.clips, &c_.otherTitle})
            for (const DiscClip& clip : *clips)
                for (const ClipStream& s : clip.streams)
                    if (request(s).video() || c_.tracks[size_t(s.track)].codec == Codec::Ac3 ||
                        c_.tracks[size_t(s.track)].codec == Codec::Eac3)
                        requests.push_back(request(s));
        maker().make(requests);
    }

    int frames(const ClipStream& video) const { return int(std::lround(video.length * c_.fps)); }
    double clipSeconds(const DiscClip& clip) const { return frames(clip.streams[0]) / c_.fps; }

    BuiltDisc buildDvd() {
        const std::string videoFolder = folder_ + "/VIDEO_TS";
        fs::create_directories(videoFolder);
        const Bytes vob = clipBytes(c_.clips[0], 0, true);
        built_.seconds = clipSeconds(c_.clips[0]);
        const size_t cut = c_.cutInPicture
                               ? pictureOffsets_.at(size_t(c_.cutInPicture)) + c_.cutBytes
                               : vob.size();
        writeFile(videoFolder + "/VTS_01_1.VOB", Bytes(vob.begin(), vob.begin() + long(cut)));
        if (cut < vob.size())
            writeFile(videoFolder + "/VTS_01_2.VOB", Bytes(vob.begin() + long(cut), vob.end()));
        built_.arguments = {videoFolder + "/VTS_01_1.VOB"};
        return finish();
    }

    // A clip's EVO or VOB; the marks of a measured title go on the title's
    // timeline from `begin` on.
    Bytes clipBytes(const DiscClip& clip, double begin, bool measured) {
        std::vector<Packet> packets;
        NavigationPackInfo nav;
        nav.audioBound = 0;
        nav.firstPtm = uint32_t(clip.firstPts);
        nav.lastPtm = uint32_t(clip.firstPts + uint64_t(ticks(clipSeconds(clip))));
        for (const ClipStream& s : clip.streams) {
            const Track& t = c_.tracks[size_t(s.track)];
            const int64_t offset = ticks(s.start);
            Elementary own;
            const Elementary* es = &own;
            switch (t.codec) {
            case Codec::H264:
            case Codec::Mpeg2:
            case Codec::Ac3:
            case Codec::Eac3: es = &maker()[request(s)]; break;
            case Codec::Lpcm16:
            case Codec::Lpcm24:
                own = lpcm(t.codec == Codec::Lpcm24 ? 24 : 16, t.channels, s.length, s.marks);
                break;
            case Codec::Subpicture:
                for (double m : s.marks) {
                    own.units.push_back({own.data.size(), ticks(m), ticks(m), true});
                    const Bytes unit = subpictureUnit(s.length);
                    own.data.insert(own.data.end(), unit.begin(), unit.end());
                    own.onsets.push_back(double(ticks(m)) / double(Hz));
                }
                nav.subpictureEntries.push_back(0x80000000);
                break;
            }
            if (isAudio(t.codec)) {
                ++nav.audioBound;
                nav.audioEntries.push_back(0x8000);
            }
            packetize(packets, t, *es, int64_t(clip.firstPts) + offset, offset);
            if (!measured) continue;
            const double from = begin + double(offset) / double(Hz);
            for (size_t k = 0; k < s.marks.size(); ++k)
                built_.marks[size_t(s.track)].push_back(
                    t.codec == Codec::H264 || t.codec == Codec::Mpeg2
                        ? begin + std::lround(s.marks[k] * c_.fps) / c_.fps
                        : from + es->onsets[k]);
            spans_[size_t(s.track)].emplace_back(from, from + es->seconds);
        }
        std::stable_sort(packets.begin(), packets.end(),
                         [](const Packet& a, const Packet& b) { return a.time < b.time; });
        PackWriter writer(c_.dvd() ? MuxRate::Dvd : MuxRate::HdDvd);
        writer.navigation(nav);
        bool first = true;
        for (const Packet& p : packets) {
            if (p.vobuStart && !std::exchange(first, false)) writer.navigation(nav);
            if (p.picture) pictureOffsets_.push_back(writer.bytes().size());
            writer.pack(p.bytes);
        }
        return writer.bytes();
    }

    BuiltDisc finish() {
        for (size_t t = 0; t < spans_.size(); ++t)
            for (size_t k = 1; k < spans_[t].size(); ++k)
                built_.holes[t] =
                    std::max(built_.holes[t], spans_[t][k].first - spans_[t][k - 1].second);
        return built_;
    }

    const DiscCase& c_;
    std::string folder_;
    BuiltDisc built_;
    std::vector<std::vector<std::pair<double, double>>> spans_;
    std::vector<size_t> pictureOffsets_;
};

} // namespace

double lpcmChannelLevel(int channel) {
    return 0.3 + 0.05 * channel;
}

BuiltDisc buildDisc(const DiscCase& c, const std::string& folder) {
    return DiscWriter(c, folder).build();
}

std::vector<Measure> measure(const std::vector<Probe>& probes, const std::string& work) {
    std::vector<std::string> inputs = {"-copyts"}, outputs, files;
    for (size_t k = 0; k < probes.size(); ++k) {
        const Probe& p = probes[k];
        auto known = std::find(files.begin(), files.end(), p.file);
        if (known == files.end()) {
            inputs.insert(inputs.end(), {"-i", p.file});
            known = files.insert(files.end(), p.file);
        }
        const std::string base = work + "/measure" + std::to_string(k);
        outputs.insert(outputs.end(), {"-map", std::to_string(known - files.begin()) + ":" +
                                                   std::to_string(p.stream)});
        if (p.channels == 0)
            outputs.insert(
                outputs.end(),
                {"-vf",
                 "signalstats,metadata=mode=print:key=lavfi.signalstats.YAVG:file=" + base + ".txt",
                 "-f", "null", "/dev/null"});
        else
            outputs.insert(
                outputs.end(),
                {"-af",
                 "astats=metadata=1:reset=1:measure_perchannel=none:measure_overall=Number_"
                 "of_samples,ametadata=mode=print:key=lavfi.astats.Overall.Number_of_"
                 "samples:file=" +
                     base + ".txt",
                 "-c:a", "pcm_s32le", "-f", "s32le", base + ".pcm"});
    }
    inputs.insert(inputs.end(), outputs.begin(), outputs.end());
    if (!probes.empty()) ffmpeg(inputs);
    std::vector<Measure> measured;
    for (size_t k = 0; k < probes.size(); ++k) {
        const std::string base = work + "/measure" + std::to_string(k);
        const auto frames = metadataLines(base + ".txt");
        Measure& m = measured.emplace_back();
        if (probes[k].channels == 0) { // a flash: a bright picture after a dark one
            double previous = 0;
            for (const auto& [time, luma] : frames) {
                if (luma > 128 && previous <= 128) m.marks.push_back(time);
                previous = luma;
            }
            continue;
        }
        const Bytes bytes = readFile(base + ".pcm");
        const size_t channels = size_t(probes[k].channels);
        size_t sample = 0;
        long quiet = SampleRate; // samples since the last loud one
        for (size_t f = 0; f < frames.size(); ++f) {
            const auto [time, count] = frames[f];
            m.frameSeconds = std::max(m.frameSeconds, count / SampleRate);
            if (f + 1 < frames.size())
                m.longestHole =
                    std::max(m.longestHole, frames[f + 1].first - time - count / SampleRate);
            for (long n = 0; n < long(count) && (sample + 1) * channels * 4 <= bytes.size();
                 ++n, ++sample) {
                const double at = time + double(n) / SampleRate;
                bool loud = false;
                for (size_t c = 0; c < channels; ++c) {
                    const uint8_t* b = &bytes[(sample * channels + c) * 4];
                    const double level =
                        std::abs(double(int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 |
                                                uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24))) /
                        2147483648.0;
                    loud = loud || level >= BeepThreshold;
                    if (m.marks.size() == 1 && at < m.marks[0] + BeepSeconds / 2)
                        m.peaks[c] = std::max(m.peaks[c], level);
                }
                if (loud && quiet >= SampleRate / 100) { // a beep starts after 10 ms of silence
                    m.marks.push_back(at);
                    if (m.marks.size() == 1) m.peaks.assign(channels, 0.0);
                }
                quiet = loud ? 0 : quiet + 1;
            }
        }
    }
    return measured;
}

std::vector<double> packetTimes(const std::string& file, int stream) {
    std::istringstream lines(ffmpeg({"-select_streams", std::to_string(stream), "-show_entries",
                                     "packet=pts_time", "-of", "csv=p=0", file},
                                    "ffprobe"));
    std::vector<double> times;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line != "N/A") times.push_back(std::stod(line));
    return times;
}

} // namespace tarnwick::testing
