#pragma once
// The files of one title: the source and, with "Continue with second  EVO"
// ticked, the feature's second file when it exists (FEATURE_2.EVO after
// FEATURE_1.EVO); the output base name EVObase names both.

#include "app/window_state.h"

#include <string>

namespace tarnwick {

struct FeaturePlan {
    std::string second; // empty: the title is the source alone
    bool continues() const { return !second.empty(); }
};

// Finds the second file and sets EVObase.
FeaturePlan planFeature(WindowState& w);

// The log line in front of the second file's run.
std::string continueOnLine(const std::string& second);

} // namespace tarnwick
