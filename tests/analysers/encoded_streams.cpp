#include "encoded_streams.h"

#include "support/run_program.h"

#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <unistd.h>

namespace tarnwick::testing {

namespace {

namespace fs = std::filesystem;

// Encodes once per set of arguments: an existing file of the same name is
// reused, and a new one appears only complete (written aside, then renamed).
const Bytes& encode(const std::string& name, const std::vector<std::string>& args) {
    static std::map<std::string, Bytes> cache;
    std::string key;
    for (const std::string& a : args)
        key += a + " ";
    if (auto hit = cache.find(key); hit != cache.end()) return hit->second;

    const fs::path folder = fs::temp_directory_path() / "tarnwick-tests" / "encoded";
    fs::create_directories(folder);
    const fs::path target =
        folder / (name + "-" + std::to_string(std::hash<std::string>{}(key) % 1000000007));
    if (!fs::exists(target) || fs::file_size(target) == 0) {
        const fs::path aside = target.string() + ".part" + std::to_string(getpid());
        std::vector<std::string> command = {"ffmpeg", "-nostdin", "-v", "error", "-y"};
        command.insert(command.end(), args.begin(), args.end());
        command.push_back(aside.string());
        const ProgramResult r = runProgram("/usr/bin/env", command);
        if (r.exitCode != 0 || !fs::exists(aside))
            throw std::runtime_error("ffmpeg failed for " + name + ": " + r.err);
        fs::rename(aside, target);
    }
    return cache[key] = readFile(target.string());
}

const std::vector<std::string> Sine = {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000",
                                       "-t", "1"};

std::vector<std::string> audio(std::initializer_list<std::string> rest) {
    std::vector<std::string> args = Sine;
    args.insert(args.end(), rest);
    return args;
}

} // namespace

const Bytes& mpeg2Stream() {
    return encode("mpeg2.m2v", {"-f",        "lavfi", "-i",        "testsrc2=size=720x576:rate=25",
                                "-t",        "1",     "-c:v",      "mpeg2video",
                                "-b:v",      "4M",    "-maxrate",  "6M",
                                "-bufsize",  "1835k", "-g",        "12",
                                "-aspect",   "16:9",  "-threads",  "1",
                                "-bitexact", "-f",    "mpeg2video"});
}

const Bytes& h264Stream() {
    return encode("h264.264", {"-f",           "lavfi",
                               "-i",           "testsrc2=size=1920x1080:rate=24000/1001",
                               "-t",           "1",
                               "-c:v",         "libx264",
                               "-preset",      "ultrafast",
                               "-profile:v",   "high",
                               "-level",       "4.1",
                               "-aspect",      "16:9",
                               "-x264-params", "aud=1:8x8dct=1",
                               "-threads",     "1",
                               "-bitexact",    "-f",
                               "h264"});
}

const Bytes& ac3Stream() {
    return encode("ac3.ac3", audio({"-ac", "6", "-c:a", "ac3", "-b:a", "384k", "-f", "ac3"}));
}

const Bytes& eac3Stream() {
    return encode("eac3.eac3", audio({"-ac", "2", "-c:a", "eac3", "-b:a", "192k", "-f", "eac3"}));
}

const Bytes& dtsStream() {
    return encode("dts.dts", audio({"-ac", "6", "-c:a", "dca", "-strict", "-2", "-b:a", "1536k",
                                    "-f", "dts"}));
}

const Bytes& trueHdStream() {
    return encode("truehd.thd",
                  audio({"-ac", "6", "-c:a", "truehd", "-strict", "-2", "-f", "truehd"}));
}

const Bytes& mlpStream() {
    return encode("mlp.mlp", audio({"-ac", "2", "-c:a", "mlp", "-strict", "-2", "-f", "mlp"}));
}

const Bytes& pcm16Stream() {
    return encode("pcm16.pcm", audio({"-ac", "2", "-f", "s16be"}));
}

const Bytes& pcm24Stream() {
    return encode("pcm24.pcm", audio({"-ac", "2", "-ar", "96000", "-f", "s24be"}));
}

} // namespace tarnwick::testing
