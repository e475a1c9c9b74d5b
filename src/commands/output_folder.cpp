#include "commands/output_folder.h"

#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace tarnwick {

std::string prepareOutputFolder(const std::string& folder) {
    const std::string path = folder.empty() ? "." : folder;
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error) return "cannot create the output folder \"" + path + "\": " + error.message();
    if (!std::filesystem::is_directory(path, error))
        return "the output folder \"" + path + "\" is not a folder";
    if (access(path.c_str(), W_OK | X_OK) != 0)
        return "cannot write into the output folder \"" + path +
               "\": " + std::generic_category().message(errno);
    return {};
}

} // namespace tarnwick
