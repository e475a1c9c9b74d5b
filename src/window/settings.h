#pragma once
// The settings that survive restarts: the stored values with their names and
// types, applied to the window state at start-up and taken from it at close,
// over a small store interface (an INI file for the window, a map in tests).

#include "window/window_state.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tarnwick {

enum class SettingType { Integer, Boolean, String };

using SettingValue = std::variant<int32_t, bool, std::string>;

// How the window was shown when it closed ("WindowState").
enum WindowShow : int32_t { ShowNormal = 0, ShowMinimised = 1, ShowMaximised = 2 };

// The stored window geometry: outer size and position in pixels, and the
// width of the playlist tree.
struct WindowGeometry {
    int32_t shown = ShowNormal;
    int32_t top = 0;
    int32_t left = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t treeWidth = 96;
};

struct SettingSpec {
    std::string name;
    SettingType type;
};

// Every stored value in the order of reading, and in the order of writing.
const std::vector<SettingSpec>& settingsReadOrder();
const std::vector<SettingSpec>& settingsWriteOrder();

// Where the values live. A read of the wrong type gives no value; the caller
// turns that into the read error.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Opens the stored values without creating them; false when there are none.
    virtual bool openForReading() = 0;
    // Opens them, creating them when missing; false when that fails.
    virtual bool openForWriting() = 0;
    virtual bool contains(const std::string& name) = 0;
    virtual std::optional<int32_t> readInteger(const std::string& name) = 0;
    virtual std::optional<bool> readBoolean(const std::string& name) = 0;
    virtual std::optional<std::string> readString(const std::string& name) = 0;
    virtual void writeInteger(const std::string& name, int32_t value) = 0;
    virtual void writeBoolean(const std::string& name, bool value) = 0;
    virtual void writeString(const std::string& name, const std::string& value) = 0;
    // Ends a write; the values reach their storage.
    virtual void finishWriting() {}
};

// The value a setting takes from the window state and geometry.
SettingValue currentSetting(const std::string& name, const WindowState& window,
                            const WindowGeometry& geometry);
// Applies one stored value as the control would take it.
void applySetting(const std::string& name, const SettingValue& value, WindowState& window,
                  WindowGeometry& geometry);

// Applies the stored values on top of the current ones, value by value in the
// read order; absent values leave their control unchanged. Returns "" or the
// message of the value that could not be read ("Invalid data type for
// 'Width'"): reading stops there and the values read before it stay applied.
std::string RegRead(SettingsStore& store, WindowState& window, WindowGeometry& geometry);

// Stores every value in the write order; the position and size only when the
// window is not maximised, so a maximised window keeps the earlier geometry.
void RegWrite(SettingsStore& store, const WindowState& window, const WindowGeometry& geometry);

} // namespace tarnwick
