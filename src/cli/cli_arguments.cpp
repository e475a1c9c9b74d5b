#include "cli/cli_arguments.h"

#include <cctype>
#include <cstdio>

namespace tarnwick {

const char* const CliUsage =
    "Usage:\n"
    "  tarnwick-cli read    SOURCE   [--json [--playlist XPL]] [options]\n"
    "  tarnwick-cli demux   SOURCE   [options]\n"
    "  tarnwick-cli rebuild SOURCE   [options]\n"
    "  tarnwick-cli xpl     PLAYLIST [--source SOURCE] [--chapters] [options]\n"
    "  tarnwick-cli mkv     SOURCE|DISC [--title N] [--playlist XPL] [--keep-streams] [options]\n"
    "  tarnwick-cli titles  DISC\n"
    "  tarnwick-cli --help | --version\n"
    "\n"
    "Options:\n"
    "  -o, --output DIR       output folder (default: the current folder)\n"
    "  --streams LIST         streams to keep ticked: box names (v0, a03, s12) or captions\n"
    "  --no-continue          do not continue with the feature's second file\n"
    "  --fast-check MB        check only the first MB mebibytes (default 300)\n"
    "  --no-fast-check        read the whole file\n"
    "  --no-count-frames      do not count frames\n"
    "  --no-details           no detailed stream information\n"
    "  --adv                  keep the advanced packs in Rebuild\n"
    "  --video-ext EXT, --audio-ext EXT, --sub-ext EXT   output extensions\n"
    "  --json                 read: print the report as one JSON document\n"
    "  --playlist XPL         read --json, mkv: the playlist that names the streams\n"
    "  --title N              mkv: the playlist title to mux (default: the longest)\n"
    "  --keep-streams         mkv: keep the demuxed streams in their work folder\n"
    "  --mkvmerge PROGRAM     mkv: the mkvmerge to run (default: mkvmerge from PATH)\n"
    "  --markup               print log lines with their markup\n"
    "  -q, --quiet            no progress line\n";

CliArguments parseCliArguments(const std::vector<std::string>& args, std::string& error) {
    CliArguments a;
    std::vector<std::string> positional;
    auto value = [&](size_t& k, const std::string& name) -> std::optional<std::string> {
        if (k + 1 >= args.size()) {
            error = "option " + name + " needs an argument";
            return std::nullopt;
        }
        return args[++k];
    };
    for (size_t k = 0; k < args.size() && error.empty(); ++k) {
        const std::string& arg = args[k];
        if (arg == "--help" || arg == "-h") {
            a.command = "help";
            return a;
        } else if (arg == "--version") {
            a.command = "version";
            return a;
        } else if (arg == "-o" || arg == "--output") {
            a.output = value(k, arg);
        } else if (arg == "--streams") {
            a.streams = value(k, arg);
        } else if (arg == "--source") {
            if (auto v = value(k, arg)) a.xplSource = *v;
        } else if (arg == "--chapters") {
            a.chapters = true;
        } else if (arg == "--no-continue") {
            a.noContinue = true;
        } else if (arg == "--fast-check") {
            a.fastCheck = value(k, arg);
            if (a.fastCheck && (a.fastCheck->empty() || a.fastCheck->size() > 3 ||
                                a.fastCheck->find_first_not_of("0123456789") != std::string::npos))
                error = "--fast-check takes a number of at most 3 digits";
        } else if (arg == "--no-fast-check") {
            a.noFastCheck = true;
        } else if (arg == "--no-count-frames") {
            a.noCountFrames = true;
        } else if (arg == "--no-details") {
            a.noDetails = true;
        } else if (arg == "--adv") {
            a.adv = true;
        } else if (arg == "--video-ext") {
            a.videoExt = value(k, arg);
        } else if (arg == "--audio-ext") {
            a.audioExt = value(k, arg);
        } else if (arg == "--sub-ext") {
            a.subExt = value(k, arg);
        } else if (arg == "--json") {
            a.json = true;
        } else if (arg == "--playlist") {
            a.playlist = value(k, arg);
        } else if (arg == "--title") {
            const auto v = value(k, arg);
            if (v && !v->empty() && v->size() <= 9 &&
                v->find_first_not_of("0123456789") == std::string::npos)
                a.title = std::stoi(*v);
            else if (v)
                error = "--title takes a title number";
        } else if (arg == "--keep-streams") {
            a.keepStreams = true;
        } else if (arg == "--mkvmerge") {
            if (auto v = value(k, arg)) a.mkvmerge = *v;
        } else if (arg == "--markup") {
            a.markup = true;
        } else if (arg == "-q" || arg == "--quiet") {
            a.quiet = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
        } else {
            positional.push_back(arg);
        }
    }
    if (!error.empty()) return a;
    for (const auto* ext : {&a.videoExt, &a.audioExt, &a.subExt})
        if (*ext && ext->value().size() > 5) error = "an extension holds at most 5 characters";
    if (positional.empty()) {
        if (error.empty()) error = "missing command";
        return a;
    }
    a.command = positional[0];
    if (a.command != "read" && a.command != "demux" && a.command != "rebuild" &&
        a.command != "xpl" && a.command != "mkv" && a.command != "titles") {
        error = "unknown command " + a.command;
    } else if (positional.size() < 2) {
        error = "missing " + std::string(a.command == "xpl"      ? "PLAYLIST"
                                         : a.command == "titles" ? "DISC"
                                                                 : "SOURCE");
    } else if (positional.size() > 2) {
        error = "unexpected argument " + positional[2];
    } else {
        a.input = positional[1];
    }
    if (error.empty() && a.json && a.command != "read") error = "--json belongs to read";
    if (error.empty() && a.playlist && !a.json && a.command != "mkv")
        error = "--playlist needs --json or mkv";
    if (error.empty() && (a.title || a.keepStreams) && a.command != "mkv")
        error = std::string(a.title ? "--title" : "--keep-streams") + " belongs to mkv";
    return a;
}

void applyOptions(const CliArguments& a, Options& o) {
    if (a.output) o.eWorkdir = *a.output;
    if (a.noContinue) o.cbContinue = false;
    if (a.fastCheck) {
        o.cbFastCheck = true;
        o.ieFastSize = *a.fastCheck;
    }
    if (a.noFastCheck) o.cbFastCheck = false;
    if (a.noCountFrames) o.cbCountFr = false;
    if (a.noDetails) o.cbDetails = false;
    if (a.adv) o.cbRBAdvanced = true;
    if (a.videoExt) o.eVideoExt = *a.videoExt;
    if (a.audioExt) o.eAudioExt = *a.audioExt;
    if (a.subExt) o.eSubExt = *a.subExt;
    selectAutoStep(o, AutoStep::None);
}

std::string boxName(char page, int slot) {
    char text[8];
    if (page == 'v')
        std::snprintf(text, sizeof text, "v%d", slot);
    else
        std::snprintf(text, sizeof text, "%c%02d", page, slot);
    return text;
}

namespace {

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

template <typename Visit> void forEachBox(StreamBoxes& boxes, Visit visit) {
    for (int k = 0; k < 8; ++k)
        visit(boxName('v', k), boxes.cbVideo[k]);
    for (int k = 0; k < 16; ++k)
        visit(boxName('a', k), boxes.cbAudio[k]);
    for (int k = 0; k < 32; ++k)
        visit(boxName('s', k), boxes.cbSub[k]);
}

} // namespace

std::string selectStreams(const std::string& list, StreamBoxes& boxes) {
    std::vector<std::string> items;
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? comma : comma - start);
        if (!item.empty()) items.push_back(item);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    std::vector<bool> used(items.size(), false);
    std::string found;
    StreamBoxes result = boxes;
    forEachBox(result, [&](const std::string& name, StreamBox& box) {
        if (!box.enabled) return;
        found += "\n  " + name + "\t" + box.caption;
        bool wanted = false;
        for (size_t k = 0; k < items.size(); ++k)
            if (lower(items[k]) == name || items[k] == box.caption) wanted = used[k] = true;
        box.ticked = wanted;
    });
    for (size_t k = 0; k < items.size(); ++k)
        if (!used[k])
            return "--streams: '" + items[k] + "' names no stream found; the streams found are:" +
                   (found.empty() ? std::string("\n  (none)") : found);
    boxes = result;
    return {};
}

std::vector<std::string> tickedStreamLines(const StreamBoxes& boxes) {
    std::vector<std::string> lines;
    StreamBoxes copy = boxes;
    forEachBox(copy, [&](const std::string& name, StreamBox& box) {
        if (box.ticked) lines.push_back(name + "\t" + box.caption);
    });
    return lines;
}

} // namespace tarnwick
