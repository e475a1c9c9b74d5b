#include "window/settings.h"

#include <gtest/gtest.h>

#include <map>

namespace tarnwick {
namespace {

// A registry key in memory: integers and Booleans are numbers, strings are
// text; reads and writes are recorded in their order.
class MemoryStore : public SettingsStore {
public:
    bool openForReading() override { return exists; }
    bool openForWriting() override {
        exists = true;
        return true;
    }
    bool contains(const std::string& name) override { return values.count(name) > 0; }
    std::optional<int32_t> readInteger(const std::string& name) override {
        reads.push_back(name);
        if (const auto* v = std::get_if<int32_t>(&values.at(name))) return *v;
        return std::nullopt;
    }
    std::optional<bool> readBoolean(const std::string& name) override {
        reads.push_back(name);
        if (const auto* v = std::get_if<int32_t>(&values.at(name))) return *v != 0;
        return std::nullopt;
    }
    std::optional<std::string> readString(const std::string& name) override {
        reads.push_back(name);
        if (const auto* v = std::get_if<std::string>(&values.at(name))) return *v;
        return std::nullopt;
    }
    void writeInteger(const std::string& name, int32_t value) override { put(name, value); }
    void writeBoolean(const std::string& name, bool value) override { put(name, value ? 1 : 0); }
    void writeString(const std::string& name, const std::string& value) override {
        put(name, value);
    }

    void put(const std::string& name, std::variant<int32_t, std::string> value) {
        values[name] = std::move(value);
        writes.push_back(name);
    }

