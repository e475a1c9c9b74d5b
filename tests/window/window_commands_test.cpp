// Commands started from the window: the command line, dropped files, the
// buttons, Cancel and closing while a command runs.

#include "window_test_support.h"

#include "model/file_names.h"
#include "window/window_paths.h"
#include "support/shared_samples.h"
#include "support/written_playlists.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

const QString Feature1 = QStringLiteral(TARNWICK_SAMPLES "/DISC/HVDVD_TS/FEATURE_1.EVO");

void drop(MainWindow& w, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls.append(QUrl::fromLocalFile(p));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &event);
    QVERIFY(event.isAccepted());
}

// Lets the queued handling of a drop run to its end.
void settle(MainWindow& w) {
    QCoreApplication::processEvents();
    QTRY_VERIFY(!w.commandRunning());
}

void chooseSource(MainWindow& w, const QString& path) {
    w.state().eEVOfile = QFile::encodeName(path).toStdString();
    EVOadj(w.state());
    w.refresh();
}

void typeOutputFolder(MainWindow& w, const QString& folder) {
    QLineEdit* field = w.controls().eWorkdir;
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, folder);
}

bool holdsOpen(const QString& folder) {
    for (const QString& file : openFiles())
        if (file.startsWith(folder)) return true;
    return false;
}

} // namespace

class WindowCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        QVERIFY(QFileInfo::exists(Feature1));
        QVERIFY(work_.isValid());
        playlist_ = work_.path() + QStringLiteral("/VPLST000.XPL");
        QFile file(playlist_);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const std::string text = retailFeaturePlaylist();
        file.write(text.data(), qint64(text.size()));
    }
    void init() {
        settings_ = std::make_unique<TemporarySettings>();
        watchdog_ = std::make_unique<DialogWatchdog>();
    }
    void cleanup() {
        watchdog_.reset();
        settings_.reset();
    }

    void dialogLeftOpenIsClosedAndNamed() {
        QStringList reports;
        DialogWatchdog watchdog(100, [&](const QString& dialog) { reports.append(dialog); });
        QMessageBox unanswered(QMessageBox::Warning, QStringLiteral("Tarnwick"),
                               QStringLiteral("Nobody answers this"), QMessageBox::Ok);
        unanswered.exec();
        QCOMPARE(reports, QStringList({"QMessageBox \"Tarnwick\": Nobody answers this"}));

        // An answered dialog is left to its answerer.
        MessageBoxAnswerer answerer(QMessageBox::Ok);
        QMessageBox answered(QMessageBox::Question, QStringLiteral("Tarnwick"),
                             QStringLiteral("Answered"), QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(answered.exec(), int(QMessageBox::Ok));
        QTest::qWait(200);
        QCOMPARE(reports.size(), 1);
    }

    void commandLineReadThenDemuxThroughTheButtons() {
        auto w = startWindow({Feature1});
        QVERIFY(w);
        const Controls& c = w->controls();
        QCOMPARE(c.eEVOfile->text(), QFileInfo(Feature1).absoluteFilePath());
        const QStringList log = logLines(*w);
        QVERIFY(log.contains(QStringLiteral("Opening file FEATURE_1.EVO")));
        QVERIFY(log.contains(QStringLiteral("Continue on FEATURE_2.EVO")));
        QVERIFY(log.contains(QStringLiteral("Done.")));
        QCOMPARE(c.cbVideo[0]->text(), QStringLiteral("H.264.stream.0"));
        QCOMPARE(c.cbAudio[0]->text(), QStringLiteral("DD.stream.00"));
        QCOMPARE(c.cbAudio[3]->text(), QStringLiteral("DD+.stream.03"));
        QCOMPARE(c.cbSub[0]->text(), QStringLiteral("Subpicture.00"));
        for (QCheckBox* box : {c.cbVideo[0], c.cbAudio[0], c.cbAudio[3], c.cbSub[0]})
            QVERIFY(box->isEnabled() && box->isChecked());
        QVERIFY(!c.cbAudio[1]->isEnabled());
        QCOMPARE(c.cbAudio[1]->text(), QStringLiteral("No audio stream"));
        QVERIFY(c.bDemux->isEnabled() && c.bRebuild->isEnabled());
        QVERIFY(c.bReadEVO->isEnabled() && !c.bCancel->isEnabled());
        QCOMPARE(c.panels[0]->text(), QStringLiteral(" Ready"));

        // "Read EVO" again, by its button, gives the same boxes.
        c.PageControl->setCurrentIndex(3);
        QTest::mouseClick(c.bReadEVO, Qt::LeftButton);
        QCOMPARE(c.PageControl->currentIndex(), 0);
        QCOMPARE(logLines(*w).count(QStringLiteral("Opening file FEATURE_1.EVO")), 2);
        QVERIFY(c.cbAudio[3]->isChecked() && c.cbSub[0]->isChecked());

        c.PageControl->setCurrentIndex(3);
        clickBox(c.cbSub[0]);
        QVERIFY(!w->state().boxes.cbSub[0].ticked);
        const QString out = work_.path() + QStringLiteral("/out");
        QVERIFY(QDir().mkpath(out));
        c.PageControl->setCurrentIndex(5);
        typeOutputFolder(*w, out);
        QTest::mouseClick(c.bDemux, Qt::LeftButton);
        QCOMPARE(c.PageControl->currentIndex(), 0);
        const QString base = out + QStringLiteral("/FEATURE_1_FEATURE_2.");
        for (const char* name : {"H.264.stream.0.mpv", "DD.stream.00.mpa", "DD+.stream.03.mpa"}) {
            const QFileInfo file(base + QLatin1String(name));
            QVERIFY2(file.exists() && file.size() > 0, name);
        }
        QVERIFY(!QFileInfo::exists(base + QStringLiteral("Subpicture.00.sup")));
        QVERIFY(!holdsOpen(out));
        QVERIFY(!w->run().writingOutput);
        QVERIFY(c.bDemux->isEnabled() && c.bRebuild->isEnabled());

        QTest::mouseClick(c.bRebuild, Qt::LeftButton);
        QVERIFY(QFileInfo(base + QStringLiteral("rebuilt.EVO")).size() > 0);
        QVERIFY(!holdsOpen(out));
    }

    void missingCommandLineFileEndsReadWithTheOpenError() {
        MessageBoxAnswerer answerer(QMessageBox::Ok);
        auto w = startWindow({work_.path() + QStringLiteral("/missing/FEATURE_1.EVO")});
        QVERIFY(w);
        QCOMPARE(answerer.texts.size(), 1);
        QVERIFY2(!answerer.texts.front().isEmpty(), qPrintable(answerer.texts.front()));
        // The file asked for stays in the source field and the error names it.
        const QString missing =
            QFileInfo(work_.path() + QStringLiteral("/missing/FEATURE_1.EVO")).absoluteFilePath();
        QCOMPARE(QString::fromStdString(w->state().eEVOfile), missing);
        QVERIFY2(answerer.texts.front().startsWith(QStringLiteral("Cannot open file \"") + missing +
                                                   QStringLiteral("\". No such file")),
                 qPrintable(answerer.texts.front()));
        QVERIFY(w->controls().bbEVO->isEnabled());
        QVERIFY(logLines(*w).contains(QStringLiteral("Opening file FEATURE_1.EVO")));
        QVERIFY(!w->commandRunning());
    }

    void dropTakesTheFirstFile() {
        const SampleFile vob = dvdSample("dvd_mpeg2_ac3.vob");
        if (vob.path.empty()) QSKIP(vob.skipReason.c_str());
        const QString dvdVob = QFile::decodeName(QByteArray::fromStdString(vob.path));
        auto w = startWindow();
        QVERIFY(w);
        const Controls& c = w->controls();
        drop(*w, {dvdVob, Feature1});
        settle(*w);
        QCOMPARE(c.eEVOfile->text(), dvdVob);
        QCOMPARE(c.cbVideo[0]->text(), QStringLiteral("MPEG-2.stream.0"));
        QCOMPARE(c.cbAudio[0]->text(), QStringLiteral("DD.stream.00"));
        // A ".vob" source offers Demux only.
        QVERIFY(c.bDemux->isEnabled());
        QVERIFY(!c.bRebuild->isEnabled());

        // Other extensions, ".AOB" included, are ignored.
        const QString ignored = work_.path() + QStringLiteral("/AUDIO_TS/ATS_01_1.AOB");
        drop(*w, {ignored, Feature1});
        drop(*w, {work_.path() + QStringLiteral("/notes.txt")});
        settle(*w);
        QCOMPARE(c.eEVOfile->text(), dvdVob);

        // A playlist fills the playlist field; without "Auto read" nothing is read.
        clickBox(c.cbAutoRead);
        drop(*w, {playlist_});
        settle(*w);
        QCOMPARE(c.eXPLfile->text(), playlist_);
        QVERIFY(c.bReadXPL->isEnabled());
        QVERIFY(c.mXPL->toPlainText().isEmpty());
    }

    void playlistReadAndChaptersWrittenThroughTheWindow() {
        auto w = startWindow({Feature1});
        QVERIFY(w);
        const Controls& c = w->controls();
        const QString out = work_.path() + QStringLiteral("/chapters");
        QVERIFY(QDir().mkpath(out));
        typeOutputFolder(*w, out);
        drop(*w, {playlist_});
        settle(*w);
        QCOMPARE(c.PageControl->currentIndex(), 4);
        QVERIFY(!c.mXPL->toPlainText().isEmpty());
        QCOMPARE(c.tvXPL->topLevelItem(0)->text(0), QStringLiteral("Info"));
        QVERIFY(c.tvXPL->topLevelItem(4)->childCount() > 0); // the chapters
        QVERIFY(!c.mChapter->toPlainText().isEmpty());
        QVERIFY(c.bWriteChaps->isEnabled());
        QTest::mouseClick(c.bWriteChaps, Qt::LeftButton);
        QVERIFY(QFileInfo(out + QStringLiteral("/FEATURE_1_FEATURE_2.chapters.txt")).size() > 0);
    }

    // "Mux into MKV after Demux": Demux writes its streams, then the MKV of
    // the same streams named by the playlist title on the XPL page.
    void demuxEndsWithTheMkvWhenTicked() {
        if (QStandardPaths::findExecutable(QStringLiteral("mkvmerge")).isEmpty())
            QSKIP("mkvmerge is not installed");
        auto w = startWindow();
        QVERIFY(w);
        const Controls& c = w->controls();
        const QString out = work_.path() + QStringLiteral("/mkv");
        QVERIFY(QDir().mkpath(out));
        c.PageControl->setCurrentIndex(5);
        typeOutputFolder(*w, out);
        clickBox(c.cbMuxMKV);
        drop(*w, {Feature1});
        settle(*w);
        drop(*w, {QStringLiteral(TARNWICK_SAMPLES "/DISC/ADV_OBJ/VPLST000.XPL")});
        settle(*w);
        QCOMPARE(c.tvXPL->topLevelItem(0)->text(0), QStringLiteral("Info"));
        // Read EVO again: the boxes take the playlist's names.
        QTest::mouseClick(c.bReadEVO, Qt::LeftButton);
        QVERIFY(c.bDemux->isEnabled());
        QTest::mouseClick(c.bDemux, Qt::LeftButton);
        QVERIFY2(QFileInfo(out + QStringLiteral("/FEATURE_1_FEATURE_2.H.264.stream.0.mpv")).size() >
                     0,
                 qPrintable(logLines(*w).join(QLatin1Char('\n'))));
        const QString mkv = out + QStringLiteral("/Tarnwick Sample.mkv");
        QVERIFY(QFileInfo(mkv).size() > 0);
        QVERIFY(logLines(*w).contains(QStringLiteral("Muxed into ") + mkv));
        QCOMPARE(c.panels[0]->text(), QStringLiteral(" Ready"));
        // Only the MKV, the streams and the subpicture beside it are left.
        const QStringList work = QDir(out).entryList({QStringLiteral("*streams-*")}, QDir::Dirs);
        QVERIFY2(work.isEmpty(), qPrintable(work.join(QLatin1Char(' '))));
        QVERIFY(!holdsOpen(out));
    }

    void cancelWhileOnlyReadingAsksNothing() {
        const QString source = writeLargeSource(work_.path(), QStringLiteral("LARGE.EVO"), 10);
        auto w = startWindow();
        QVERIFY(w);
        chooseSource(*w, source);
        MessageBoxAnswerer answerer(QMessageBox::Yes);
        bool cancelOffered = false;
        atNextPump([&] {
            cancelOffered = w->controls().bCancel->isEnabled();
            QTest::mouseClick(w->controls().bCancel, Qt::LeftButton);
        });
        QTest::mouseClick(w->controls().bReadEVO, Qt::LeftButton);
        QVERIFY(cancelOffered);
        QVERIFY(w->run().cancelRequested);
        QVERIFY(answerer.texts.isEmpty());
        const QStringList log = logLines(*w);
        QVERIFY(!log.contains(QStringLiteral("Cancelled.")));
        QVERIFY(log.contains(QStringLiteral("Done.")));
        QVERIFY(w->controls().cbVideo[0]->isChecked());
        QVERIFY(!w->controls().bCancel->isEnabled());
    }

    void cancelFromThePumpStopsTheDemux() {
        const QString source = writeLargeSource(work_.path(), QStringLiteral("LARGE.EVO"), 12);
        const QString out = work_.path() + QStringLiteral("/cancelled");
        QVERIFY(QDir().mkpath(out));
        auto w = startWindow();
        QVERIFY(w);
        const Controls& c = w->controls();
        typeOutputFolder(*w, out);
        chooseSource(*w, source);
        QTest::mouseClick(c.bReadEVO, Qt::LeftButton);
        QVERIFY(c.bDemux->isEnabled());

        MessageBoxAnswerer answerer(QMessageBox::Yes);
        bool filesOpenDuringRun = false;
        atNextPump([&] {
            filesOpenDuringRun = holdsOpen(out);
            QTest::mouseClick(c.bCancel, Qt::LeftButton);
        });
        QTest::mouseClick(c.bDemux, Qt::LeftButton);
        QVERIFY(filesOpenDuringRun);
        QCOMPARE(answerer.texts, QStringList({"Are you sure to stop demuxing?"}));
        QVERIFY(logLines(*w).contains(QStringLiteral("Cancelled.")));
        QVERIFY(!holdsOpen(out));
        QVERIFY(!w->run().writingOutput);
        const qint64 video = QFileInfo(out + QStringLiteral("/LARGE.MPEG-2.stream.0.mpv")).size();
        QVERIFY(video > 0);
        QVERIFY(video < (qint64(12) << 20) / 2);
        QVERIFY(c.bDemux->isEnabled());
    }

    void closingDuringReadEndsTheReadAndStartsNoDemux() {
        const QString source = writeLargeSource(work_.path(), QStringLiteral("LARGE.EVO"), 10);
        const QString out = work_.path() + QStringLiteral("/unused");
        QVERIFY(QDir().mkpath(out));
        auto w = startWindow();
        QVERIFY(w);
        typeOutputFolder(*w, out);
        clickBox(w->controls().rbAutoDemux);
        chooseSource(*w, source);
        MessageBoxAnswerer answerer(QMessageBox::Yes);
        bool closedAtOnce = true;
        atNextPump([&] {
            closedAtOnce = w->close();
            QVERIFY(w->isVisible());
        });
        QTest::mouseClick(w->controls().bReadEVO, Qt::LeftButton);
        QVERIFY(!closedAtOnce);
        QVERIFY(answerer.texts.isEmpty());
        QVERIFY(!w->isVisible());
        QVERIFY(QDir(out).isEmpty());
        QCOMPARE(settings_->value("AutoDemux"), QStringLiteral("1"));
        QCOMPARE(settings_->value("Workdir"), out);
    }

    void closingDuringDemuxAnsweredNoKeepsItRunning() {
        const QString source = writeLargeSource(work_.path(), QStringLiteral("LARGE.EVO"), 10);
        const QString out = work_.path() + QStringLiteral("/kept");
        QVERIFY(QDir().mkpath(out));
        auto w = startWindow();
        QVERIFY(w);
        typeOutputFolder(*w, out);
        chooseSource(*w, source);
        QTest::mouseClick(w->controls().bReadEVO, Qt::LeftButton);
        MessageBoxAnswerer answerer(QMessageBox::No);
        atNextPump([&] { QVERIFY(!w->close()); });
        QTest::mouseClick(w->controls().bDemux, Qt::LeftButton);
        QCOMPARE(answerer.texts, QStringList({"Are you sure to stop demuxing?"}));
        QVERIFY(w->isVisible());
        QVERIFY(!logLines(*w).contains(QStringLiteral("Cancelled.")));
        const qint64 video = QFileInfo(out + QStringLiteral("/LARGE.MPEG-2.stream.0.mpv")).size();
        QVERIFY(video > (qint64(10) << 20) * 7 / 8);
        QVERIFY(settings_->read().isEmpty());
        QVERIFY(w->close());
        QVERIFY(!settings_->read().isEmpty());
    }

    void browseButtonsChooseFilesAndFolders() {
        auto w = startWindow();
        QVERIFY(w);
        const Controls& c = w->controls();
        {
            FileDialogAnswerer answerer(Feature1);
            QTest::mouseClick(c.bbEVO, Qt::LeftButton);
            QCOMPARE(answerer.titles, QStringList({"Choose the EVO file to demux"}));
        }
        QCOMPARE(c.eEVOfile->text(), Feature1);
        QCOMPARE(w->state().paths.EVOdir,
                 QFile::encodeName(QFileInfo(Feature1).path() + "/").toStdString());
        // "Auto read" read the chosen file.
        QCOMPARE(c.cbAudio[3]->text(), QStringLiteral("DD+.stream.03"));
        QVERIFY(logLines(*w).contains(QStringLiteral("Opening file FEATURE_1.EVO")));

        // The next browse starts in the source's folder.
        {
            FileDialogAnswerer answerer{QString()};
            QTest::mouseClick(c.bbEVO, Qt::LeftButton);
            QCOMPARE(answerer.startFolders, QStringList({QFileInfo(Feature1).absolutePath()}));
        }
        QCOMPARE(c.eEVOfile->text(), Feature1);

        const QString folder = work_.path();
        {
            FileDialogAnswerer answerer(folder);
            QTest::mouseClick(c.bbWorkdir, Qt::LeftButton);
            QCOMPARE(answerer.titles, QStringList({"Select a directory"}));
        }
        QCOMPARE(c.eWorkdir->text(), folder);
        {
            // Cancelling keeps a folder that exists ...
            FileDialogAnswerer answerer{QString()};
            QTest::mouseClick(c.bbWorkdir, Qt::LeftButton);
        }
        QCOMPARE(c.eWorkdir->text(), folder);
        typeOutputFolder(*w, folder + QStringLiteral("/nowhere"));
        {
            // ... and empties a field that names no folder.
            FileDialogAnswerer answerer{QString()};
            QTest::mouseClick(c.bbWorkdir, Qt::LeftButton);
        }
        QCOMPARE(c.eWorkdir->text(), QString());
        QVERIFY(w->state().options.eWorkdir.empty());

        clickBox(c.cbAutoRead);
        {
            FileDialogAnswerer answerer(playlist_);
            QTest::mouseClick(c.bbXPL, Qt::LeftButton);
        }
        QCOMPARE(c.eXPLfile->text(), QDir::cleanPath(playlist_));
        QVERIFY(c.mXPL->toPlainText().isEmpty());
    }

    void noSecondCommandStartsWhileOneRuns() {
        const QString source = writeLargeSource(work_.path(), QStringLiteral("LARGE.EVO"), 10);
        const QString out = work_.path() + QStringLiteral("/single");
        QVERIFY(QDir().mkpath(out));
        auto w = startWindow();
        QVERIFY(w);
        const Controls& c = w->controls();
        typeOutputFolder(*w, out);
        chooseSource(*w, source);
        QTest::mouseClick(c.bReadEVO, Qt::LeftButton);
        w->state().eXPLfile = QFile::encodeName(playlist_).toStdString();
        XPLadj(w->state());
        w->refresh();

        FileDialogAnswerer answerer(Feature1);
        bool buttonsOffered = true;
        bool dropAccepted = true;
        atNextPump([&] {
            buttonsOffered = c.bReadXPL->isEnabled() || c.bbEVO->isEnabled() ||
                             c.bReadEVO->isEnabled() || c.bDemux->isEnabled();
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(Feature1)});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                                  Qt::NoModifier);
            QCoreApplication::sendEvent(w.get(), &enter);
            dropAccepted = enter.isAccepted();
            w->WMDropFiles({Feature1});
            w->bReadXPLClick();
            w->bbEVOClick();
            w->bReadEVOClick();
        });
        QTest::mouseClick(c.bDemux, Qt::LeftButton);
        QVERIFY(!buttonsOffered);
        QVERIFY(!dropAccepted);
        QVERIFY(answerer.titles.isEmpty());
        QCOMPARE(c.eEVOfile->text(), source);
        QVERIFY(c.mXPL->toPlainText().isEmpty());
        QCOMPARE(logLines(*w).count(QStringLiteral("Opening file LARGE.EVO")), 2);
        const qint64 video = QFileInfo(out + QStringLiteral("/LARGE.MPEG-2.stream.0.mpv")).size();
        QVERIFY(video > (qint64(10) << 20) * 7 / 8);
        // Once the command is over, the buttons are back.
        QVERIFY(c.bReadXPL->isEnabled() && c.bbEVO->isEnabled() && c.bReadEVO->isEnabled());
    }

    void longDroppedPathIsCut() {
        auto w = startWindow();
        QVERIFY(w);
        clickBox(w->controls().cbAutoRead);
        const QString head = QStringLiteral("/") + QString(254, QLatin1Char('d')) + ".EVO";
        QCOMPARE(head.size(), 259);
        drop(*w, {head + QStringLiteral("/more/FEATURE_1.EVO")});
        settle(*w);
        QCOMPARE(w->controls().eEVOfile->text(), head);
    }

    void autoClearAndTheDefaultButton() {
        auto w = startWindow();
        QVERIFY(w);
        const Controls& c = w->controls();
        w->logSink().log("an old line");
        clickBox(c.cbAutoClear);
        chooseSource(*w, Feature1);
        // Enter in a field that does not take it presses "Read EVO".
        c.PageControl->setCurrentIndex(5);
        c.eWorkdir->setFocus();
        QTest::keyClick(c.eWorkdir, Qt::Key_Return);
        const QStringList log = logLines(*w);
        QCOMPARE(log.front(), QStringLiteral("Opening file FEATURE_1.EVO"));
        QVERIFY(!log.contains(QStringLiteral("an old line")));
    }

private:
    std::unique_ptr<TemporarySettings> settings_;
    std::unique_ptr<DialogWatchdog> watchdog_;
    QTemporaryDir work_;
    // A retail-shaped playlist whose feature is FEATURE_1 + FEATURE_2.
    QString playlist_;
};

QTEST_MAIN(WindowCommandsTest)
#include "window_commands_test.moc"
