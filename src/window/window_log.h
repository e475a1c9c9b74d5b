#pragma once
// The message log and the status bar of the main window: marked-up lines
// rendered into the rich-text view, texts set into the two status panels.

#include "log/log_line.h"
#include "log/log_sink.h"

#include <QColor>
#include <QTextCharFormat>

#include <array>

class QLabel;
class QStatusBar;
class QTextEdit;

namespace tarnwick {

class WindowLog : public LogSink {
public:
    WindowLog(QTextEdit* view, QStatusBar* bar, std::array<QLabel*, 2> panels);

    void log(const std::string& message) override;
    void slog(const std::string& text, int panel) override;
    void clear() override;

    // The character format of a run, in the log view's font and palette.
    QTextCharFormat format(const CharAttributes& attributes) const;

private:
    QTextEdit* view_;
    QStatusBar* bar_;
    std::array<QLabel*, 2> panels_;
    bool hasLines_ = false;
};

// A colour of the 0x00BBGGRR layout; the window-text marker gives `windowText`.
QColor logColour(uint32_t colour, const QColor& windowText);

// Puts the status bar's two panels in their start state.
void initStatusPanels(QStatusBar* bar, std::array<QLabel*, 2> panels);

} // namespace tarnwick
