#pragma once
// The command line of tarnwick-cli.

#include "app/window_state.h"

#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

struct CliArguments {
    std::string command; // read, demux, rebuild, xpl, mkv, titles, help, version
    std::string input;   // SOURCE, PLAYLIST for xpl, DISC for titles
    std::string xplSource;
    bool chapters = false;
    std::optional<std::string> output;
    std::optional<std::string> streams;
    bool noContinue = false;
    std::optional<std::string> fastCheck;
    bool noFastCheck = false;
    bool noCountFrames = false;
    bool noDetails = false;
    bool adv = false;
    std::optional<std::string> videoExt, audioExt, subExt;
    bool markup = false;
    bool quiet = false;
    bool json = false;                   // read: the report as JSON on standard output
    std::optional<std::string> playlist; // read --json, mkv: the playlist naming the streams
    std::optional<int> title;            // mkv: the playlist title's titleNumber
    bool keepStreams = false;            // mkv: keep the demuxed streams
    std::string mkvmerge = "mkvmerge";   // mkv: the muxer program
};

// Parses argv; on a usage error returns the message in `error`.
CliArguments parseCliArguments(const std::vector<std::string>& args, std::string& error);

// Puts the arguments into the window's options.
void applyOptions(const CliArguments& args, Options& options);

// Box name of a slot: "v0", "a03", "s12".
std::string boxName(char page, int slot);

// Leaves ticked exactly the boxes named by a comma-separated list of box
// names or captions; returns an error message for an item that names no
// stream found.
std::string selectStreams(const std::string& list, StreamBoxes& boxes);

// "v0\tMPEG-2.stream.0" lines of the ticked boxes.
std::vector<std::string> tickedStreamLines(const StreamBoxes& boxes);

extern const char* const CliUsage;

} // namespace tarnwick
