#include "show_state.h"

#include "int_edit.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>

namespace tarnwick {

namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

void setText(QLineEdit* e, const std::string& s) {
    const QString t = text(s);
    if (e->text() != t) e->setText(t);
}

void setTicked(QAbstractButton* b, bool ticked) {
    const QSignalBlocker quiet(b);
    b->setChecked(ticked);
}

void showBox(QCheckBox* widget, const StreamBox& box) {
    widget->setEnabled(box.enabled);
    setTicked(widget, box.ticked);
    const QString caption = text(box.caption);
    if (widget->text() != caption) widget->setText(caption);
    widget->setToolTip(text(box.hint));
}

QString joined(const std::vector<std::string>& lines) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(lines.size()));
    for (const auto& line : lines)
        out.append(text(line));
    return out.join(QLatin1Char('\n'));
}

bool sameTree(const std::vector<TreeNode>& a, const std::vector<TreeNode>& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (a[k].text != b[k].text || a[k].children != b[k].children) return false;
    return true;
}

void showPlaylist(const Controls& c, const PlaylistView& p, ShownPlaylist& shown) {
    if (!shown.filled || shown.mXPL != p.mXPL) {
        c.mXPL->setPlainText(joined(p.mXPL));
        shown.mXPL = p.mXPL;
    }
    if (!shown.filled || shown.mChapter != p.mChapter) {
        c.mChapter->setPlainText(joined(p.mChapter));
        shown.mChapter = p.mChapter;
    }
    if (!shown.filled || !sameTree(shown.tvXPL, p.tvXPL)) {
        c.tvXPL->clear();
        for (const TreeNode& node : p.tvXPL) {
            auto* top = new QTreeWidgetItem(c.tvXPL, {text(node.text)});
            for (const std::string& child : node.children)
                new QTreeWidgetItem(top, {text(child)});
            top->setExpanded(true);
        }
        shown.tvXPL = p.tvXPL;
    }
    shown.filled = true;
}

} // namespace

void showState(const Controls& c, const WindowState& w, bool commandRunning, ShownPlaylist& shown) {
    setText(c.eEVOfile, w.eEVOfile);
    setText(c.eXPLfile, w.eXPLfile);

    const Buttons& b = w.buttons;
    const bool idle = !commandRunning;
    c.bReadEVO->setEnabled(b.bReadEVO && idle);
    c.bReadXPL->setEnabled(b.bReadXPL && idle);
    c.bDemux->setEnabled(b.bDemux && idle);
    c.bRebuild->setEnabled(b.bRebuild && idle);
    c.bCancel->setEnabled(b.bCancel);
    c.bbEVO->setEnabled(b.bbEVO && idle);
    c.bbXPL->setEnabled(b.bbXPL && idle);
    c.bWriteChaps->setEnabled(b.bWriteChaps && idle);

    for (size_t k = 0; k < c.cbVideo.size(); ++k)
        showBox(c.cbVideo[k], w.boxes.cbVideo[k]);
    for (size_t k = 0; k < c.cbAudio.size(); ++k)
        showBox(c.cbAudio[k], w.boxes.cbAudio[k]);
    for (size_t k = 0; k < c.cbSub.size(); ++k)
        showBox(c.cbSub[k], w.boxes.cbSub[k]);

    const Options& o = w.options;
    setText(c.eVideoExt, o.eVideoExt);
    setText(c.eAudioExt, o.eAudioExt);
    setText(c.eSubExt, o.eSubExt);
    setText(c.eWorkdir, o.eWorkdir);
    setTicked(c.cbContinue, o.cbContinue);
    setTicked(c.cbFastCheck, o.cbFastCheck);
    setText(c.ieFastSize, o.ieFastSize);
    c.ieFastSize->setEnabled(o.cbFastCheck);
    setTicked(c.cbCountFr, o.cbCountFr);
    setTicked(c.cbDetails, o.cbDetails);
    setTicked(c.cbAutoRead, o.cbAutoRead);
    setTicked(c.cbRBAdvanced, o.cbRBAdvanced);
    setTicked(c.cbMuxMKV, o.cbMuxMKV);
    setTicked(o.rbAutoDemux ? c.rbAutoDemux : o.rbAutoRebuild ? c.rbAutoRebuild : c.rbNoAuto, true);
    setTicked(c.cbAutoClear, w.cbAutoClear);

    showPlaylist(c, w.playlist, shown);
    const int page = static_cast<int>(w.page);
    if (c.PageControl->currentIndex() != page) {
        const QSignalBlocker quiet(c.PageControl);
        c.PageControl->setCurrentIndex(page);
    }
}

} // namespace tarnwick
