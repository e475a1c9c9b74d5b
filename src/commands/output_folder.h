#pragma once
// The output folder, made ready before a long scan rather than found missing
// after it: both front ends create it with its parents.

#include <string>

namespace tarnwick {

// Creates the folder with its parents when missing; returns what stands in
// the way ("" when the folder exists and can take new files). An empty name
// is the current folder.
std::string prepareOutputFolder(const std::string& folder);

} // namespace tarnwick
