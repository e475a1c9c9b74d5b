// Text from files is any bytes: the JSON report of a source in a Latin-1
// folder with a playlist of Latin-1 names is valid JSON with U+FFFD in their
// place; text for UTF-8 readers is made valid the same way; names are cut to
// what a file system takes, never inside a character.

#include "model/file_names.h"
#include "model/utf8_text.h"
#include "support/run_program.h"
#include "support/sample_disc.h"
#include "support/test_session.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

using namespace tarnwick;
using namespace tarnwick::testing;
using nlohmann::json;
namespace fs = std::filesystem;

TEST(HostileText, TheJsonReportOfLatin1PathsAndNamesIsValidJson) {
    const std::string folder = scratchFolder("hostile_json") + "f\xE9/";
    fs::create_directory(folder);
    const std::string disc =
        copySampleDisc(folder, {{"English 5.1", "Engl\xE9sh 5.1"},
                                {"titleNumber=\"1\"", "titleNumber=\"1\" x=\"\xFF\""}});
    const ProgramResult r =
        runProgram(TARNWICK_CLI, {"read", "--json", "--playlist", disc + "/ADV_OBJ/VPLST000.XPL",
                                  disc + "/HVDVD_TS/FEATURE_1.EVO"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json report = json::parse(r.out);
    const std::string replaced = "\xEF\xBF\xBD";
    EXPECT_EQ(report["sources"][0]["path"], validUtf8(disc) + "/HVDVD_TS/FEATURE_1.EVO");
    EXPECT_NE(report["sources"][0]["path"].get<std::string>().find("f" + replaced + "/"),
              std::string::npos);
    EXPECT_EQ(report["streams"][1]["description"], "Engl" + replaced + "sh 5.1");
}

TEST(HostileText, TextForUtf8ReadersHasEveryBadByteReplaced) {
    struct Case {
        std::string text;
        std::string valid;
    };
    const std::string r = "\xEF\xBF\xBD";
    const std::vector<Case> cases = {
        {"plain ASCII", "plain ASCII"},
        {"Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x80\x93 \xF0\x9F\x8E\xAC",
         "Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x80\x93 \xF0\x9F\x8E\xAC"},
        {"Caf\xE9", "Caf" + r},
        {"\x80\xBF", r + r},                 // continuation bytes alone
        {"\xC3", r},                         // cut at the end
        {"\xC3(", r + "("},                  // cut before a plain byte
        {"\xC0\xAF", r + r},                 // overlong
        {"\xE0\x80\xAF", r + r + r},         // overlong, three bytes
        {"\xED\xA0\x80", r + r + r},         // a surrogate
        {"\xF4\x90\x80\x80", r + r + r + r}, // past U+10FFFF
        {"\xF5\x80", r + r},                 // no such lead byte
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(validUtf8(c.text), c.valid) << c.text;
}

TEST(HostileText, NamesAreCutToFitAtACharacterWithTheirTailKept) {
    struct Case {
        std::string stem;
        std::string tail;
        size_t max;
        std::string fitted;
    };
    const std::vector<Case> cases = {
        {"movie", ".mkv", 247, "movie.mkv"},
        {std::string(300, 'A'), ".rebuilt.EVO", 247, std::string(235, 'A') + ".rebuilt.EVO"},
        {"ab\xC3\xA9", ".x", 5, "ab.x"},         // é would be cut in two
        {"ab\xC3\xA9", ".x", 6, "ab\xC3\xA9.x"}, // it fits whole
        {"a\xF0\x9F\x8E\xAC", "", 4, "a"},       // a four-byte character
        {"\x80\x80\x80\x80\x80", "", 2, ""},     // bytes that start no character
        {"stem", std::string(10, 'e'), 8, "eeeeeeee"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fitFileName(c.stem, c.tail, c.max), c.fitted) << c.stem << c.tail;
}
