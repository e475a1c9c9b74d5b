#pragma once
// The window's commands as plain data flows: each button maps the controls
// to a core request, runs the command and shows its result in the controls.
// The Qt window calls these from its handlers; tests call them directly.

#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "matroska/frame_index.h"
#include "model/run_host.h"
#include "model/title.h"
#include "window/window_state.h"

#include <memory>
#include <optional>
#include <string>

namespace tarnwick {

// What the window does for a running command: its event pump, repaint and
// clock, showing the state, the Yes/No question and the error box.
class WindowUi {
public:
    virtual ~WindowUi() = default;
    // Processes pending window events once (where Cancel clicks arrive).
    virtual void pump() {}
    // Repaints the window at once.
    virtual void repaint() {}
    // The window state was changed by a command; show it.
    virtual void stateChanged() {}
    // A Yes/No question with No as the default; true for Yes.
    virtual bool confirm(const std::string& question) {
        (void)question;
        return false;
    }
    // The platform's error message box.
    virtual void showError(const std::string& message) { (void)message; }
    // The current local date and time as a day count.
    virtual double now();
};

class WindowSession;

// The run host of the window's commands: the pump goes to the window, and
// Cancel is enabled while a command can be cancelled.
class WindowRunHost : public RunHost {
public:
    explicit WindowRunHost(WindowSession& session) : s_(session) {}
    void pump() override;
    void repaint() override;
    double now() override;
    void runChanged() override;

private:
    WindowSession& s_;
};

struct WindowSession {
    WindowSession(WindowState& w, LogSink& l, WindowUi& u) : window(w), log(l), ui(u) {}
    WindowSession(const WindowSession&) = delete;
    WindowSession& operator=(const WindowSession&) = delete;

    RunContext run() { return {log, host, locale}; }
    const RunControl& control() const { return host.run; }

    WindowState& window;
    LogSink& log;
    WindowUi& ui;
    TimeFormat locale;
    WindowRunHost host{*this};
    // The title of the last Read EVO, with what it found.
    std::optional<Title> scanned;
    // The files of the last Demux and, when the Matroska step follows it,
    // the index of their frames.
    std::optional<DemuxResult> demuxed;
    std::unique_ptr<FrameIndex> index;
    std::string mkvmerge = "mkvmerge";
};

// The buttons. Each returns false when its command failed.
bool bReadEVOClick(WindowSession& s);
bool bReadXPLClick(WindowSession& s, int titleNumber = 0);
bool bDemuxClick(WindowSession& s);
bool bRebuildClick(WindowSession& s);
bool bWriteChapsClick(WindowSession& s);
// Cancel: silently while only reading, after a question while output is
// being written.
void bCancelClick(WindowSession& s);

// "Mux into MKV after Demux": the files the Demux just wrote into one MKV,
// named and chaptered by the playlist of the source's own disc.
bool muxAfterDemux(WindowSession& s);

// Demux and, with "Mux into MKV after Demux" ticked, the Matroska step; a
// missing mkvmerge is reported before anything is demuxed.
bool demuxAndMux(WindowSession& s);

// The scan options of the Options page.
ScanOptions windowScanOptions(const Options& options);

} // namespace tarnwick
