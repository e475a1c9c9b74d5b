#pragma once
// Track languages as the ISO 639-2 codes that Matroska stores (the
// bibliographic form where one exists: "ger", "fre"), looked up in the data
// of Debian's iso-codes package: its ISO 639-2 table and, for names in the
// language itself ("Deutsch", "Français"), its translations of that table.

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

inline constexpr const char* IsoCodesTable = "/usr/share/iso-codes/json/iso_639-2.json";
inline constexpr const char* IsoCodesLocales = "/usr/share/locale";
inline constexpr const char* UnknownLanguage = "und";

struct Language {
    std::string alpha2;                   // "de", empty for most languages
    std::string alpha3;                   // "deu", the terminology code
    std::string bibliographic;            // "ger", empty where it equals alpha3
    std::vector<std::string> names;       // "german", lower case
    std::vector<std::string> nativeNames; // "deutsch", lower case
};

using LanguageTable = std::vector<Language>;

// Reads the ISO 639-2 table and the names each language has for itself in
// localeFolder/<alpha2>/LC_MESSAGES/iso_639-2.mo. Raises FileError when the
// table cannot be read or is not the iso-codes JSON; translations that are
// missing or damaged are passed over.
LanguageTable loadLanguageTable(const std::string& tablePath = IsoCodesTable,
                                const std::string& localeFolder = IsoCodesLocales);

// The code Matroska stores for a language.
std::string matroskaCode(const Language& language);

// The code of a playlist langcode ("fr:01"), a two- or three-letter code
// ("fr", "fra", "fre"); empty when the table does not know it.
std::string codeFromLangcode(const LanguageTable& table, std::string_view langcode);

// The code of the language a description starts with ("English 5.1",
// "German PCM", "Deutsch 2.0"); empty when it starts with no language name.
std::string codeFromDescription(const LanguageTable& table, std::string_view description);

// The langcode's language, else the description's, else "und".
std::string trackLanguage(const LanguageTable& table, std::string_view langcode,
                          std::string_view description);

} // namespace tarnwick
