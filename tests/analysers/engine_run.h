#pragma once
// Runs the engine over a file built in a test: writes it to a scratch
// folder under the given name (whose extension picks the navigation-pack
// layout) and makes one engine call, as Read EVO and Demux do.

#include "engine/demux.h"
#include "support/ps_writer.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace tarnwick::testing {

struct EngineRun {
    // One engine call over `file`; the table keeps the time references of
    // earlier calls, as for the second file of a feature.
    const std::vector<std::string>& run(const Bytes& file, const std::string& name,
                                        EngineMode mode = EngineMode::Scan) {
        const std::string folder =
            scratchFolder(std::string("analysers-") +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
        const std::string path = folder + name;
        writeFile(path, file);
        t.chooseSource(path);
        t.table.InputFile = std::make_unique<SourceFile>(path);
        demux(mode, t.session);
        t.table.InputFile.reset();
        return t.sink.lines;
    }
    size_t count(const std::string& line) const {
        return size_t(std::count(t.sink.lines.begin(), t.sink.lines.end(), line));
    }
    std::vector<std::string> startingWith(const std::string& head) const {
        std::vector<std::string> out;
        for (const std::string& l : t.sink.lines)
            if (l.rfind(head, 0) == 0) out.push_back(l);
        return out;
    }

    TestSession t;
};

// Packs holding only a padding packet, up to `size` bytes.
inline void padTo(PackWriter& w, size_t size) {
    while (w.bytes().size() + PackSize <= size)
        w.pack({});
}

} // namespace tarnwick::testing
