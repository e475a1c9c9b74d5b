#include "window_log.h"

#include <QLabel>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

namespace tarnwick {

namespace {

// The log keeps its newest lines; older ones drop off the top.
constexpr int MaxLogLines = 100000;

void setPanel(QLabel* panel, const QString& text, bool stretches) {
    panel->setText(text);
    // The panel is as wide as its text followed by the letter "a".
    const int width = panel->fontMetrics().horizontalAdvance(text + QLatin1Char('a'));
    if (stretches)
        panel->setMinimumWidth(width);
    else
        panel->setFixedWidth(width);
}

} // namespace

QColor logColour(uint32_t colour, const QColor& windowText) {
    if (colour == WindowTextColour) return windowText;
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

void initStatusPanels(QStatusBar* bar, std::array<QLabel*, 2> panels) {
    panels[0]->setText(QStringLiteral(" Ready"));
    panels[0]->setFixedWidth(40);
    const QString hint = QStringLiteral(" Select or drop an EVO file to demux");
    panels[1]->setText(hint);
    panels[1]->setMinimumWidth(50);
    bar->setToolTip(hint);
}

WindowLog::WindowLog(QTextEdit* view, QStatusBar* bar, std::array<QLabel*, 2> panels)
    : view_(view), bar_(bar), panels_(panels) {
    view_->document()->setMaximumBlockCount(MaxLogLines);
}

QTextCharFormat WindowLog::format(const CharAttributes& a) const {
    QTextCharFormat f;
    f.setFontFamilies({view_->font().family()});
    f.setFontWeight(a.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(a.italic);
    f.setFontUnderline(a.underline);
    f.setFontPointSize(a.pointSize);
    f.setForeground(logColour(a.colour, view_->palette().color(QPalette::WindowText)));
    return f;
}

void WindowLog::log(const std::string& message) {
    const LogLine line = parseMarkup(message);
    QTextCursor cursor(view_->document());
    cursor.movePosition(QTextCursor::End);
    // The empty document holds one empty block, which takes the first line.
    if (hasLines_) cursor.insertBlock();
    hasLines_ = true;

    // Runs are byte ranges of the UTF-8 visible text that start and end at tag
    // boundaries, so no range splits a character; what they leave over keeps
    // the default attributes.
    const CharAttributes plain;
    size_t at = 0;
    auto insert = [&](size_t from, size_t to, const CharAttributes& attributes) {
        if (to <= from) return;
        cursor.insertText(
            QString::fromUtf8(line.visible.data() + from, static_cast<qsizetype>(to - from)),
            format(attributes));
    };
    for (const TextRun& run : line.runs) {
        const size_t start = std::min(std::max(run.start, at), line.visible.size());
        const size_t end = std::min(run.start + run.length, line.visible.size());
        insert(at, start, plain);
        insert(start, end, run.attributes);
        at = std::max(at, end);
    }
    insert(at, line.visible.size(), plain);
    if (line.visible.empty()) cursor.setBlockCharFormat(format(plain));

    // The newest line stays in view.
    cursor.movePosition(QTextCursor::End);
    view_->setTextCursor(cursor);
    view_->ensureCursorVisible();
}

void WindowLog::slog(const std::string& text, int panel) {
    const QString shown = QLatin1Char(' ') + QString::fromStdString(text);
    if (panel == 0) {
        setPanel(panels_[0], shown, false);
    } else {
        setPanel(panels_[1], shown, true);
        bar_->setToolTip(QString::fromStdString(text));
    }
    // Long operations pump events only now and then; the panel shows at once.
    bar_->repaint();
}

void WindowLog::clear() {
    view_->clear();
    hasLines_ = false;
}

} // namespace tarnwick
