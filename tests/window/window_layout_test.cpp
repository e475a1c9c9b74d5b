// The main window as built: names, captions, hints, defaults, the stream
// boxes, the log view, the status bar, the integer field, the logo and the
// dialogs.

#include "bottom_bar.h"
#include "file_dialogs.h"
#include "int_edit.h"
#include "jpeg_image.h"
#include "locale_format.h"
#include "window_test_support.h"

#include <QCheckBox>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>

using namespace tarnwick;
using namespace tarnwick::testing;

class WindowLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        settings_ = std::make_unique<TemporarySettings>();
        watchdog_ = std::make_unique<DialogWatchdog>();
    }
    void cleanup() {
        watchdog_.reset();
        settings_.reset();
    }

    void captionSizeAndFont() {
        MainWindow w({});
        QCOMPARE(w.windowTitle(), QStringLiteral("Tarnwick 0.626"));
        QCOMPARE(w.size(), QSize(653, 341));
        QCOMPARE(w.minimumSize(), QSize(653, 341));
        QCOMPARE(w.font().pointSize(), 8);
        const bool tahoma = QFontDatabase::families().contains(QStringLiteral("Tahoma"));
        QCOMPARE(w.font().family(),
                 tahoma ? QStringLiteral("Tahoma")
                        : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
        QVERIFY(w.controls().bReadEVO->isDefault());
        QVERIFY(w.controls().bDemux->font().bold());
    }

    void sizesFollowTheWindowFont() {
        MainWindow w({});
        w.show();
        const Controls& c = w.controls();
        c.PageControl->setCurrentIndex(5);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (QLineEdit* e : {c.eVideoExt, c.eAudioExt, c.eSubExt}) {
            // The text area: the field less its frame and QLineEdit's margins.
            const int room =
                e->width() - 2 * e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) - 4;
            for (const char* text : {"mpeg2", "WWWWW", "MMMMM"})
                QVERIFY2(e->fontMetrics().horizontalAdvance(QLatin1String(text)) < room, text);
        }
        // "check only the first", the size field and "MB" keep apart.
        auto* row = c.ieFastSize->parentWidget();
        QList<QWidget*> parts;
        for (QLabel* l : row->findChildren<QLabel*>())
            if (l->text() == QLatin1String("check only the first") ||
                l->text() == QLatin1String("MB"))
                parts.append(l);
        QCOMPARE(parts.size(), 2);
        parts.insert(1, c.ieFastSize);
        for (int k = 0; k + 1 < parts.size(); ++k)
            QVERIFY(parts[k]->geometry().right() + 4 <= parts[k + 1]->geometry().left());
        QCOMPARE(c.mXPL->font().pointSize(), w.font().pointSize());
    }

    void controlsCarryTheirCaptionsHintsAndStates() {
        MainWindow w({});
        struct Expected {
            const char* name;
            const char* caption;
            const char* hint;
            bool enabled;
        };
        const Expected controls[] = {
            {"eEVOfile", "", "Drop here the source EVO file", true},
            {"bbEVO", nullptr, "Browse an EVO (AOB, VOB) file", true},
            {"bReadEVO", "Read EVO", "Read the source EVO file to detect streams", false},
            {"eXPLfile", "VPLST000.XPL", "Drop here the VPLST000.XPL", true},
            {"bbXPL", nullptr, "Browse the HD DVD disc's VPLST000.XPL", true},
            {"bReadXPL", "Read XPL", "Read the XPL file to detect stream infos", false},
            {"bDemux", "Demux", "Demux the source EVO to streams", false},
            {"bRebuild", "Rebuild", "", false},
            {"imLogo", nullptr, "HD DVD logo :-)", true},
            {"bCancel", "Cancel", "You can stop the actual process", false},
            {"bClear", "Clear", "", true},
            {"cbAutoClear", "Auto clear", "", true},
            {"bWriteChaps", "Write chapters", "", false},
            {"tvXPL", nullptr, "Infos from your XPL file", true},
            {"mXPL", nullptr, "This is your XPL file (part of it)", true},
            {"eVideoExt", "mpv", "", true},
            {"eAudioExt", "mpa", "", true},
            {"eSubExt", "sup", "This is real .sup format, don't change!", true},
            {"eWorkdir", "", "Destination directory for the demuxed streams", true},
            {"bbWorkdir", nullptr, "Browse folder", true},
            {"cbContinue", "Continue with second  EVO",
             "Demux continues with FEATURE_2.EVO (if it exists) after finishing FEATURE_1.EVO",
             true},
            {"cbFastCheck", "Fast EVO checking", "Read EVO checks only the first part of the file",
             true},
            {"ieFastSize", "300", "Size of the fast check (in MBs)", true},
            {"cbCountFr", "Count frames",
             "Works only if the process hasn't cancelled (even by Fast EVO checking)", true},
            {"cbDetails", "Detailed info", "Detailed information about streams", true},
            {"cbAutoRead", "Auto read", "Read the file automatically after browse", true},
            {"cbRBAdvanced", "Rebuild ADV_PCKs", "Rebuild the Adcanced packs", true},
            {"cbMuxMKV", "Mux into MKV after Demux",
             "Demux ends with one MKV of the ticked streams, named by the playlist", true},
            {"rbNoAuto", "No auto process", "", true},
            {"rbAutoDemux", "Auto Demux", "Demux starts automatically after Read EVO", true},
            {"rbAutoRebuild", "Auto Rebuild", "Rebuild starts automatically after Read EVO", true},
        };
        for (const Expected& e : controls) {
            auto* widget = w.findChild<QWidget*>(QLatin1String(e.name));
            QVERIFY2(widget, e.name);
            QCOMPARE(widget->toolTip(), QString::fromUtf8(e.hint));
            QVERIFY2(widget->isEnabled() == e.enabled, e.name);
            if (!e.caption) continue;
            QString caption;
            if (auto* b = qobject_cast<QAbstractButton*>(widget))
                caption = b->text();
            else if (auto* l = qobject_cast<QLineEdit*>(widget))
                caption = l->text();
            QCOMPARE(caption, QString::fromUtf8(e.caption));
        }
        const Controls& c = w.controls();
        QVERIFY(c.eEVOfile->isReadOnly());
        QCOMPARE(c.eEVOfile->focusPolicy(), Qt::ClickFocus);
        QVERIFY(c.eXPLfile->isReadOnly());
        QVERIFY(c.reMessage->isReadOnly());
        for (QLineEdit* e : {c.eVideoExt, c.eAudioExt, c.eSubExt})
            QCOMPARE(e->maxLength(), 5);
        QCOMPARE(c.ieFastSize->maxLength(), 3);
        QVERIFY(!c.cbAutoClear->isChecked());
        for (QCheckBox* b : {c.cbContinue, c.cbFastCheck, c.cbCountFr, c.cbDetails, c.cbAutoRead})
            QVERIFY(b->isChecked());
        QVERIFY(!c.cbRBAdvanced->isChecked());
        QVERIFY(!c.cbMuxMKV->isChecked());
        QVERIFY(c.rbNoAuto->isChecked());
        QVERIFY(!c.rbAutoDemux->isChecked() && !c.rbAutoRebuild->isChecked());
        QCOMPARE(c.imLogo->size(), QSize(125, 31));
    }

    void sevenPagesWithStatusShown() {
        MainWindow w({});
        const QTabWidget* pages = w.controls().PageControl;
        const QStringList captions = {"Status", "Video",   "Audio", "Subpicture",
                                      "XPL",    "Options", "About"};
        QCOMPARE(pages->count(), 7);
        for (int k = 0; k < 7; ++k)
            QCOMPARE(pages->tabText(k), captions[k]);
        QCOMPARE(pages->currentIndex(), 0);
        QCOMPARE(pages->tabToolTip(1), QStringLiteral("Check the desired video stream"));
        QCOMPARE(pages->tabToolTip(2), QStringLiteral("Check the desired audio streams"));
        QCOMPARE(pages->tabToolTip(3), QStringLiteral("Check the desired subpicture streams"));
        auto* about = w.findChild<QPlainTextEdit*>(QStringLiteral("mAbout"));
        QVERIFY(about && about->isReadOnly());
        QVERIFY(about->toPlainText().contains(QStringLiteral("Version history")));
    }

    void streamBoxesStandInColumnsOfEight() {
        MainWindow w({});
        const Controls& c = w.controls();
        for (int page = 1; page <= 3; ++page)
            c.PageControl->widget(page)->layout()->activate();
        auto check = [](const auto& boxes, const QString& prefix, int digits,
                        const QString& caption, const QString& hint) {
            for (int k = 0; k < int(boxes.size()); ++k) {
                QCheckBox* box = boxes[size_t(k)];
                QCOMPARE(box->objectName(),
                         prefix + QStringLiteral("%1").arg(k, digits, 10, QLatin1Char('0')));
                QCOMPARE(box->text(), caption);
                QCOMPARE(box->toolTip(), hint);
                QVERIFY(!box->isEnabled());
                QVERIFY(!box->isChecked());
                QCOMPARE(box->width(), 145);
                if (k % 8 > 0) {
                    QCOMPARE(box->x(), boxes[size_t(k - 1)]->x());
                    QVERIFY(box->y() > boxes[size_t(k - 1)]->y());
                } else if (k > 0) {
                    QCOMPARE(box->y(), boxes[size_t(k - 8)]->y());
                    QVERIFY(box->x() >= boxes[size_t(k - 8)]->x() + 145);
                }
            }
        };
        check(c.cbVideo, "cbVideo", 1, "Video stream", "Check the desired video stream");
        check(c.cbAudio, "cbAudio", 2, "Audio stream", "Check the desired audio streams");
        check(c.cbSub, "cbSub", 2, "Subpicture", "Check the desired subpicture streams");
    }

    void startUpResetsTheBoxes() {
        auto w = startWindow();
        QVERIFY(w);
        const Controls& c = w->controls();
        QCOMPARE(c.cbVideo[7]->text(), QStringLiteral("No video stream"));
        QCOMPARE(c.cbAudio[15]->text(), QStringLiteral("No audio stream"));
        QCOMPARE(c.cbSub[31]->text(), QStringLiteral("No subpicture"));
        QVERIFY(!c.bDemux->isEnabled());
        QVERIFY(!c.bReadEVO->isEnabled());
        QVERIFY(c.bbEVO->isEnabled() && c.bbXPL->isEnabled());
    }

    void playlistPageHasTreeSplitterAndMemo() {
        auto w = startWindow();
        QVERIFY(w);
        const Controls& c = w->controls();
        c.PageControl->setCurrentIndex(4);
        QTRY_VERIFY(c.tvXPL->isVisible());
        QCOMPARE(c.tvXPL->width(), 96);
        QCOMPARE(c.tvXPL->minimumWidth(), 50);
        QCOMPARE(c.mXPL->minimumWidth(), 50);
        QVERIFY(!c.XPLSplitter->childrenCollapsible());
        QVERIFY(c.mXPL->isReadOnly());
        QVERIFY(!c.mChapter->isVisible());
        QCOMPARE(c.tvXPL->selectionMode(), QAbstractItemView::ExtendedSelection);
        QStringList nodes;
        for (int k = 0; k < c.tvXPL->topLevelItemCount(); ++k)
            nodes.append(c.tvXPL->topLevelItem(k)->text(0));
        QCOMPARE(nodes, QStringList({"Video", "Audio", "Subpicture", "Chapter"}));
        // The bottom-right corner of the page holds "Write chapters".
        QVERIFY(c.bWriteChaps->x() > c.tvXPL->x() + c.tvXPL->width());
        QVERIFY(c.bWriteChaps->y() < c.XPLSplitter->y());
        QCOMPARE(w->state().page, Page::XPL);
    }

    void selectionRuleEnablesDemuxAndRebuild() {
        auto w = startWindow();
        QVERIFY(w);
        const Controls& c = w->controls();
        WindowState& s = w->state();
        auto choose = [&](const char* path) {
            s.eEVOfile = path;
            s.buttons.bRebuild = false;
            s.boxes.cbAudio[2].enabled = true;
            s.boxes.cbSub[31].enabled = true;
            w->refresh();
        };
        choose("/discs/HVDVD_TS/FEATURE_1.EVO");
        c.PageControl->setCurrentIndex(2);
        QTest::mouseClick(c.cbAudio[2], Qt::LeftButton);
        QVERIFY(s.boxes.cbAudio[2].ticked);
        QVERIFY(c.bDemux->isEnabled() && c.bRebuild->isEnabled());
        QTest::mouseClick(c.cbAudio[2], Qt::LeftButton);
        QVERIFY(!s.boxes.cbAudio[2].ticked);
        QVERIFY(!c.bDemux->isEnabled() && !c.bRebuild->isEnabled());

        choose("/dvd/VIDEO_TS/VTS_01_1.vob");
        QTest::mouseClick(c.cbAudio[2], Qt::LeftButton);
        QVERIFY(c.bDemux->isEnabled());
        QVERIFY(!c.bRebuild->isEnabled());
        QTest::mouseClick(c.cbAudio[2], Qt::LeftButton);

        // The rule looks at every box, the last subpicture box included.
        c.PageControl->setCurrentIndex(3);
        QTest::mouseClick(c.cbSub[31], Qt::LeftButton);
        QVERIFY(s.boxes.cbSub[31].ticked);
        QVERIFY(c.bDemux->isEnabled());
    }

    void optionEditsReachTheStateAtOnce() {
        auto w = startWindow();
        QVERIFY(w);
        const Controls& c = w->controls();
        const Options& o = w->state().options;
        c.PageControl->setCurrentIndex(5);
        QTRY_VERIFY(c.cbFastCheck->isVisible());
        clickBox(c.cbFastCheck);
        QVERIFY(!o.cbFastCheck);
        QVERIFY(!c.ieFastSize->isEnabled());
        clickBox(c.cbFastCheck);
        QVERIFY(c.ieFastSize->isEnabled());
        clickBox(c.rbAutoRebuild);
        QCOMPARE(autoStep(o), AutoStep::Rebuild);
        QVERIFY(!o.rbNoAuto);
        c.eVideoExt->selectAll();
        QTest::keyClicks(c.eVideoExt, "m2v");
        QCOMPARE(o.eVideoExt, std::string("m2v"));
        c.eWorkdir->setFocus();
        QTest::keyClicks(c.eWorkdir, "/tmp/out");
        QCOMPARE(o.eWorkdir, std::string("/tmp/out"));
        clickBox(c.cbRBAdvanced);
        QVERIFY(o.cbRBAdvanced);
        clickBox(c.cbMuxMKV);
        QVERIFY(o.cbMuxMKV);
    }

    void integerFieldTakesOnlyNumberKeys() {
        auto w = startWindow();
        QVERIFY(w);
        IntEdit* field = w->controls().ieFastSize;
        w->controls().PageControl->setCurrentIndex(5);
        field->setFocus();
        QSignalSpy beeps(field, &IntEdit::keyRejected);
        field->end(false);
        QTest::keyClicks(field, "a");
        QCOMPARE(field->text(), QStringLiteral("300"));
        QCOMPARE(beeps.count(), 1);
        QTest::keyClick(field, Qt::Key_Space);
        QTest::keyClick(field, Qt::Key_Period);
        QCOMPARE(beeps.count(), 3);
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, "5");
        QCOMPARE(field->text(), QStringLiteral("35"));
        QCOMPARE(w->state().options.ieFastSize, std::string("35"));
        field->selectAll();
        QTest::keyClicks(field, "-");
        QCOMPARE(field->text(), QStringLiteral("-"));
        QCOMPARE(field->value(), 0);
        QTest::keyClick(field, Qt::Key_Backspace);
        QCOMPARE(field->value(), 0); // empty
        QCOMPARE(beeps.count(), 3);
    }

    void logLinesShowTheirRuns() {
        auto w = startWindow();
        QVERIFY(w);
        LogSink& log = sinkOf(*w);
        QTextEdit* view = w->controls().reMessage;
        log.log("   Size = [bl]1920[/bl]x[bl]1080[/bl]");
        log.log("");
        log.log("[b]This file is ENCRYPTED![/b] Decrypt it before any process.");
        log.log(
            "PTM = [re]00000E10[/re] and [B]reset[/B] [s2]big[/s2] [c:ff00zz00]blue[/c:ff00zz00]");
        QCOMPARE(view->toPlainText(),
                 QStringLiteral("   Size = 1920x1080\n\nThis file is ENCRYPTED! Decrypt it before "
                                "any process.\nPTM = 00000E10 and reset big blue"));
        const QColor text = view->palette().color(QPalette::WindowText);
        auto formatAt = [&](int block, int column) {
            QTextCursor cursor(view->document()->findBlockByNumber(block));
            cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::MoveAnchor, column + 1);
            return cursor.charFormat();
        };
        QCOMPARE(formatAt(0, 3).foreground().color(), text);
        QCOMPARE(formatAt(0, 10).foreground().color(), QColor(0, 0, 255));
        QCOMPARE(formatAt(0, 14).foreground().color(), text);
        QCOMPARE(formatAt(0, 15).foreground().color(), QColor(0, 0, 255));
        QCOMPARE(view->document()->findBlockByNumber(1).length(), 1);
        QCOMPARE(formatAt(2, 0).fontWeight(), int(QFont::Bold));
        QCOMPARE(formatAt(2, 22).fontWeight(), int(QFont::Bold));
        QCOMPARE(formatAt(2, 24).fontWeight(), int(QFont::Normal));
        QCOMPARE(formatAt(3, 6).foreground().color(), QColor(255, 0, 0));
        QCOMPARE(formatAt(3, 19).fontWeight(), int(QFont::Normal));
        QCOMPARE(formatAt(3, 19).foreground().color(), text);
        QCOMPARE(formatAt(3, 25).fontPointSize(), 12.0);
        QCOMPARE(formatAt(3, 8).fontPointSize(), 8.0);
        QCOMPARE(formatAt(3, 29).foreground().color(), QColor(0, 0, 255));
        QVERIFY(view->textCursor().atEnd());

        w->controls().cbAutoClear->click();
        QVERIFY(w->state().cbAutoClear);
        QTest::mouseClick(w->controls().bClear, Qt::LeftButton);
        QCOMPARE(view->toPlainText(), QString());
        log.log("again");
        QCOMPARE(view->toPlainText(), QStringLiteral("again"));
    }

    void statusPanelsFollowTheWidthRule() {
        auto w = startWindow();
        QVERIFY(w);
        const Controls& c = w->controls();
        QStatusBar* bar = c.StatusBar;
        QCOMPARE(c.panels[0]->text(), QStringLiteral(" Ready"));
        QCOMPARE(c.panels[1]->text(), QStringLiteral(" Select or drop an EVO file to demux"));
        QCOMPARE(bar->toolTip(), QStringLiteral(" Select or drop an EVO file to demux"));
        QCOMPARE(c.panels[0]->width(), 40);

        LogSink& log = sinkOf(*w);
        log.slog("Reading FEATURE_1.EVO ", 0);
        QCOMPARE(c.panels[0]->text(), QStringLiteral(" Reading FEATURE_1.EVO "));
        QCOMPARE(c.panels[0]->width(),
                 c.panels[0]->fontMetrics().horizontalAdvance(" Reading FEATURE_1.EVO a"));
        log.slog("4/12 Mbytes, Remaining time: 0:00:03", 1);
        QCOMPARE(c.panels[1]->text(), QStringLiteral(" 4/12 Mbytes, Remaining time: 0:00:03"));
        QCOMPARE(bar->toolTip(), QStringLiteral("4/12 Mbytes, Remaining time: 0:00:03"));
        QVERIFY(c.panels[1]->minimumWidth() >=
                c.panels[1]->fontMetrics().horizontalAdvance(c.panels[1]->text() + "a"));
        log.slog("Ready", 0);
        QCOMPARE(c.panels[0]->width(), c.panels[0]->fontMetrics().horizontalAdvance(" Readya"));
        log.slog("", 1);
        QCOMPARE(c.panels[1]->text(), QStringLiteral(" "));
        QCOMPARE(bar->toolTip(), QString());
    }

    void logoIsDecodedAndKeptCentred() {
        QFile file(QStringLiteral(":/tarnwick/logo.jpg"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray jpeg = file.readAll();
        const QImage logo = decodeJpeg(jpeg);
        QCOMPARE(logo.size(), QSize(125, 31));
        QVERIFY(decodeJpeg(QByteArray("not a picture")).isNull());
        QVERIFY(decodeJpeg(jpeg.left(jpeg.size() / 2)).isNull() ||
                decodeJpeg(jpeg.left(jpeg.size() / 2)).size() == QSize(125, 31));
        QVERIFY(decodeJpeg(jpeg.left(20)).isNull());
        QVERIFY(decodeJpeg(QByteArray()).isNull());

        QCOMPARE(logoLeft(653), 263);
        QCOMPARE(logoLeft(433), 153);
        QCOMPARE(logoLeft(432), 153);
        QCOMPARE(logoLeft(300), 153);
        auto w = startWindow();
        QVERIFY(w);
        QVERIFY(!w->controls().imLogo->pixmap().isNull());
        QCOMPARE(w->controls().imLogo->x(), logoLeft(653));
        w->resize(900, 400);
        QTRY_COMPARE(w->controls().imLogo->x(), 900 / 2 - 63);
    }

    void localeGivesTheSeparators() {
        const TimeFormat german = localeTimeFormat(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(german.decimalSeparator, ',');
        QCOMPARE(german.timeSeparator, std::string(":"));
        const TimeFormat c = localeTimeFormat(QLocale::c());
        QCOMPARE(c.decimalSeparator, '.');
        QCOMPARE(c.timeSeparator, std::string(":"));
        const TimeFormat finnish = localeTimeFormat(QLocale(QLocale::Finnish, QLocale::Finland));
        QCOMPARE(finnish.timeSeparator, std::string("."));
    }

    void dialogsCarryTheirTitlesAndFilters() {
        auto source = sourceDialog(nullptr, QStringLiteral("/tmp"));
        QCOMPARE(source->windowTitle(), QStringLiteral("Choose the EVO file to demux"));
        QCOMPARE(
            source->nameFilters(),
            QStringList({"All supported file (*.aob *.evo *.vob)", "EVOB files (HD DVD) (*.evo)",
                         "AOB files (DVD Audio) (*.aob)", "VOB files (DVD Video) (*.vob)"}));
        QCOMPARE(source->fileMode(), QFileDialog::ExistingFile);
        QVERIFY(source->testOption(QFileDialog::DontResolveSymlinks));

        auto playlist =
            playlistDialog(nullptr, QStringLiteral("/tmp"), QStringLiteral("VPLST000.XPL"));
        QCOMPARE(playlist->nameFilters(), QStringList({"XPL (VPLST000.XPL)"}));
        QCOMPARE(playlist->defaultSuffix(), QStringLiteral("xpl"));

        auto folder = folderDialog(nullptr, QString());
        QCOMPARE(folder->windowTitle(), QStringLiteral("Select a directory"));
        QCOMPARE(folder->fileMode(), QFileDialog::Directory);
        QVERIFY(folder->testOption(QFileDialog::ShowDirsOnly));
        auto* newFolder = folder->findChild<QToolButton*>(QStringLiteral("newFolderButton"));
        QVERIFY(!newFolder || newFolder->isHidden());
    }

private:
    static LogSink& sinkOf(MainWindow& w) { return w.logSink(); }

    std::unique_ptr<TemporarySettings> settings_;
    std::unique_ptr<DialogWatchdog> watchdog_;
};

QTEST_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
