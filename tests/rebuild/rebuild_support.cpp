#include "rebuild/rebuild_support.h"

#include "commands/read_evo.h"
#include "engine/demux.h"

#include <filesystem>
#include <memory>

namespace tarnwick::testing {

namespace {

uint32_t seedOf(uint8_t id) {
    return 0x9E3779B9u ^ (uint32_t(id) * 2654435761u);
}

void putBigEndian32(Bytes& pack, size_t at, uint32_t value) {
    for (int k = 0; k < 4; ++k)
        pack[at + size_t(k)] = uint8_t(value >> (24 - 8 * k));
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

std::vector<std::string> tickedCaptions(const TestSession& ts) {
    std::vector<std::string> out;
    auto collect = [&](const auto& boxes) {
        for (const StreamBox& box : boxes)
            if (box.ticked) out.push_back(box.caption);
    };
    collect(ts.window.boxes.cbVideo);
    collect(ts.window.boxes.cbAudio);
    collect(ts.window.boxes.cbSub);
    return out;
}

std::map<std::string, Bytes> demuxByCaption(const std::string& path, const std::string& scratch) {
    TestSession ts;
    ts.window.options.cbContinue = false;
    readEvo(ts, path);
    StreamTable& t = ts.table;
    StreamOutputs outputs;
    std::map<std::string, std::string> files;
    auto create = [&](std::unique_ptr<OutputFile>& slot, const StreamBox& box) {
        if (!box.ticked) return;
        const std::string file = scratch + "demux." + box.caption;
        slot = std::make_unique<OutputFile>(file);
        files[box.caption] = file;
    };
    for (size_t k = 0; k < 2; ++k)
        create(outputs.VideoOut[k], ts.window.boxes.cbVideo[k]);
    for (size_t k = 0; k < size_t(AudioSlots); ++k)
        create(outputs.AudioOut[k], ts.window.boxes.cbAudio[k]);
    for (size_t k = 0; k < size_t(SubSlots); ++k)
        create(outputs.SubOut[k], ts.window.boxes.cbSub[k]);
    t.InputFile = std::make_unique<SourceFile>(path);
    demux(EngineMode::Demux, ts.session, false, &outputs);
    t.InputFile.reset();
    closeOutputFiles(outputs);
    std::map<std::string, Bytes> out;
    for (const auto& [caption, file] : files) {
        out[caption] = readFile(file);
        std::filesystem::remove(file);
    }
    return out;
}

} // namespace tarnwick::testing
