#pragma once
// What an analyser learns about a stream: an ordered list of fields, each
// with a stable key, its value as data and the log line it is shown on.
// The log lines are rendered from the fields, in order.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "log/time_format.h"
#include "model/field.h"

namespace tarnwick {

struct Description {
    std::vector<Field> fields;
    // The frame rate the frame summary of a video stream works with.
    std::optional<double> frameRate;

    // A field shown on a log line of its own.
    void add(std::string key, FieldValue value, std::string line) {
        fields.push_back({std::move(key), std::move(value), std::move(line)});
    }
    // A field shown on the line of the field before.
    void also(std::string key, FieldValue value) {
        fields.push_back({std::move(key), std::move(value), {}});
    }
    // A line that holds no value of its own.
    void line(std::string text) { fields.push_back({{}, int64_t(0), std::move(text)}); }
};

// The log lines of a description, in order.
std::vector<std::string> descriptionLines(const Description& description);

// What an analyser reads: the valid bytes of the chunk, and the payload
// piece [start, start + count) in them. Some analysers read on past the
// piece, never past the chunk's valid bytes.
struct AnalyserInput {
    std::span<const uint8_t> chunk;
    int start = 0;
    int count = 0;
    TimeFormat locale;
};

} // namespace tarnwick
