// The seven tab pages.

#include "about_text.h"
#include "window/stream_boxes.h"
#include "int_edit.h"
#include "layout.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace tarnwick {

namespace {

template <class W> W* named(W* widget, const QString& name, const char* hint = nullptr) {
    widget->setObjectName(name);
    if (hint) widget->setToolTip(shortHint(hint));
    return widget;
}

QCheckBox* checkBox(const char* name, const char* caption, bool ticked,
                    const char* hint = nullptr) {
    auto* b = named(new QCheckBox(QString::fromUtf8(caption)), QLatin1String(name), hint);
    b->setChecked(ticked);
    return b;
}

QLineEdit* extensionField(const char* name, const char* text, const char* hint = nullptr) {
    auto* e = named(new QLineEdit(QString::fromUtf8(text)), QLatin1String(name), hint);
    e->setMaxLength(5);
    return e;
}

QFont courier(const QFont& base) {
    QFont f(QStringLiteral("Courier New"));
    if (!QFontDatabase::families().contains(f.family()))
        f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPointSize(base.pointSize());
    return f;
}

} // namespace

QWidget* buildLogPage(Controls& c) {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(2);
    auto* top = new QHBoxLayout;
    top->addStretch(1);
    c.cbAutoClear = checkBox("cbAutoClear", "Auto clear", false);
    c.bClear = named(new QPushButton(QStringLiteral("Clear")), QStringLiteral("bClear"));
    c.bClear->setFixedWidth(75);
    top->addWidget(c.cbAutoClear);
    top->addWidget(c.bClear);
    column->addLayout(top);
    c.reMessage = named(new QTextEdit, QStringLiteral("reMessage"));
    c.reMessage->setReadOnly(true);
    c.reMessage->setLineWrapMode(QTextEdit::NoWrap);
    c.reMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.reMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.reMessage->setMinimumHeight(40);
    column->addWidget(c.reMessage, 1);
    return page;
}

