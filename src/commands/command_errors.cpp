#include "commands/command_errors.h"

#include <exception>
#include <new>
#include <system_error>

namespace tarnwick {

std::string currentErrorMessage() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return "Out of memory.";
    } catch (const std::system_error& e) {
        // A thread that cannot start, a lock the system refuses: the system's
        // own words, with what failed.
        return std::string("The system refused a resource the command needs: ") + e.what() + ".";
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error.";
    }
}

} // namespace tarnwick
