// The rows above the pages, the pages themselves, the foot of the window and
// the status bar.

#include "bottom_bar.h"
#include "jpeg_image.h"
#include "layout.h"
#include "window_log.h"

#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarnwick {

QString shortHint(const char* hint) {
    const QString text = QString::fromUtf8(hint);
    return text.left(text.indexOf(QLatin1Char('|')));
}

namespace {

template <class W> W* named(W* widget, const char* name, const char* hint = nullptr) {
    widget->setObjectName(QLatin1String(name));
    if (hint) widget->setToolTip(shortHint(hint));
    return widget;
}

QLineEdit* fileField(const char* name, const char* hint) {
    auto* e = named(new QLineEdit, name, hint);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::ClickFocus); // not a tab stop
    return e;
}

QToolButton* browseButton(const char* name, const char* hint, QStyle* style) {
    auto* b = named(new QToolButton, name, hint);
    b->setIcon(style->standardIcon(QStyle::SP_DirOpenIcon));
    b->setFixedSize(23, 23);
    return b;
}

QPushButton* button(const char* name, const char* caption, const char* hint = nullptr) {
    auto* b = named(new QPushButton(QString::fromUtf8(caption)), name, hint);
    b->setFixedWidth(75);
    b->setEnabled(false);
    return b;
}

QLabel* logo() {
    auto* l = named(new QLabel, "imLogo", "HD DVD logo :-)");
    QFile file(QStringLiteral(":/tarnwick/logo.jpg"));
    if (file.open(QIODevice::ReadOnly))
        l->setPixmap(QPixmap::fromImage(decodeJpeg(file.readAll())));
    l->setFixedSize(125, 31);
    return l;
}

} // namespace

Controls buildControls(QMainWindow& window) {
    Controls c;
    auto* central = new QWidget;
    central->setObjectName(QStringLiteral("Client"));
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 4, 0, 0);
    column->setSpacing(2);

    auto* rows = new QGridLayout;
    rows->setContentsMargins(6, 0, 6, 0);
    rows->setHorizontalSpacing(4);
    rows->setVerticalSpacing(2);
    QStyle* style = window.style();
    c.eEVOfile =
        fileField("eEVOfile", "Drop here the source EVO file|You cannot write here directly");
    c.bbEVO = browseButton("bbEVO", "Browse an EVO (AOB, VOB) file", style);
    c.bReadEVO = button("bReadEVO", "Read EVO", "Read the source EVO file to detect streams");
    c.bReadEVO->setDefault(true);
    c.eXPLfile = fileField("eXPLfile", "Drop here the VPLST000.XPL");
    c.eXPLfile->setText(QStringLiteral("VPLST000.XPL"));
    c.bbXPL = browseButton("bbXPL", "Browse the HD DVD disc's VPLST000.XPL", style);
    c.bReadXPL = button("bReadXPL", "Read XPL", "Read the XPL file to detect stream infos");
    rows->addWidget(c.eEVOfile, 0, 0);
    rows->addWidget(c.bbEVO, 0, 1);
    rows->addWidget(c.bReadEVO, 0, 2);
    rows->addWidget(c.eXPLfile, 1, 0);
    rows->addWidget(c.bbXPL, 1, 1);
    rows->addWidget(c.bReadXPL, 1, 2);
    rows->setColumnStretch(0, 1);
    column->addLayout(rows);

    c.PageControl = named(new QTabWidget, "PageControl");
    const struct {
        const char* name;
        const char* caption;
        const char* hint;
    } pages[] = {{"tsStatus", "Status", nullptr},
                 {"tsVideo", "Video", "Check the desired video stream"},
                 {"tsAudio", "Audio", "Check the desired audio streams"},
                 {"tsSubpicture", "Subpicture", "Check the desired subpicture streams"},
                 {"tsXPL", "XPL", nullptr},
                 {"tsOptions", "Options", nullptr},
                 {"tsAbout", "About", nullptr}};
    QWidget* built[] = {buildLogPage(c),       buildStreamPage(c, 0), buildStreamPage(c, 1),
                        buildStreamPage(c, 2), buildPlaylistPage(c),  buildOptionsPage(c),
                        buildAboutPage()};
    for (int k = 0; k < 7; ++k) {
        named(built[k], pages[k].name, pages[k].hint);
        c.PageControl->addTab(built[k], QString::fromUtf8(pages[k].caption));
        if (pages[k].hint) c.PageControl->setTabToolTip(k, shortHint(pages[k].hint));
    }
    column->addWidget(c.PageControl, 1);

    auto* bar = new BottomBar;
    bar->setObjectName(QStringLiteral("BottomBar"));
    c.BottomBar = bar;
    c.bDemux = button("bDemux", "Demux", "Demux the source EVO to streams");
    QFont bold = c.bDemux->font();
    bold.setBold(true);
    c.bDemux->setFont(bold);
    c.bRebuild = button("bRebuild", "Rebuild");
    c.imLogo = logo();
    c.bCancel = button("bCancel", "Cancel", "You can stop the actual process");
    bar->place(c.bDemux, c.bRebuild, c.imLogo, c.bCancel);
    column->addWidget(bar);
    window.setCentralWidget(central);

    c.StatusBar = named(new QStatusBar, "StatusBar");
    c.panels = {named(new QLabel, "StatusPanel0"), named(new QLabel, "StatusPanel1")};
    c.StatusBar->addWidget(c.panels[0]);
    c.StatusBar->addWidget(c.panels[1], 1);
    initStatusPanels(c.StatusBar, c.panels);
    window.setStatusBar(c.StatusBar);
    fitToWindowFont(c);
    return c;
}

} // namespace tarnwick
