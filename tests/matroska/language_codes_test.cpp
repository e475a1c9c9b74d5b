// Playlist langcodes and descriptions give the ISO 639-2 codes of Matroska,
// from the iso-codes data installed on the system.

#include "engine/files.h"
#include "matroska/language_codes.h"
#include "support/ps_writer.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tarnwick;
using namespace tarnwick::testing;

TEST(LanguageCodes, LangcodeThenDescriptionElseUndetermined) {
    const LanguageTable table = loadLanguageTable();
    ASSERT_GT(table.size(), 400u);
    struct Case {
        const char* langcode;
        const char* description;
        const char* code;
    };
    const Case cases[] = {
        {"fr:01", "English 5.1", "fre"}, // the langcode wins
        {"de", "", "ger"},               // bibliographic where it differs
        {"FRA:00", "", "fre"},
        {"en:00", "", "eng"},
        {"ja", "", "jpn"},
        {"", "English 5.1", "eng"},
        {"", "German PCM", "ger"},
        {"zz:01", "Deutsch 2.0", "ger"}, // an unknown code falls back to the name
        {"", "Français 5.1", "fre"},
        {"", "FRANÇAIS", "fre"},
        {"", "Castilian DTS", "spa"},
        {"", "Español 2.0", "spa"},
        {"", "Русский 5.1", "rus"},
        {"", "  greek, modern 2.0", "gre"},
        {"", "Director's commentary", "und"},
        {"", "5.1 English", "und"},
        {"e", "", "und"},
        {"", "", "und"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(trackLanguage(table, c.langcode, c.description), c.code)
            << c.langcode << " / " << c.description;
}

TEST(LanguageCodes, MissingTableIsAnErrorDamagedTranslationsArePassedOver) {
    const std::string folder = scratchFolder("language_codes") + "/";
    EXPECT_THROW(loadLanguageTable(folder + "none.json"), FileError);
    writeFile(folder + "bad.json", Bytes{'[', '1', ']'});
    EXPECT_THROW(loadLanguageTable(folder + "bad.json"), FileError);

    // A catalogue whose offsets point past its end.
    std::filesystem::create_directories(folder + "de/LC_MESSAGES");
    Bytes mo = {0xDE, 0x12, 0x04, 0x95, 0, 0, 0, 0, 1, 0, 0, 0, 28, 0, 0, 0, 36, 0, 0, 0};
    mo.resize(44, 0xFF);
    writeFile(folder + "de/LC_MESSAGES/iso_639-2.mo", mo);
    const LanguageTable table = loadLanguageTable(IsoCodesTable, folder);
    EXPECT_EQ(trackLanguage(table, "", "Deutsch"), "und");
    EXPECT_EQ(trackLanguage(table, "", "German"), "ger");
}
