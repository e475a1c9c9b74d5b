#pragma once
// One error boundary per command: whatever a command's body raises (a file
// error, a thread or other resource the system refuses, memory, a malformed
// document) becomes a message that the command reports with its result.

#include <string>
#include <vector>

namespace tarnwick {

// The message of the exception being handled; call only from a catch block.
std::string currentErrorMessage();

// Runs `body`; any exception it raises becomes its message in `errors`.
// Returns whether the body ended normally.
template <typename Body> bool guarded(std::vector<std::string>& errors, Body&& body) noexcept {
    try {
        body();
        return true;
    } catch (...) {
        try {
            errors.push_back(currentErrorMessage());
        } catch (...) {
            // Not even the message fits in memory; the result still tells.
            errors.emplace_back();
        }
        return false;
    }
}

} // namespace tarnwick
