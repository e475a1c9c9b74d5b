#include "matroska/language_codes.h"

#include "engine/files.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

namespace tarnwick {

namespace {

// Descriptions name a language in one to three words ("Greek, Modern").
constexpr size_t MaxNameWords = 3;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Lower case for ASCII, Latin-1 letters and the Cyrillic capitals, the
// scripts of the European disc languages; other bytes stay as they are.
std::string folded(std::string_view text) {
    std::string out(text);
    for (size_t k = 0; k < out.size(); ++k) {
        auto& c = reinterpret_cast<unsigned char&>(out[k]);
        if (c >= 'A' && c <= 'Z') c = uint8_t(c + 32);
        if (k + 1 >= out.size()) continue;
        auto& next = reinterpret_cast<unsigned char&>(out[k + 1]);
        if (c == 0xC3 && next >= 0x80 && next <= 0x9E && next != 0x97) {
            next = uint8_t(next + 0x20);
        } else if (c == 0xD0 && next >= 0x90 && next <= 0x9F) {
            next = uint8_t(next + 0x20);
        } else if (c == 0xD0 && next >= 0xA0 && next <= 0xAF) {
            c = 0xD1;
            next = uint8_t(next - 0x20);
        }
    }
    return out;
}

// The alternatives of an iso-codes name ("Spanish; Castilian") without
// qualifiers in parentheses ("Greek, Modern (1453-)"), lower case.
void addNames(std::vector<std::string>& names, std::string_view text) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view name = text.substr(start, end - start);
        name = name.substr(0, name.find(" ("));
        while (!name.empty() && name.front() == ' ')
            name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ')
            name.remove_suffix(1);
        if (!name.empty()) names.push_back(folded(name));
        start = end + 1;
    }
}

uint32_t word32(const std::string& mo, size_t at, bool swapped) {
    uint32_t v = 0;
    std::memcpy(&v, mo.data() + at, 4);
    return swapped ? __builtin_bswap32(v) : v;
}

// The translation of msgid in a GNU message catalogue, checked against the
// catalogue's bounds.
std::optional<std::string> translation(const std::string& mo, std::string_view msgid) {
    if (mo.size() < 20) return std::nullopt;
    const uint32_t magic = word32(mo, 0, false);
    const bool swapped = magic == 0xDE120495;
    if (magic != 0x950412DE && !swapped) return std::nullopt;
    const uint64_t count = word32(mo, 8, swapped);
    const uint64_t originals = word32(mo, 12, swapped);
    const uint64_t translations = word32(mo, 16, swapped);
    if (originals + count * 8 > mo.size() || translations + count * 8 > mo.size())
        return std::nullopt;
    auto text = [&](uint64_t table, uint64_t k) -> std::optional<std::string_view> {
        const uint64_t length = word32(mo, size_t(table + 8 * k), swapped);
        const uint64_t offset = word32(mo, size_t(table + 8 * k + 4), swapped);
        if (offset + length > mo.size()) return std::nullopt;
        return std::string_view(mo).substr(size_t(offset), size_t(length));
    };
    for (uint64_t k = 0; k < count; ++k) {
        const auto original = text(originals, k);
        if (!original || *original != msgid) continue;
        const auto translated = text(translations, k);
        if (!translated) return std::nullopt;
        return std::string(*translated);
    }
    return std::nullopt;
}

std::string field(const nlohmann::json& entry, const char* key) {
    const auto it = entry.find(key);
    return it != entry.end() && it->is_string() ? folded(it->get<std::string>()) : std::string();
}

const Language* byCode(const LanguageTable& table, const std::string& code) {
    for (const Language& l : table)
        if (code == l.alpha2 || code == l.alpha3 || code == l.bibliographic) return &l;
    return nullptr;
}

bool isLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || c >= 0x80;
}

} // namespace

LanguageTable loadLanguageTable(const std::string& tablePath, const std::string& localeFolder) {
    const std::string text = readAll(tablePath);
    const nlohmann::json data = nlohmann::json::parse(text, nullptr, false);
    if (data.is_discarded() || !data.is_object() || !data.contains("639-2") ||
        !data["639-2"].is_array())
        throw FileError("The language table \"" + tablePath +
                        "\" cannot be read: install the iso-codes package.");
    LanguageTable table;
    for (const nlohmann::json& entry : data["639-2"]) {
        if (!entry.is_object()) continue;
        Language l;
        l.alpha2 = field(entry, "alpha_2");
        l.alpha3 = field(entry, "alpha_3");
        l.bibliographic = field(entry, "bibliographic");
        if (l.alpha3.size() != 3) continue;
        const auto name = entry.find("name");
        if (name == entry.end() || !name->is_string()) continue;
        const std::string english = name->get<std::string>();
        addNames(l.names, english);
        if (!l.alpha2.empty() && l.alpha2 != "en") {
            const std::string mo =
                readAll(localeFolder + "/" + l.alpha2 + "/LC_MESSAGES/iso_639-2.mo");
            if (const auto native = translation(mo, english)) addNames(l.nativeNames, *native);
        }
        table.push_back(std::move(l));
    }
    return table;
}

std::string matroskaCode(const Language& language) {
    return language.bibliographic.empty() ? language.alpha3 : language.bibliographic;
}

std::string codeFromLangcode(const LanguageTable& table, std::string_view langcode) {
    const std::string code = folded(langcode.substr(0, langcode.find(':')));
    if (code.size() != 2 && code.size() != 3) return {};
    const Language* l = byCode(table, code);
    return l ? matroskaCode(*l) : std::string();
}

std::string codeFromDescription(const LanguageTable& table, std::string_view description) {
    const std::string text = folded(description);
    // The ends of the first words: the longest run of words that is a name wins.
    std::vector<size_t> ends;
    size_t k = 0;
    while (ends.size() < MaxNameWords) {
        while (k < text.size() && (text[k] == ' ' || text[k] == ','))
            ++k;
        if (k >= text.size() || !isLetter(uint8_t(text[k]))) break;
        while (k < text.size() && isLetter(uint8_t(text[k])))
            ++k;
        ends.push_back(k);
    }
    // English names first: a native name may be another language's name.
    const size_t start = text.find_first_not_of(' ');
    for (auto names : {&Language::names, &Language::nativeNames})
        for (auto end = ends.rbegin(); end != ends.rend(); ++end) {
            const std::string_view words = std::string_view(text).substr(start, *end - start);
            for (const Language& l : table) {
                const std::vector<std::string>& list = l.*names;
                if (std::find(list.begin(), list.end(), words) != list.end())
                    return matroskaCode(l);
            }
        }
    return {};
}

std::string trackLanguage(const LanguageTable& table, std::string_view langcode,
                          std::string_view description) {
    std::string code = codeFromLangcode(table, langcode);
    if (code.empty()) code = codeFromDescription(table, description);
    return code.empty() ? UnknownLanguage : code;
}

} // namespace tarnwick
