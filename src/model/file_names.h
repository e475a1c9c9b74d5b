#pragma once
// File names and folders as the commands use them: the name and folder parts
// of a path, its extension, and output paths in an output folder.

#include <cstddef>
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

// The longest file name an output is given: the 255 bytes that common file
// systems take, less the ".partial" that the output of a failed run gets.
inline constexpr size_t MaxOutputNameBytes = 247;

// The text cut to at most maxBytes, never inside a UTF-8 sequence.
std::string cutAtCharacter(const std::string& text, size_t maxBytes);

// stem + tail as a file name of at most maxBytes: the stem is cut (at a
// character), the tail (an extension, a distinguishing suffix) kept whole.
std::string fitFileName(const std::string& stem, const std::string& tail,
                        size_t maxBytes = MaxOutputNameBytes);

} // namespace tarnwick
