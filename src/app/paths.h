#pragma once
// The folders and names that a chosen source or playlist file implies.

#include "app/window_state.h"

#include <functional>
#include <string>

namespace tarnwick {

inline constexpr char PathDelimiter = '/';
inline constexpr const char* PlaylistName = "VPLST000.XPL";
inline constexpr const char* VideoObjectFolder = "HVDVD_TS/";
inline constexpr const char* AdvancedObjectFolder = "ADV_OBJ/";

using FileExistsTest = std::function<bool(const std::string&)>;

// The file-name part (after the last delimiter) and the folder part (up to and
// including it).
std::string fileNamePart(const std::string& path);
std::string folderPart(const std::string& path);

// The extension of the file-name part, dot included ("" when none).
std::string extensionOf(const std::string& path);
std::string upperExtension(const std::string& path);

// The path without its extension.
std::string CutExt(const std::string& path);

// The full path of a feature's second file ("_1" -> "_2", else "0_" -> "1_"
// in the file name), or "" when there is no such file.
std::string getsecond(const std::string& path, const FileExistsTest& exists);

// Folder + delimiter (when missing) + name; just the name for an empty folder.
std::string joinOutputPath(const std::string& folder, const std::string& name);

// After the source field changed: path state, playlist field, read buttons.
void EVOadj(WindowState& w);
// After the playlist field changed.
void XPLadj(WindowState& w);

} // namespace tarnwick
