#include "support/shared_samples.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace tarnwick::testing {

namespace {

namespace fs = std::filesystem;

// The ffmpeg arguments that made the shared DVD samples: lavfi test sources
// through the MPEG-2 and AC-3 (and DVD LPCM) encoders into the "vob" muxer.
std::string dvdRecipe(const std::string& name) {
    if (name == "dvd_mpeg2_ac3.vob")
        return "-f lavfi -i testsrc2=size=720x576:rate=25 "
               "-f lavfi -i sine=frequency=440:sample_rate=48000 -t 4 -map 0:v -map 1:a "
               "-c:v mpeg2video -b:v 3M -g 12 -bf 2 -threads 1 -c:a ac3 -b:a 192k -ac 2";
    if (name == "dvd_ntsc_lpcm_ac3.vob")
        return "-f lavfi -i testsrc2=size=720x480:rate=30000/1001 "
               "-f lavfi -i sine=frequency=1000:sample_rate=48000 "
               "-f lavfi -i sine=frequency=300:sample_rate=48000 -t 3 -map 0:v -map 1:a "
               "-map 2:a -c:v mpeg2video -b:v 4M -g 15 -threads 1 -c:a:0 pcm_dvd -ac:a:0 2 "
               "-c:a:1 ac3 -b:a:1 384k -ac:a:1 6";
    return "";
}

bool ffmpegAvailable() {
    return std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
}

} // namespace

std::string sharedSamplePath(const std::string& name) {
    return std::string(TARNWICK_SHARED_SAMPLES) + "/" + name;
}

std::string missingSharedSample(const std::string& name) {
    const std::string path = sharedSamplePath(name);
    std::error_code error;
    if (fs::is_regular_file(path, error)) return "";
    return "the third-party sample ../shared/samples/" + name +
           " is not beside this source tree (" + path + ")";
}

SampleFile dvdSample(const std::string& name) {
    if (missingSharedSample(name).empty()) return {sharedSamplePath(name), ""};
    const std::string recipe = dvdRecipe(name);
    if (recipe.empty()) return {"", "no recipe for the DVD sample " + name};
    const fs::path made = fs::path(TARNWICK_TEST_CACHE) / name;
    std::error_code error;
    if (fs::is_regular_file(made, error)) return {made.string(), ""};
    if (!ffmpegAvailable())
        return {"",
                missingSharedSample(name) + ", and ffmpeg, which would make it, is not installed"};
    // Test programs run side by side: each writes a file of its own and
    // renames it into place, so no one reads a half-written sample.
    fs::create_directories(made.parent_path(), error);
    const std::string part = made.string() + ".part" + std::to_string(getpid());
    const std::string command = "ffmpeg -v error -nostdin -y " + recipe + " -bitexact -f vob '" +
                                part + "' </dev/null >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        fs::remove(part, error);
        return {"",
                "ffmpeg could not make " + made.string() + ", and " + missingSharedSample(name)};
    }
    fs::rename(part, made, error);
    if (error) return {"", "could not keep " + made.string() + ": " + error.message()};
    return {made.string(), ""};
}

} // namespace tarnwick::testing
