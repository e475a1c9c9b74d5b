#pragma once
// File names and folders as the commands use them: the name and folder parts
// of a path, its extension, and output paths in an output folder.

#include <string>

namespace tarnwick {

inline constexpr char PathDelimiter = '/';
inline constexpr const char* PlaylistName = "VPLST000.XPL";
inline constexpr const char* VideoObjectFolder = "HVDVD_TS/";
inline constexpr const char* AdvancedObjectFolder = "ADV_OBJ/";

// The file-name part (after the last delimiter) and the folder part (up to and
// including it).
std::string fileNamePart(const std::string& path);
std::string folderPart(const std::string& path);

// The extension of the file-name part, dot included ("" when none).
std::string extensionOf(const std::string& path);
std::string upperExtension(const std::string& path);

// The path without its extension.
std::string withoutExtension(const std::string& path);

// Folder + delimiter (when missing) + name; just the name for an empty folder.
std::string joinOutputPath(const std::string& folder, const std::string& name);

bool endsWith(const std::string& text, const std::string& tail);

} // namespace tarnwick
