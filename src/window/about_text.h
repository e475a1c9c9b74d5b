#pragma once

#include <QString>

namespace tarnwick {

// The text of the "About" page: credits and version history.
QString aboutText();

} // namespace tarnwick