QWidget* buildStreamPage(Controls& c, int kind) {
    static const char* const prefixes[] = {"cbVideo", "cbAudio", "cbSub"};
    static const char* const captions[] = {"Video stream", "Audio stream", "Subpicture"};
    static const char* const hints[] = {VideoPageHint, AudioPageHint, SubPageHint};
    QCheckBox** boxes = kind == 0   ? c.cbVideo.data()
                        : kind == 1 ? c.cbAudio.data()
                                    : c.cbSub.data();
    const int count = kind == 0 ? 8 : kind == 1 ? 16 : 32;

    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(1);
    for (int k = 0; k < count; ++k) {
        // One digit for video slots, two for audio and subpicture slots.
        const QString name =
            QLatin1String(prefixes[kind]) +
            (kind == 0 ? QString::number(k) : QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0')));
        auto* box = named(new QCheckBox(QString::fromUtf8(captions[kind])), name, hints[kind]);
        box->setFixedWidth(145);
        box->setEnabled(false);
        boxes[k] = box;
        // Columns of 8, filled top to bottom.
        grid->addWidget(box, k % 8, k / 8);
    }
    grid->setColumnStretch(count / 8, 1);
    grid->setRowStretch(8, 1);
    return page;
}

QWidget* buildPlaylistPage(Controls& c) {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(2);
    auto* top = new QHBoxLayout;
    top->addStretch(1);
    c.bWriteChaps =
        named(new QPushButton(QStringLiteral("Write chapters")), QStringLiteral("bWriteChaps"));
    c.bWriteChaps->setEnabled(false);
    top->addWidget(c.bWriteChaps);
    column->addLayout(top);

    c.XPLSplitter = named(new QSplitter(Qt::Horizontal), QStringLiteral("XPLSplitter"));
    c.XPLSplitter->setChildrenCollapsible(false);
    c.tvXPL = named(new QTreeWidget, QStringLiteral("tvXPL"), "Infos from your XPL file");
    c.tvXPL->setHeaderHidden(true);
    c.tvXPL->setSelectionMode(QAbstractItemView::ExtendedSelection);
    c.tvXPL->setMinimumWidth(50);
    c.mXPL =
        named(new QPlainTextEdit, QStringLiteral("mXPL"), "This is your XPL file (part of it)");
    c.mXPL->setReadOnly(true);
    c.mXPL->setLineWrapMode(QPlainTextEdit::NoWrap);
    c.mXPL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.mXPL->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.mXPL->setMinimumWidth(50);
    c.XPLSplitter->addWidget(c.tvXPL);
    c.XPLSplitter->addWidget(c.mXPL);
    // The tree keeps its width when the window is resized; the memo takes the rest.
    c.XPLSplitter->setStretchFactor(0, 0);
    c.XPLSplitter->setStretchFactor(1, 1);
    c.XPLSplitter->setSizes({96, ClientWidth});
    column->addWidget(c.XPLSplitter, 1);

    c.mChapter = named(new QPlainTextEdit(page), QStringLiteral("mChapter"));
    c.mChapter->setReadOnly(true);
    c.mChapter->hide();
    return page;
}

QWidget* buildOptionsPage(Controls& c) {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setSpacing(4);

    auto* names = new QGroupBox;
    names->setObjectName(QStringLiteral("gbFileNames"));
    auto* left = new QGridLayout(names);
    left->setContentsMargins(6, 4, 6, 4);
    left->setVerticalSpacing(2);
    left->addWidget(new QLabel(QStringLiteral("Extensions (video, audio, subtitle)")), 0, 0, 1, 4);
    c.eVideoExt = extensionField("eVideoExt", "mpv");
    c.eAudioExt = extensionField("eAudioExt", "mpa");
    c.eSubExt = extensionField("eSubExt", "sup", "This is real .sup format, don't change!");
    left->addWidget(c.eVideoExt, 1, 0);
    left->addWidget(c.eAudioExt, 1, 1);
    left->addWidget(c.eSubExt, 1, 2);
    left->setColumnStretch(3, 1);
    left->addWidget(new QLabel(QStringLiteral("Output folder")), 2, 0, 1, 4);
    auto* folderRow = new QHBoxLayout;
    c.eWorkdir = named(new QLineEdit, QStringLiteral("eWorkdir"),
                       "Destination directory for the demuxed streams");
    c.bbWorkdir = named(new QToolButton, QStringLiteral("bbWorkdir"), "Browse folder");
    c.bbWorkdir->setIcon(page->style()->standardIcon(QStyle::SP_DirOpenIcon));
    c.bbWorkdir->setFixedSize(23, 23);
    folderRow->addWidget(c.eWorkdir, 1);
    folderRow->addWidget(c.bbWorkdir);
    left->addLayout(folderRow, 3, 0, 1, 4);

    auto* processing = new QGroupBox;
    processing->setObjectName(QStringLiteral("gbProcessing"));
    auto* right = new QVBoxLayout(processing);
    right->setContentsMargins(6, 2, 6, 2);
    right->setSpacing(0);
    c.cbContinue =
        checkBox("cbContinue", "Continue with second  EVO", true,
                 "Demux continues with FEATURE_2.EVO (if it exists) after finishing FEATURE_1.EVO");
    c.cbFastCheck = checkBox("cbFastCheck", "Fast EVO checking", true,
                             "Read EVO checks only the first part of the file");
    auto* sizeRow = new QHBoxLayout;
    sizeRow->setContentsMargins(18, 0, 0, 0);
    // The column around it has no spacing; without its own the label, the
    // field and "MB" would touch.
    sizeRow->setSpacing(grid->spacing());
    c.ieFastSize =
        named(new IntEdit, QStringLiteral("ieFastSize"), "Size of the fast check (in MBs)");
    c.ieFastSize->setMaxLength(3);
    c.ieFastSize->setValue(300);
    c.ieFastSize->setFixedWidth(36);
    sizeRow->addWidget(new QLabel(QStringLiteral("check only the first")));
    sizeRow->addWidget(c.ieFastSize);
    sizeRow->addWidget(new QLabel(QStringLiteral("MB")));
    sizeRow->addStretch(1);
    c.cbCountFr =
        checkBox("cbCountFr", "Count frames", true,
                 "Works only if the process hasn't cancelled (even by Fast EVO checking)");
    c.cbDetails =
        checkBox("cbDetails", "Detailed info", true, "Detailed information about streams");
    c.cbAutoRead =
        checkBox("cbAutoRead", "Auto read", true, "Read the file automatically after browse");
    c.cbRBAdvanced =
        checkBox("cbRBAdvanced", "Rebuild ADV_PCKs", false, "Rebuild the Adcanced packs");
    c.cbMuxMKV = checkBox("cbMuxMKV", "Mux into MKV after Demux", false,
                          "Demux ends with one MKV of the ticked streams, named by the playlist");
    right->addWidget(c.cbContinue);
    right->addWidget(c.cbFastCheck);
    right->addLayout(sizeRow);
    right->addWidget(c.cbCountFr);
    right->addWidget(c.cbDetails);
    right->addWidget(c.cbAutoRead);
    right->addWidget(c.cbRBAdvanced);
    right->addWidget(c.cbMuxMKV);
    right->addStretch(1);

    auto* automatic = new QGroupBox;
    automatic->setObjectName(QStringLiteral("gbAutoProcess"));
    auto* radios = new QVBoxLayout(automatic);
    radios->setContentsMargins(6, 2, 6, 2);
    radios->setSpacing(0);
    c.rbNoAuto =
        named(new QRadioButton(QStringLiteral("No auto process")), QStringLiteral("rbNoAuto"));
    c.rbAutoDemux =
        named(new QRadioButton(QStringLiteral("Auto Demux")), QStringLiteral("rbAutoDemux"),
              "Demux starts automatically after Read EVO");
    c.rbAutoRebuild =
        named(new QRadioButton(QStringLiteral("Auto Rebuild")), QStringLiteral("rbAutoRebuild"),
              "Rebuild starts automatically after Read EVO");
    auto* group = new QButtonGroup(automatic);
    for (QRadioButton* r : {c.rbNoAuto, c.rbAutoDemux, c.rbAutoRebuild}) {
        group->addButton(r);
        radios->addWidget(r);
    }
    c.rbNoAuto->setChecked(true);

    grid->addWidget(names, 0, 0);
    grid->addWidget(automatic, 1, 0);
    grid->addWidget(processing, 0, 1, 2, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    return page;
}

void fitToWindowFont(Controls& c) {
    // Five of the font's widest letters, so that no extension loses a letter.
    const QFontMetrics metrics = c.eVideoExt->fontMetrics();
    int widest = 0;
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        for (const QChar l : {QChar(letter), QChar(letter).toLower()})
            widest = std::max(widest, metrics.horizontalAdvance(l));
    QStyleOptionFrame frame;
    frame.initFrom(c.eVideoExt);
    const int border =
        2 * c.eVideoExt->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, c.eVideoExt);
    // QLineEdit keeps two pixels free on each side of the text, and the
    // cursor takes one after it.
    const int width = 5 * widest + border + 2 * 2 + 1;
    for (QLineEdit* e : {c.eVideoExt, c.eAudioExt, c.eSubExt})
        e->setFixedWidth(width);
    c.mXPL->setFont(courier(c.mXPL->parentWidget()->font()));
}

QWidget* buildAboutPage() {
    auto* text = new QPlainTextEdit(aboutText());
    text->setObjectName(QStringLiteral("mAbout"));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(text);
    return page;
}

} // namespace tarnwick
