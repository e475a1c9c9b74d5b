#pragma once
// A value an analyser found, with its stable key and the log line it is shown
// on: the report's data and the log's text in one.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace tarnwick {

using FieldValue = std::variant<int64_t, double, std::string>;

struct Field {
    std::string key;  // snake_case and stable; empty for a line that holds no value
    FieldValue value; // the decoded value, numbers as numbers
    std::string line; // the marked-up log line; empty: the value is shown on the line before
};

// The first whole-number value of a key, if any.
inline const int64_t* integerField(const std::vector<Field>& fields, const std::string& key) {
    for (const Field& f : fields)
        if (f.key == key) return std::get_if<int64_t>(&f.value);
    return nullptr;
}

} // namespace tarnwick
