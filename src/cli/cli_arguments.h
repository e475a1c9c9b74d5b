#pragma once
// The command line of tarnwick-cli.

#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "model/stream_selection.h"

#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

struct CliArguments {
    std::string command; // read, demux, rebuild, xpl, mkv, titles, help, version
    std::string input;   // SOURCE, or PLAYLIST for xpl
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
    std::string color = "auto";          // auto, always, never
    int title = 0;                       // read, xpl, mkv: the playlist title picked, 0 for none
    bool json = false;                   // read, titles, mkv: one JSON document on standard output
    std::optional<std::string> playlist; // read --json, mkv: the playlist naming the streams
    bool keepStreams = false;            // mkv: keep the demuxed streams
    std::string mkvmerge = "mkvmerge";   // mkv: the muxer program
    std::string name;                    // mkv: the MKV's file name without ".mkv"
    bool overwrite = false;              // mkv: replace an MKV of the same name
};

// Parses argv; on a usage error returns the message in `error`. Options take
// their value as the next argument or after "=" ("--output=DIR").
CliArguments parseCliArguments(const std::vector<std::string>& args, std::string& error);

// The scan's options as the arguments give them.
ScanOptions scanOptions(const CliArguments& args);
// The output folder and extensions.
OutputNaming outputNaming(const CliArguments& args);

// A stream the scan found, as the command line names it: its slot name
// ("v0", "a03", "s12") and its caption ("DD+.stream.03").
struct NamedStream {
    StreamKind kind;
    int slot;
    std::string name;
    std::string caption;
};
// The streams found, in slot order: video, audio, subpicture.
std::vector<NamedStream> foundStreams(const ScanReport& scan);

// The items of a --streams list, blanks around each item removed.
std::vector<std::string> streamItems(const std::string& list);

// An item that cannot name any stream slot nor caption ("a16", "x1"), checked
// before the scan; "" when the list may name streams.
std::string checkStreamItems(const std::string& list);

// Selects exactly the streams named by a comma-separated list of slot names
// or captions; returns an error message for an item that names no stream
// found, and leaves the selection as it was then.
std::string selectStreams(const std::string& list, const std::vector<NamedStream>& found,
                          SelectionSet& selection);

// "v0\tMPEG-2.stream.0" lines of the selected streams.
std::vector<std::string> selectedStreamLines(const std::vector<NamedStream>& found,
                                             const SelectionSet& selection);

extern const char* const CliUsage;

} // namespace tarnwick
