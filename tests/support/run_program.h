#pragma once
// Runs a program with arguments and captures its output and exit status.

#include <string>
#include <vector>

namespace tarnwick::testing {

struct ProgramResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `program` with `args` (no shell), with optional extra environment
// entries ("NAME=value").
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& environment = {});

} // namespace tarnwick::testing
