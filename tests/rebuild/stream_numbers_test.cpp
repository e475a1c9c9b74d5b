// Numbers given to the kept streams: slot order, the three counters, one map
// for the whole command, and no two streams under one identifier.

#include "model/stream_selection.h"
#include "rebuild/stream_numbers.h"

#include <gtest/gtest.h>

namespace tarnwick::testing {
namespace {

struct Tables {
    // A stream found in a slot, selected.
    void video(int slot, int id) { set(s.videoIds[size_t(slot)], StreamKind::Video, slot, id); }
    void audio(int slot, int id) { set(s.audioIds[size_t(slot)], StreamKind::Audio, slot, id); }
    void sub(int slot, int id) { set(s.subIds[size_t(slot)], StreamKind::Subpicture, slot, id); }
    void set(int32_t& entry, StreamKind kind, int slot, int id) {
        entry = id;
        selection.select(kind, slot);
    }
    int number(uint8_t id, IdSpace space) { return outputIdentifier(numbers, id, space, s); }

    SelectionSet selection;
    RebuildStreams s{selection};
    StreamNumbers numbers;
};

TEST(StreamNumbers, KeptStreamsAreNumberedInSlotOrderByKind) {
    Tables x;
    x.video(1, 0x56);           // VC-1 in the second video slot
    x.audio(2, 0x82);           // Dolby Digital
    x.audio(9, 0x89 /* DTS */); // slot by table, not by id
    x.audio(11, 0xCB);          // Dolby Digital Plus
    x.sub(3, 0x23);
    x.sub(4, 0x64); // extended subpictures share the counter
    x.sub(6, 0x26);
    const TickedCounts ticked = assignNumbers(x.numbers, x.s);
    EXPECT_EQ(ticked.video, 1);
    EXPECT_EQ(ticked.audio, 3);
    EXPECT_EQ(ticked.subpicture, 3);
    EXPECT_EQ(x.numbers.map[0x56], 0x55);
    EXPECT_EQ(x.numbers.map[0x82], 0x80);
    EXPECT_EQ(x.numbers.map[0x89], 0x89);
    EXPECT_EQ(x.numbers.map[0xCB], 0xC2);
    EXPECT_EQ(x.numbers.map[0x23], 0x20);
    EXPECT_EQ(x.numbers.map[0x64], 0x61);
    EXPECT_EQ(x.numbers.map[0x26], 0x22);

    // A number once given stays, whatever the selection says later.
    x.selection.select(StreamKind::Audio, 2, false);
    assignNumbers(x.numbers, x.s);
    EXPECT_EQ(x.numbers.map[0x89], 0x89);
    EXPECT_EQ(x.numbers.audio, 3);

    Tables y;
    y.video(0, 0xE3); // H.264 becomes the first video stream
    y.video(1, 0xE1); // and MPEG-2 the second
    y.audio(0, 0xC4);
    y.audio(1, 0xC5);
    y.selection.select(StreamKind::Video, 0, false);
    assignNumbers(y.numbers, y.s);
    EXPECT_EQ(y.numbers.map[0xE1], 0xE0);
    EXPECT_EQ(y.numbers.map[0xE3], NoNumber);
    EXPECT_EQ(y.numbers.map[0xC4], 0xC0);
    EXPECT_EQ(y.numbers.map[0xC5], 0xC1);
}

TEST(StreamNumbers, TickedBoxWithoutStreamGetsNoNumberButCounts) {
    Tables x;
    x.audio(0, 0x81);
    x.selection.select(StreamKind::Audio, 0, false);
    x.selection.select(StreamKind::Audio, 5); // slot holds -1
    const TickedCounts ticked = assignNumbers(x.numbers, x.s);
    EXPECT_EQ(ticked.audio, 1);
    EXPECT_EQ(x.numbers.audio, 0);
    for (uint8_t value : x.numbers.map)
        EXPECT_EQ(value, NoNumber);
}

TEST(StreamNumbers, StreamWithoutNumberKeepsItsIdentifierUnlessAnotherStreamHasIt) {
    Tables x;
    x.audio(0, 0x80);
    x.audio(1, 0x89);
    x.selection.select(StreamKind::Audio, 0, false);
    assignNumbers(x.numbers, x.s);
    EXPECT_EQ(x.numbers.map[0x89], 0x88);
    // Missing from the tables: 0x8A keeps its identifier, 0x88 (given to the
    // ticked DTS stream) moves to the lowest free DTS identifier.
    EXPECT_EQ(x.number(0x8A, IdSpace::SubStream), 0x8A);
    EXPECT_EQ(x.number(0x88, IdSpace::SubStream), 0x89);
    EXPECT_EQ(x.number(0x88, IdSpace::SubStream), 0x89); // and keeps it
    // Other private-stream-1 data keeps its sub-stream id, 0xFF included.
    EXPECT_EQ(x.number(0xFF, IdSpace::SubStream), 0xFF);
    EXPECT_EQ(x.number(0x01, IdSpace::SubStream), 0x01);
    // Spaces are apart: stream id 0xE0 is not sub-stream 0xE0.
    EXPECT_EQ(x.number(0xE0, IdSpace::StreamId), 0xE0);
}

TEST(StreamNumbers, StreamMetBeforeTheFirstNavigationPackGetsItsNumberAtOnce) {
    Tables x;
    x.audio(0, 0x80);
    x.audio(2, 0x82);
    x.selection.select(StreamKind::Audio, 0, false);
    EXPECT_EQ(x.number(0x82, IdSpace::SubStream), 0x80);
    // The navigation pack that follows finds it numbered and counts on.
    x.audio(3, 0x83);
    assignNumbers(x.numbers, x.s);
    EXPECT_EQ(x.numbers.map[0x82], 0x80);
    EXPECT_EQ(x.numbers.map[0x83], 0x81);
}

TEST(StreamNumbers, NinthAudioStreamStaysInItsKindWithoutCollision) {
    // A scan never puts a three-bit kind after eight audio slots; tables
    // written by hand can: Dolby Digital in slot 8.
    Tables x;
    x.audio(0, 0x88); // DTS: 0x88
    for (int k = 1; k < 8; ++k)
        x.audio(k, 0xC0 + k);
    x.audio(8, 0x80); // (0x80 & 0xF8) | 8 would be 0x88, the DTS stream's number
    x.audio(9, 0x81);
    assignNumbers(x.numbers, x.s);
    EXPECT_EQ(x.numbers.map[0x88], 0x88);
    EXPECT_EQ(x.numbers.map[0x80], 0x80);
    EXPECT_EQ(x.numbers.map[0x81], 0x81);
    EXPECT_EQ(x.numbers.audio, 10);
}

TEST(StreamNumbers, StreamTickedDuringTheRunGivesUpItsStandIn) {
    Tables x;
    x.audio(0, 0x81);
    x.audio(1, 0x80);
    x.selection.select(StreamKind::Audio, 1, false);
    // 0x80 is outside any ticked slot while 0x81 already holds 0x80.
    EXPECT_EQ(x.number(0x80, IdSpace::SubStream), 0x81);
    EXPECT_EQ(x.numbers.map[0x81], 0x80);
    x.selection.select(StreamKind::Audio, 1, true);
    assignNumbers(x.numbers, x.s);
    EXPECT_EQ(x.numbers.map[0x80], 0x81);
    EXPECT_EQ(x.number(0x80, IdSpace::SubStream), 0x81);
}

} // namespace
} // namespace tarnwick::testing
