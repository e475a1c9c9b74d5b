#include "window/settings.h"

#include <algorithm>
#include <string>

namespace tarnwick {

namespace {

using Getter = SettingValue (*)(const WindowState&, const WindowGeometry&);
using Setter = void (*)(WindowState&, WindowGeometry&, const SettingValue&);

// One stored value: its name, its type and the control or field behind it.
struct Binding {
    const char* name;
    SettingType type;
    Getter get;
    Setter set;
};

template <int32_t WindowGeometry::*Field> Binding geometryValue(const char* name) {
    return {name, SettingType::Integer,
            [](const WindowState&, const WindowGeometry& g) { return SettingValue(g.*Field); },
            [](WindowState&, WindowGeometry& g, const SettingValue& v) {
                g.*Field = std::get<int32_t>(v);
            }};
}

template <std::string Options::*Field> Binding optionText(const char* name) {
    return {
        name, SettingType::String,
        [](const WindowState& w, const WindowGeometry&) { return SettingValue(w.options.*Field); },
        [](WindowState& w, WindowGeometry&, const SettingValue& v) {
            w.options.*Field = std::get<std::string>(v);
        }};
}

template <bool Options::*Field> Binding optionFlag(const char* name) {
    return {
        name, SettingType::Boolean,
        [](const WindowState& w, const WindowGeometry&) { return SettingValue(w.options.*Field); },
        [](WindowState& w, WindowGeometry&, const SettingValue& v) {
            w.options.*Field = std::get<bool>(v);
        }};
}

template <std::string PathState::*Field> Binding folder(const char* name) {
    return {
        name, SettingType::String,
        [](const WindowState& w, const WindowGeometry&) { return SettingValue(w.paths.*Field); },
        [](WindowState& w, WindowGeometry&, const SettingValue& v) {
            w.paths.*Field = std::get<std::string>(v);
        }};
}

// A radio button of the automatic step: true selects it and clears the other
// two; false clears only this one ("No auto process" takes over should it have
// been the selected one, as the group always holds one selection).
template <bool Options::*Field, AutoStep Step> Binding autoStepButton(const char* name) {
    return {
        name, SettingType::Boolean,
        [](const WindowState& w, const WindowGeometry&) { return SettingValue(w.options.*Field); },
        [](WindowState& w, WindowGeometry&, const SettingValue& v) {
            if (std::get<bool>(v))
                selectAutoStep(w.options, Step);
            else if (w.options.*Field)
                selectAutoStep(w.options, AutoStep::None);
        }};
}

const std::vector<Binding>& bindings() {
    static const std::vector<Binding> table = {
        geometryValue<&WindowGeometry::shown>("WindowState"),
        geometryValue<&WindowGeometry::top>("Top"),
        geometryValue<&WindowGeometry::left>("Left"),
        geometryValue<&WindowGeometry::width>("Width"),
        geometryValue<&WindowGeometry::height>("Height"),
        geometryValue<&WindowGeometry::treeWidth>("TreeWidth"),
        optionText<&Options::eAudioExt>("AudioExt"),
        optionText<&Options::eVideoExt>("VideoExt"),
        optionText<&Options::eSubExt>("SubExt"),
        optionText<&Options::eWorkdir>("Workdir"),
        folder<&PathState::EVOdir>("EVOdir"),
        folder<&PathState::XPLdir>("XPLdir"),
        optionFlag<&Options::cbContinue>("Continue"),
        optionFlag<&Options::cbFastCheck>("FastCheck"),
        optionFlag<&Options::cbCountFr>("CountFrames"),
        optionFlag<&Options::cbDetails>("Details"),
        optionFlag<&Options::cbAutoRead>("AutoRead"),
        autoStepButton<&Options::rbAutoDemux, AutoStep::Demux>("AutoDemux"),
        autoStepButton<&Options::rbAutoRebuild, AutoStep::Rebuild>("AutoRebuild"),
        {"AutoClear", SettingType::Boolean,
         [](const WindowState& w, const WindowGeometry&) { return SettingValue(w.cbAutoClear); },
         [](WindowState& w, WindowGeometry&, const SettingValue& v) {
             w.cbAutoClear = std::get<bool>(v);
         }},
        // The integer field holds text; an empty or invalid text is stored as 0.
        {"FastSize", SettingType::Integer,
         [](const WindowState& w, const WindowGeometry&) {
             return SettingValue(int32_t(intEditValue(w.options.ieFastSize)));
         },
         [](WindowState& w, WindowGeometry&, const SettingValue& v) {
             w.options.ieFastSize = std::to_string(std::get<int32_t>(v));
         }},
        optionFlag<&Options::cbRBAdvanced>("ADV_PCK"),
        optionFlag<&Options::cbMuxMKV>("MuxMKV"),
    };
    return table;
}

const Binding* findBinding(const std::string& name) {
    const auto& table = bindings();
    const auto found =
        std::find_if(table.begin(), table.end(), [&](const Binding& b) { return name == b.name; });
    return found != table.end() ? &*found : nullptr;
}

std::vector<SettingSpec> specs(std::initializer_list<const char*> names) {
    std::vector<SettingSpec> out;
    for (const char* name : names)
        out.push_back({name, findBinding(name)->type});
    return out;
}

bool isGeometry(const std::string& name) {
    return name == "Top" || name == "Left" || name == "Width" || name == "Height";
}

} // namespace

const std::vector<SettingSpec>& settingsReadOrder() {
    static const std::vector<SettingSpec> order =
        specs({"Width",       "Height",    "Top",         "Left",    "WindowState", "TreeWidth",
               "AudioExt",    "VideoExt",  "SubExt",      "Workdir", "EVOdir",      "XPLdir",
               "Continue",    "FastCheck", "CountFrames", "Details", "AutoRead",    "AutoDemux",
               "AutoRebuild", "AutoClear", "FastSize",    "ADV_PCK", "MuxMKV"});
    return order;
}

const std::vector<SettingSpec>& settingsWriteOrder() {
    static const std::vector<SettingSpec> order =
        specs({"WindowState", "Top",       "Left",        "Width",   "Height",   "TreeWidth",
               "AudioExt",    "VideoExt",  "SubExt",      "Workdir", "EVOdir",   "XPLdir",
               "Continue",    "FastCheck", "CountFrames", "Details", "AutoRead", "AutoDemux",
               "AutoRebuild", "AutoClear", "FastSize",    "ADV_PCK", "MuxMKV"});
    return order;
}

SettingValue currentSetting(const std::string& name, const WindowState& window,
                            const WindowGeometry& geometry) {
    const Binding* b = findBinding(name);
    return b ? b->get(window, geometry) : SettingValue();
}

void applySetting(const std::string& name, const SettingValue& value, WindowState& window,
                  WindowGeometry& geometry) {
    const Binding* b = findBinding(name);
    // The variant's alternatives stand in the order of SettingType.
    if (b && value.index() == static_cast<size_t>(b->type)) b->set(window, geometry, value);
}

std::string RegRead(SettingsStore& store, WindowState& window, WindowGeometry& geometry) {
    if (!store.openForReading()) return {};
    for (const SettingSpec& setting : settingsReadOrder()) {
        if (!store.contains(setting.name)) continue;
        std::optional<SettingValue> value;
        switch (setting.type) {
        case SettingType::Integer:
            if (auto v = store.readInteger(setting.name)) value = *v;
            break;
        case SettingType::Boolean:
            if (auto v = store.readBoolean(setting.name)) value = *v;
            break;
        case SettingType::String:
            if (auto v = store.readString(setting.name)) value = *v;
            break;
        }
        if (!value) return "Invalid data type for '" + setting.name + "'";
        applySetting(setting.name, *value, window, geometry);
    }
    return {};
}

void RegWrite(SettingsStore& store, const WindowState& window, const WindowGeometry& geometry) {
    if (!store.openForWriting()) return;
    const bool maximised = geometry.shown == ShowMaximised;
    for (const SettingSpec& setting : settingsWriteOrder()) {
        if (maximised && isGeometry(setting.name)) continue;
        const SettingValue value = currentSetting(setting.name, window, geometry);
        switch (setting.type) {
        case SettingType::Integer:
            store.writeInteger(setting.name, std::get<int32_t>(value));
            break;
        case SettingType::Boolean: store.writeBoolean(setting.name, std::get<bool>(value)); break;
        case SettingType::String:
            store.writeString(setting.name, std::get<std::string>(value));
            break;
        }
    }
    store.finishWriting();
}

} // namespace tarnwick