    bool exists = false;
    std::map<std::string, std::variant<int32_t, std::string>> values;
    std::vector<std::string> reads;
    std::vector<std::string> writes;
};

std::vector<std::string> names(const std::vector<SettingSpec>& specs) {
    std::vector<std::string> out;
    for (const auto& s : specs)
        out.push_back(s.name);
    return out;
}

WindowGeometry normalGeometry() {
    WindowGeometry g;
    g.top = 10;
    g.left = 20;
    g.width = 661;
    g.height = 375;
    return g;
}

TEST(Settings, FirstStartKeepsDefaultsAndTheCloseWritesEveryValueInOrder) {
    MemoryStore store;
    WindowState window;
    WindowGeometry geometry = normalGeometry();
    EXPECT_EQ(RegRead(store, window, geometry), "");
    EXPECT_TRUE(store.reads.empty());
    EXPECT_EQ(geometry.width, 661);

    RegWrite(store, window, geometry);
    EXPECT_EQ(store.writes, names(settingsWriteOrder()));
    EXPECT_EQ(store.writes.size(), 23u);
    EXPECT_EQ(store.values["WindowState"], (std::variant<int32_t, std::string>(0)));
    EXPECT_EQ(store.values["Height"], (std::variant<int32_t, std::string>(375)));
    EXPECT_EQ(store.values["TreeWidth"], (std::variant<int32_t, std::string>(96)));
    EXPECT_EQ(store.values["VideoExt"], (std::variant<int32_t, std::string>("mpv")));
    EXPECT_EQ(store.values["Workdir"], (std::variant<int32_t, std::string>("")));
    EXPECT_EQ(store.values["Continue"], (std::variant<int32_t, std::string>(1)));
    EXPECT_EQ(store.values["AutoDemux"], (std::variant<int32_t, std::string>(0)));
    EXPECT_EQ(store.values["FastSize"], (std::variant<int32_t, std::string>(300)));
    EXPECT_EQ(store.values["ADV_PCK"], (std::variant<int32_t, std::string>(0)));
    EXPECT_EQ(store.values["MuxMKV"], (std::variant<int32_t, std::string>(0)));
}

TEST(Settings, StoredValuesAreReadInTheirOrderAndApplied) {
    MemoryStore store;
    WindowState window;
    WindowGeometry geometry;
    RegWrite(store, window, geometry);
    store.values["Width"] = 800;
    store.values["EVOdir"] = std::string("/discs/HVDVD_TS/");
    store.values["Workdir"] = std::string("/out");
    store.values["SubExt"] = std::string("sub");
    store.values["FastCheck"] = 0;
    store.values["CountFrames"] = 7; // any non-zero number is true
    store.values["AutoClear"] = 1;
    store.values["FastSize"] = 12;
    store.values["ADV_PCK"] = 1;
    store.values["MuxMKV"] = 1;

    EXPECT_EQ(RegRead(store, window, geometry), "");
    EXPECT_EQ(store.reads, names(settingsReadOrder()));
    EXPECT_EQ(geometry.width, 800);
    EXPECT_EQ(window.paths.EVOdir, "/discs/HVDVD_TS/");
    EXPECT_EQ(window.options.eWorkdir, "/out");
    EXPECT_EQ(window.options.eSubExt, "sub");
    EXPECT_FALSE(window.options.cbFastCheck);
    EXPECT_TRUE(window.options.cbCountFr);
    EXPECT_TRUE(window.cbAutoClear);
    EXPECT_EQ(window.options.ieFastSize, "12");
    EXPECT_TRUE(window.options.cbRBAdvanced);
    EXPECT_TRUE(window.options.cbMuxMKV);
}

TEST(Settings, AbsentValuesLeaveTheirControlsUnchanged) {
    MemoryStore store;
    store.exists = true;
    store.values["VideoExt"] = std::string("m2v");
    WindowState window;
    window.options.eWorkdir = "/kept";
    WindowGeometry geometry = normalGeometry();
    EXPECT_EQ(RegRead(store, window, geometry), "");
    EXPECT_EQ(store.reads, std::vector<std::string>{"VideoExt"});
    EXPECT_EQ(window.options.eVideoExt, "m2v");
    EXPECT_EQ(window.options.eWorkdir, "/kept");
    EXPECT_EQ(geometry.top, 10);
}

TEST(Settings, AValueOfTheWrongTypeStopsReadingWithItsName) {
    MemoryStore store;
    store.exists = true;
    store.values["Height"] = 500;
    store.values["Width"] = std::string("wide");
    store.values["AudioExt"] = std::string("ac3");
    WindowState window;
    WindowGeometry geometry = normalGeometry();
    EXPECT_EQ(RegRead(store, window, geometry), "Invalid data type for 'Width'");
    EXPECT_EQ(geometry.height, 375);
    EXPECT_EQ(window.options.eAudioExt, "mpa");

    // Values read before the faulty one stay applied.
    store.values.erase("Width");
    store.values["TreeWidth"] = 150;
    store.values["Continue"] = std::string("yes");
    EXPECT_EQ(RegRead(store, window, geometry), "Invalid data type for 'Continue'");
    EXPECT_EQ(geometry.height, 500);
    EXPECT_EQ(geometry.treeWidth, 150);
    EXPECT_EQ(window.options.eAudioExt, "ac3");

    store.values.erase("Continue");
    store.values["XPLdir"] = 5;
    EXPECT_EQ(RegRead(store, window, geometry), "Invalid data type for 'XPLdir'");
}

TEST(Settings, MaximisedWindowKeepsTheEarlierGeometry) {
    MemoryStore store;
    WindowState window;
    WindowGeometry geometry = normalGeometry();
    RegWrite(store, window, geometry);

    WindowGeometry maximised = geometry;
    maximised.shown = ShowMaximised;
    maximised.width = 1920;
    maximised.height = 1080;
    maximised.top = maximised.left = 0;
    store.writes.clear();
    RegWrite(store, window, maximised);
    EXPECT_EQ(store.writes.size(), 19u);
    EXPECT_EQ(store.values["WindowState"], (std::variant<int32_t, std::string>(2)));
    EXPECT_EQ(store.values["Width"], (std::variant<int32_t, std::string>(661)));
    EXPECT_EQ(store.values["Top"], (std::variant<int32_t, std::string>(10)));

    WindowGeometry next;
    EXPECT_EQ(RegRead(store, window, next), "");
    EXPECT_EQ(next.shown, ShowMaximised);
    EXPECT_EQ(next.width, 661);
    EXPECT_EQ(next.left, 20);

    // A minimised window stores its position and size as well.
    WindowGeometry minimised = normalGeometry();
    minimised.shown = ShowMinimised;
    minimised.width = 700;
    store.writes.clear();
    RegWrite(store, window, minimised);
    EXPECT_EQ(store.writes.size(), 23u);
    EXPECT_EQ(store.values["WindowState"], (std::variant<int32_t, std::string>(1)));
    EXPECT_EQ(store.values["Width"], (std::variant<int32_t, std::string>(700)));
}

TEST(Settings, RadioButtonsOfTheAutomaticStep) {
    MemoryStore store;
    store.exists = true;
    store.values["AutoDemux"] = 1;
    store.values["AutoRebuild"] = 0;
    WindowState window;
    WindowGeometry geometry;
    RegRead(store, window, geometry);
    EXPECT_EQ(autoStep(window.options), AutoStep::Demux);
    EXPECT_FALSE(window.options.rbNoAuto);

    WindowState plain;
    store.values["AutoDemux"] = 0;
    RegRead(store, plain, geometry);
    EXPECT_TRUE(plain.options.rbNoAuto);
    EXPECT_FALSE(plain.options.rbAutoDemux);
    EXPECT_FALSE(plain.options.rbAutoRebuild);

    // The later value wins when both are stored as true.
    WindowState both;
    store.values["AutoDemux"] = 1;
    store.values["AutoRebuild"] = 1;
    RegRead(store, both, geometry);
    EXPECT_EQ(autoStep(both.options), AutoStep::Rebuild);
    EXPECT_FALSE(both.options.rbAutoDemux);

    // Clearing the selected button leaves the group with "No auto process".
    applySetting("AutoRebuild", false, both, geometry);
    EXPECT_TRUE(both.options.rbNoAuto);
}

TEST(Settings, InvalidFastSizeIsStoredAsZero) {
    MemoryStore store;
    WindowState window;
    WindowGeometry geometry;
    for (const char* text : {"", "-", "abc", "99999999999"}) {
        window.options.ieFastSize = text;
        RegWrite(store, window, geometry);
        EXPECT_EQ(store.values["FastSize"], (std::variant<int32_t, std::string>(0))) << text;
    }
    window.options.ieFastSize = "-5";
    RegWrite(store, window, geometry);
    EXPECT_EQ(store.values["FastSize"], (std::variant<int32_t, std::string>(-5)));
}

TEST(Settings, MissingStoreReadsNothing) {
    MemoryStore store;
    store.values["Width"] = std::string("never looked at");
    WindowState window;
    WindowGeometry geometry = normalGeometry();
    EXPECT_EQ(RegRead(store, window, geometry), "");
    EXPECT_TRUE(store.reads.empty());
    EXPECT_EQ(geometry.width, 661);
}

} // namespace
} // namespace tarnwick
