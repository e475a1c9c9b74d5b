#include "cli/cli_arguments.h"

#include <cctype>
#include <cstdio>

namespace tarnwick {

const char* const CliUsage =
    "Usage:\n"
    "  tarnwick-cli read    SOURCE|DISC [--title N] [--json [--playlist XPL]] [options]\n"
    "  tarnwick-cli demux   SOURCE   [options]\n"
    "  tarnwick-cli rebuild SOURCE   [options]\n"
    "  tarnwick-cli xpl     PLAYLIST [--source SOURCE | --title N] [--chapters] [options]\n"
    "  tarnwick-cli mkv     SOURCE|DISC [--title N] [--playlist XPL] [--name NAME] [--overwrite]\n"
    "                       [--keep-streams] [--mkvmerge PROGRAM] [--json] [options]\n"
    "  tarnwick-cli titles  DISC [--json]\n"
    "  tarnwick-cli --help | --version\n"
    "\n"
    "Options (a value follows as the next argument or after '='):\n"
    "  -o, --output DIR       output folder, created when missing (default: the current "
    "folder)\n"
    "  --streams LIST         streams to keep ticked: box names (v0, a03, s12) or captions\n"
    "  --no-continue          do not continue with the feature's second file\n"
    "  --fast-check MB        check only the first MB mebibytes (default 300)\n"
    "  --no-fast-check        read the whole file\n"
    "  --no-count-frames      do not count frames\n"
    "  --no-details           no detailed stream information\n"
    "  --adv                  keep the advanced packs in Rebuild\n"
    "  --video-ext EXT, --audio-ext EXT, --sub-ext EXT   output extensions\n"
    "  --source SOURCE        xpl: the source whose title is shown\n"
    "  --title N              xpl: the title shown (without both: the list of titles);\n"
    "                         read, mkv: the playlist title read (default: the longest)\n"
    "  --chapters             xpl: write the title's chapter file\n"
    "  --json                 read, titles, mkv: print one JSON document (docs/json.md)\n"
    "  --playlist XPL         read --json, mkv: the playlist that names the streams\n"
    "  --name NAME            mkv: the MKV's file name (\".mkv\" is added)\n"
    "  --overwrite            mkv: replace an MKV of that name (default: exit 1)\n"
    "  --keep-streams         mkv: keep the demuxed streams in their work folder\n"
    "  --mkvmerge PROGRAM     mkv: the mkvmerge to run (default: mkvmerge from PATH)\n"
    "  --markup               print log lines with their markup\n"
    "  --color WHEN           colours on standard output: auto, always, never\n"
    "  -q, --quiet            no log and no progress; the data a command prints stays\n"
    "\n"
    "Exit status: 0 done, 1 a file failed, 2 usage error (an unknown title number too),\n"
    "3 no program stream or no playlist found in the file, 128 + signal number when\n"
    "interrupted (the program ends by the signal: 130 for Ctrl+C).\n";

namespace {

enum class Takes { Nothing, Value };

struct OptionRule {
    const char* name;
    Takes takes;
};

constexpr OptionRule OptionRules[] = {
    {"-o", Takes::Value},
    {"--output", Takes::Value},
    {"--streams", Takes::Value},
    {"--source", Takes::Value},
    {"--title", Takes::Value},
    {"--chapters", Takes::Nothing},
    {"--no-continue", Takes::Nothing},
    {"--fast-check", Takes::Value},
    {"--no-fast-check", Takes::Nothing},
    {"--no-count-frames", Takes::Nothing},
    {"--no-details", Takes::Nothing},
    {"--adv", Takes::Nothing},
    {"--video-ext", Takes::Value},
    {"--audio-ext", Takes::Value},
    {"--sub-ext", Takes::Value},
    {"--json", Takes::Nothing},
    {"--playlist", Takes::Value},
    {"--keep-streams", Takes::Nothing},
    {"--mkvmerge", Takes::Value},
    {"--name", Takes::Value},
    {"--overwrite", Takes::Nothing},
    {"--markup", Takes::Nothing},
    {"--color", Takes::Value},
    {"-q", Takes::Nothing},
    {"--quiet", Takes::Nothing},
    {"-h", Takes::Nothing},
    {"--help", Takes::Nothing},
    {"--version", Takes::Nothing},
};

const OptionRule* findRule(const std::string& name) {
    for (const OptionRule& rule : OptionRules)
        if (name == rule.name) return &rule;
    return nullptr;
}

std::string lowerText(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool isNumber(const std::string& text, size_t maxDigits) {
    return !text.empty() && text.size() <= maxDigits &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

// A leading dot is the user's way of writing an extension; the name adds its
// own dot.
std::string extension(const std::string& text) {
    return !text.empty() && text[0] == '.' ? text.substr(1) : text;
}

// The MKV's name: a file name, the folder is -o's; ".mkv" is the program's
// to add, so a name given with it loses it.
std::string nameOption(CliArguments& a, const std::string& value) {
    std::string name = value;
    if (name.size() >= 4 && lowerText(name.substr(name.size() - 4)) == ".mkv")
        name.resize(name.size() - 4);
    if (name.find('/') != std::string::npos)
        return "--name takes a file name without a folder (the folder is -o's)";
    if (name.find_first_not_of(". ") == std::string::npos) return "--name needs a file name";
    a.name = name;
    return {};
}

// Stores one option; returns the usage error, "" when fine.
std::string applyOption(CliArguments& a, const std::string& name, const std::string& value) {
    if (name == "-o" || name == "--output") {
        if (value.empty()) return "option " + name + " needs a folder";
        a.output = value;
    } else if (name == "--streams") {
        if (streamItems(value).empty()) return "--streams needs at least one stream";
        a.streams = value;
    } else if (name == "--source") {
        a.xplSource = value;
    } else if (name == "--title") {
        if (!isNumber(value, 4) || std::stoi(value) == 0)
            return "--title takes a title number (1, 2, ...)";
        a.title = std::stoi(value);
    } else if (name == "--fast-check") {
        if (!isNumber(value, 3)) return "--fast-check takes a number of at most 3 digits";
        a.fastCheck = value;
    } else if (name == "--video-ext") {
        a.videoExt = extension(value);
    } else if (name == "--audio-ext") {
        a.audioExt = extension(value);
    } else if (name == "--sub-ext") {
        a.subExt = extension(value);
    } else if (name == "--color") {
        if (value != "auto" && value != "always" && value != "never")
            return "--color takes auto, always or never";
        a.color = value;
    } else if (name == "--playlist") {
        if (value.empty()) return "option --playlist needs a playlist";
        a.playlist = value;
    } else if (name == "--mkvmerge") {
        a.mkvmerge = value;
    } else if (name == "--name") {
        return nameOption(a, value);
    } else if (name == "--overwrite") {
        a.overwrite = true;
    } else if (name == "--json") {
        a.json = true;
    } else if (name == "--keep-streams") {
        a.keepStreams = true;
    } else if (name == "--chapters") {
        a.chapters = true;
    } else if (name == "--no-continue") {
        a.noContinue = true;
    } else if (name == "--no-fast-check") {
        a.noFastCheck = true;
    } else if (name == "--no-count-frames") {
        a.noCountFrames = true;
    } else if (name == "--no-details") {
        a.noDetails = true;
    } else if (name == "--adv") {
        a.adv = true;
    } else if (name == "--markup") {
        a.markup = true;
    } else if (name == "-q" || name == "--quiet") {
        a.quiet = true;
    }
    return {};
}

// Options that belong to some commands only.
std::string checkCommandOptions(const CliArguments& a) {
    const std::string& c = a.command;
    if (a.json && c != "read" && c != "titles" && c != "mkv")
        return "--json belongs to read, titles and mkv";
    if (a.playlist && c != "mkv" && !(c == "read" && (a.json || a.title != 0)))
        return "--playlist needs --json or mkv";
    if (a.title != 0 && c != "read" && c != "xpl" && c != "mkv")
        return "--title belongs to read, xpl and mkv";
    if (a.keepStreams && c != "mkv") return "--keep-streams belongs to mkv";
    if (!a.name.empty() && c != "mkv") return "--name belongs to mkv";
    if (a.overwrite && c != "mkv") return "--overwrite belongs to mkv";
    return {};
}

} // namespace

CliArguments parseCliArguments(const std::vector<std::string>& args, std::string& error) {
    CliArguments a;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (size_t k = 0; k < args.size() && error.empty(); ++k) {
        const std::string& arg = args[k];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
        const std::string name = arg.substr(0, equals);
        const OptionRule* rule = findRule(name);
        if (!rule) {
            error = "unknown option " + name;
        } else if (name == "--help" || name == "-h" || name == "--version") {
            a.command = name == "--version" ? "version" : "help";
            return a;
        } else if (rule->takes == Takes::Nothing && equals != std::string::npos) {
            error = "option " + name + " takes no value";
        } else if (rule->takes == Takes::Nothing) {
            error = applyOption(a, name, {});
        } else if (equals != std::string::npos) {
            error = applyOption(a, name, arg.substr(equals + 1));
        } else if (k + 1 >= args.size()) {
            error = "option " + name + " needs an argument";
        } else {
            error = applyOption(a, name, args[++k]);
        }
    }
    if (!error.empty()) return a;
    for (const auto* ext : {&a.videoExt, &a.audioExt, &a.subExt})
        if (*ext && ext->value().size() > 5) error = "an extension holds at most 5 characters";
    if (a.streams && error.empty()) error = checkStreamItems(*a.streams);
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
    if (error.empty()) error = checkCommandOptions(a);
    return a;
}

ScanOptions scanOptions(const CliArguments& a) {
    ScanOptions o;
    if (a.fastCheck) o.fastCheckBytes = int64_t(std::stoi(*a.fastCheck)) << 20;
    if (a.noFastCheck) o.fastCheckBytes.reset();
    o.countFrames = !a.noCountFrames;
    o.logDetails = !a.noDetails;
    return o;
}

OutputNaming outputNaming(const CliArguments& a) {
    OutputNaming o;
    o.folder = a.output.value_or(std::string());
    if (a.videoExt) o.videoExtension = *a.videoExt;
    if (a.audioExt) o.audioExtension = *a.audioExt;
    if (a.subExt) o.subpictureExtension = *a.subExt;
    return o;
}

namespace {

bool isSlotName(const std::string& item) {
    for (const StreamKind kind : {StreamKind::Video, StreamKind::Audio, StreamKind::Subpicture})
        for (int k = 0; k < slotCount(kind); ++k)
            if (lowerText(item) == slotName(kind, k)) return true;
    return false;
}

} // namespace

std::vector<NamedStream> foundStreams(const ScanReport& scan) {
    std::vector<NamedStream> found;
    for (const StreamKind kind : {StreamKind::Video, StreamKind::Audio, StreamKind::Subpicture})
        for (int k = 0; k < slotCount(kind); ++k)
            if (const StreamReport& s = scan.stream(kind, k); s.found() && !s.caption.empty())
                found.push_back({kind, k, slotName(kind, k), s.caption});
    return found;
}

std::vector<std::string> streamItems(const std::string& list) {
    std::vector<std::string> items;
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? comma : comma - start);
        const size_t first = item.find_first_not_of(" \t");
        if (first != std::string::npos)
            items.push_back(item.substr(first, item.find_last_not_of(" \t") - first + 1));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return items;
}

std::string checkStreamItems(const std::string& list) {
    for (const std::string& item : streamItems(list)) {
        // Every caption holds a dot ("VC-1.stream.0", "Subpicture.12"), so
        // an item without one must be a slot name.
        if (item.find('.') != std::string::npos) continue;
        if (!isSlotName(item))
            return "--streams: '" + item +
                   "' is no stream box (v0..v7, a00..a15, s00..s31) nor a caption";
    }
    return {};
}

std::string selectStreams(const std::string& list, const std::vector<NamedStream>& found,
                          SelectionSet& selection) {
    const std::vector<std::string> items = streamItems(list);
    std::vector<bool> used(items.size(), false);
    std::string names;
    SelectionSet chosen;
    for (const NamedStream& s : found) {
        names += (names.empty() ? " " : ", ") + s.name + " " + s.caption;
        for (size_t k = 0; k < items.size(); ++k)
            if (lowerText(items[k]) == s.name || items[k] == s.caption) {
                used[k] = true;
                chosen.select(s.kind, s.slot);
            }
    }
    for (size_t k = 0; k < items.size(); ++k)
        if (!used[k])
            return "--streams: '" + items[k] + "' names no stream found; found:" +
                   (names.empty() ? std::string(" none") : names);
    selection = chosen;
    return {};
}

std::vector<std::string> selectedStreamLines(const std::vector<NamedStream>& found,
                                             const SelectionSet& selection) {
    std::vector<std::string> lines;
    for (const NamedStream& s : found)
        if (selection.selected(s.kind, s.slot)) lines.push_back(s.name + "\t" + s.caption);
    return lines;
}

} // namespace tarnwick
