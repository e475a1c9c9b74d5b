#include "rebuild/rebuild_support.h"

#include "commands/demux_command.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarnwick::testing {

namespace {

uint32_t seedOf(uint8_t id) {
    return 0x9E3779B9u ^ (uint32_t(id) * 2654435761u);
}

void putBigEndian32(Bytes& pack, size_t at, uint32_t value) {
    for (int k = 0; k < 4; ++k)
        pack[at + size_t(k)] = uint8_t(value >> (24 - 8 * k));
}

// Calls `f(kind, slot)` for every stream slot: video, audio, then subpicture.
template <typename F> void forEachSlot(F&& f) {
    for (const StreamKind kind : {StreamKind::Video, StreamKind::Audio, StreamKind::Subpicture})
        for (int slot = 0; slot < slotCount(kind); ++slot)
            f(kind, slot);
}

} // namespace

StreamSpec videoSpec(uint8_t id, size_t size) {
    StreamSpec s;
    if (id == 0x55 || id == 0x56) {
        s.streamId = 0xFD;
        s.streamIdExtension = id;
    } else {
        s.streamId = id;
    }
    s.data = noiseWithoutStartCodes(size, seedOf(id));
    s.ptsEvery = 4;
    return s;
}

StreamSpec subStreamSpec(uint8_t subId, size_t size) {
    StreamSpec s;
    s.streamId = 0xBD;
    s.subStreamId = subId;
    if ((subId & 0xE0) == 0x20 || (subId & 0xE0) == 0x60) {
        s.subStreamHeader = {subId};
        s.data = noiseWithoutStartCodes(size, seedOf(subId));
        for (size_t at = 0; at < size; at += 3000)
            s.unitStarts.push_back(at);
        return s;
    }
    if (subId >= 0xA0 && subId <= 0xAF)
        s.subStreamHeader = lpcmSubStreamHeader(subId);
    else if (subId >= 0xB0 && subId <= 0xBF)
        s.subStreamHeader = trueHdSubStreamHeader(subId);
    else
        s.subStreamHeader = audioSubStreamHeader(subId);
    s.data = noiseWithoutStartCodes(size, seedOf(subId));
    s.ptsEvery = 3;
    return s;
}

Bytes muxEvo(const std::vector<StreamSpec>& streams, int navEvery, uint32_t ptmBase) {
    PackWriter writer(MuxRate::HdDvd);
    NavigationPackInfo nav;
    nav.audioBound = 5;
    nav.videoBound = 1;
    nav.audioEntries = {0x1001, 0x1002, 0x1003, 0x1004, 0x1005};
    nav.subpictureEntries = {0x2001, 0x2002, 0x2003};
    muxStreams(writer, streams, navEvery, nav);
    Bytes out = writer.bytes();
    uint32_t k = 0;
    for (size_t at = 0; at + PackSize <= out.size(); at += PackSize) {
        if (out[at + 0x11] != 0xBB) continue;
        putBigEndian32(out, at + 0x53A, ptmBase + 0x10000 + k);
        putBigEndian32(out, at + 0x53E, ptmBase + 0x20000 + k);
        ++k;
    }
    return out;
}

std::vector<Bytes> packsOf(const Bytes& file) {
    std::vector<Bytes> packs;
    for (size_t at = 0; at < file.size(); at += PackSize)
        packs.emplace_back(file.begin() + long(at),
                           file.begin() + long(std::min(file.size(), at + PackSize)));
    return packs;
}

ScanResult CoreRebuild::read(const std::string& path, bool continueParts,
                             const ScanOptions& options) {
    ScanResult result = core.read(path, options, continueParts);
    title = result.title;
    selection = SelectionSet();
    forEachSlot([&](StreamKind kind, int slot) {
        if (title.scan.stream(kind, slot).found()) selection.select(kind, slot);
    });
    return result;
}

void CoreRebuild::deselect(const std::vector<std::string>& captions) {
    forEachSlot([&](StreamKind kind, int slot) {
        const StreamReport& stream = title.scan.stream(kind, slot);
        for (const std::string& caption : captions)
            if (stream.found() && stream.caption == caption) selection.select(kind, slot, false);
    });
}

std::vector<std::string> CoreRebuild::selectedCaptions() const {
    std::vector<std::string> out;
    forEachSlot([&](StreamKind kind, int slot) {
        if (selection.selected(kind, slot)) out.push_back(title.scan.stream(kind, slot).caption);
    });
    return out;
}

RebuildResult CoreRebuild::rebuild(const std::string& folder, bool advancedPacks) {
    RunContext run = core.context();
    return rebuildTitle({title, selection, advancedPacks, folder, {}}, run);
}

void readEvo(TestSession& ts, const std::string& path) {
    ts.chooseSource(path);
    ts.window.options.cbDetails = false;
    ts.window.options.rbNoAuto = true;
    ts.window.options.rbAutoDemux = ts.window.options.rbAutoRebuild = false;
    bReadEVOClick(ts.session);
}

void untick(TestSession& ts, const std::vector<std::string>& captions) {
    auto apply = [&](auto& boxes) {
        for (StreamBox& box : boxes)
            for (const std::string& caption : captions)
                if (box.enabled && box.caption == caption) box.ticked = false;
    };
    apply(ts.window.boxes.cbVideo);
    apply(ts.window.boxes.cbAudio);
    apply(ts.window.boxes.cbSub);
    cbVideoClick(ts.window);
}

std::map<std::string, Bytes> demuxByCaption(const std::string& path, const std::string& scratch) {
    CoreRebuild read;
    read.read(path, false);
    std::vector<DemuxStream> streams;
    forEachSlot([&](StreamKind kind, int slot) {
        if (read.selection.selected(kind, slot))
            streams.push_back({kind, slot, read.scan().stream(kind, slot).caption});
    });
    RunContext run = read.core.context();
    OutputNaming naming;
    naming.folder = scratch;
    const DemuxResult result =
        demuxTitle({read.title, streams, read.selection, naming, false, {}, nullptr}, run);
    EXPECT_TRUE(result.ok()) << path;
    std::map<std::string, Bytes> out;
    for (const DemuxedFile& file : result.files) {
        out[read.scan().stream(file.kind, file.slot).caption] = readFile(file.path);
        std::filesystem::remove(file.path);
    }
    return out;
}

} // namespace tarnwick::testing
