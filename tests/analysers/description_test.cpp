// The analysers' fields as data: stable keys, numbers as numbers, and every
// log line rendered from them.

#include "analysers/analysers.h"
#include "codec_headers.h"

#include <gtest/gtest.h>

#include <map>

namespace tarnwick::testing {
namespace {

std::map<std::string, FieldValue> byKey(const Description& d) {
    std::map<std::string, FieldValue> fields;
    for (const Field& f : d.fields)
        if (!f.key.empty()) fields.emplace(f.key, f.value);
    return fields;
}

AnalyserInput over(const Bytes& bytes, int start = 0) {
    return {std::span<const uint8_t>(bytes), start, int(bytes.size()) - start, {}};
}

struct Case {
    const char* name;
    Description description;
    std::map<std::string, FieldValue> expected;
    size_t lines;
};

TEST(Descriptions, FieldsCarryTheDecodedValues) {
    Bytes mpeg2 = sequenceHeader({1920, 1080, 3, 4, 20000});
    const Bytes extension = sequenceExtension(true);
    mpeg2.insert(mpeg2.end(), extension.begin(), extension.end());
    Sps avc;
    Bytes lpcm = {0xA0, 0x01, 0x00, 0x04, 0x05, 0x51, 0x80};
    lpcm.insert(lpcm.end(), 32, 0x11);
    const Case cases[] = {
        {"AC-3",
         describeAC3(over(ac3Header(0, 30, 8, 0, 7)), 1),
         {{"format", std::string("Dolby Digital")},
          {"sample_rate", int64_t(48000)},
          {"bit_rate", int64_t(448000)},
          {"channel_arrangement", std::string("L + R + C + Ls + Rs")},
          {"bsid", int64_t(8)}},
         4},
        {"E-AC-3",
         describeAC3(over(eac3Header(383, 0, 3, 7, 1, 16)), 3),
         {{"frame_size", int64_t(768)}, {"channels", int64_t(6)}, {"lfe", int64_t(1)}},
         6},
        {"MPEG-2",
         describeMPEG2(over(mpeg2), 0),
         {{"width", int64_t(1920)},
          {"height", int64_t(1080)},
          {"aspect_ratio", std::string("16:9")},
          {"frame_rate", 30000.0 / 1001.0},
          {"bit_rate", int64_t(8000000)},
          {"progressive", int64_t(1)}},
         6},
        {"H.264",
         describeH264(over(sps(avc))),
         {{"profile", std::string("High")},
          {"width", int64_t(1920)},
          {"height", int64_t(1080)},
          {"frame_rate", 23.976}},
         7},
        {"LPCM",
         describeLPCM(over(lpcm, 7)),
         {{"bits_per_sample", int64_t(20)},
          {"sample_rate", int64_t(96000)},
          {"channels", int64_t(2)},
          {"frame_number", int64_t(5)}},
         7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto fields = byKey(c.description);
        for (const auto& [key, value] : c.expected) {
            ASSERT_TRUE(fields.count(key)) << key;
            EXPECT_EQ(fields.at(key), value) << key;
        }
        EXPECT_EQ(descriptionLines(c.description).size(), c.lines);
    }
}

// Dolby Digital's lfeon follows acmod after the mix levels its arrangement
// has: channels and lfe tell 5.1 from 5.0, as E-AC-3's do, without a line.
TEST(Descriptions, DolbyDigitalChannelsCountTheLfeChannel) {
    // acmod, the five bits after it, channels, lfe
    const int cases[][4] = {{7, 0b10001, 6, 1}, {7, 0b10000, 5, 0}, {2, 0b00100, 3, 1},
                            {2, 0b11000, 2, 0}, {1, 0b10000, 2, 1}, {6, 0b00100, 5, 1}};
    for (const auto& [acmod, after, channels, lfe] : cases) {
        Bytes header = ac3Header(0, 30, 8, 0, acmod);
        header.back() = uint8_t((acmod << 5) | after);
        const Description d = describeAC3(over(header), 1);
        EXPECT_EQ(byKey(d).at("channels"), FieldValue(int64_t(channels))) << acmod;
        EXPECT_EQ(byKey(d).at("lfe"), FieldValue(int64_t(lfe))) << acmod;
        EXPECT_EQ(descriptionLines(d).size(), 4u);
    }
}

TEST(Descriptions, ValuesOnOneLineShareIt) {
    const Description d = describeAC3(over(eac3Header(383, 0, 3, 0, 0, 16)), 0);
    ASSERT_GE(d.fields.size(), 2u);
    const auto lines = descriptionLines(d);
    EXPECT_FALSE(d.fields.front().line.empty());
    EXPECT_EQ(d.fields[2].key, "blocks_per_frame");
    EXPECT_EQ(d.fields[2].line, ""); // shown on the frame size line
    EXPECT_EQ(lines[1], "   frame size = 768 bytes, number of blocks per frame = 6");
}

TEST(Descriptions, NoBytesNoFields) {
    const Bytes none;
    for (const Description& d :
         {describeAC3(over(none), 0), describeDTS(over(none)), describeMLP(over(none)),
          describeLPCM(over(none)), describeMPEG2(over(none), 0)})
        EXPECT_TRUE(d.fields.empty());
    const Description sub = describeSubpicture(over(none));
    ASSERT_EQ(sub.fields.size(), 1u);
    EXPECT_EQ(sub.fields[0].value, FieldValue(std::string("8bitRLE"))); // zeros past the data
}

} // namespace
} // namespace tarnwick::testing
