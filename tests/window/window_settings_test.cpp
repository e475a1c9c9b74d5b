// Settings through the window and a real INI file: the first start writes
// every value, stored values are applied, a maximised window keeps its earlier
// geometry, a value of the wrong type is reported and ends the start-up.

#include "window_test_support.h"

#include "int_edit.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTreeWidget>

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

const QStringList AllValues = {"WindowState", "Top",      "Left",      "Width",       "Height",
                               "TreeWidth",   "AudioExt", "VideoExt",  "SubExt",      "Workdir",
                               "EVOdir",      "XPLdir",   "Continue",  "FastCheck",   "CountFrames",
                               "Details",     "AutoRead", "AutoDemux", "AutoRebuild", "AutoClear",
                               "FastSize",    "ADV_PCK",  "MuxMKV"};

QStringList storedNames(const TemporarySettings& settings) {
    QStringList names;
    for (const QString& line : settings.read().split(QLatin1Char('\n')))
        if (line.contains(QLatin1Char('='))) names.append(line.left(line.indexOf('=')));
    return names;
}

} // namespace

class WindowSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { watchdog_ = std::make_unique<DialogWatchdog>(); }
    void cleanup() { watchdog_.reset(); }

    void firstStartWritesEveryValue() {
        TemporarySettings settings;
        auto w = startWindow();
        QVERIFY(w);
        QCOMPARE(settings.read(), QString());
        QVERIFY(w->close());
        QStringList names = storedNames(settings);
        QStringList expected = AllValues;
        names.sort();
        expected.sort();
        QCOMPARE(names, expected);
        QCOMPARE(settings.value("WindowState"), QStringLiteral("0"));
        QCOMPARE(settings.value("Width"), QString::number(w->frameGeometry().width()));
        QCOMPARE(settings.value("Height"), QString::number(w->frameGeometry().height()));
        QCOMPARE(settings.value("TreeWidth"), QStringLiteral("96"));
        QCOMPARE(settings.value("VideoExt"), QStringLiteral("mpv"));
        QCOMPARE(settings.value("AudioExt"), QStringLiteral("mpa"));
        QCOMPARE(settings.value("SubExt"), QStringLiteral("sup"));
        QCOMPARE(settings.value("Workdir"), QString());
        QCOMPARE(settings.value("Continue"), QStringLiteral("1"));
        QCOMPARE(settings.value("AutoDemux"), QStringLiteral("0"));
        QCOMPARE(settings.value("AutoClear"), QStringLiteral("0"));
        QCOMPARE(settings.value("FastSize"), QStringLiteral("300"));
        QCOMPARE(settings.value("ADV_PCK"), QStringLiteral("0"));
        QCOMPARE(settings.value("MuxMKV"), QStringLiteral("0"));
    }

    void storedValuesAreAppliedAndWrittenBack() {
        TemporarySettings settings;
        settings.write({"Width=760", "Height=420", "Top=30", "Left=40", "TreeWidth=140",
                        "VideoExt=m2v", "Workdir=/tmp/out put", "EVOdir=/discs/HVDVD_TS/",
                        "Continue=0", "FastCheck=false", "AutoRead=true", "AutoDemux=1",
                        "AutoRebuild=0", "AutoClear=1", "FastSize=12", "ADV_PCK=1", "MuxMKV=1"});
        auto w = startWindow();
        QVERIFY(w);
        const Controls& c = w->controls();
        QCOMPARE(w->frameGeometry().size(), QSize(760, 420));
        QCOMPARE(w->frameGeometry().topLeft(), QPoint(40, 30));
        QCOMPARE(c.eVideoExt->text(), QStringLiteral("m2v"));
        QCOMPARE(c.eWorkdir->text(), QStringLiteral("/tmp/out put"));
        QCOMPARE(w->state().paths.EVOdir, std::string("/discs/HVDVD_TS/"));
        QVERIFY(!c.cbContinue->isChecked());
        QVERIFY(!c.cbFastCheck->isChecked());
        QVERIFY(!c.ieFastSize->isEnabled());
        QCOMPARE(c.ieFastSize->text(), QStringLiteral("12"));
        QVERIFY(c.cbAutoRead->isChecked());
        QVERIFY(c.rbAutoDemux->isChecked());
        QVERIFY(!c.rbNoAuto->isChecked());
        QVERIFY(c.cbAutoClear->isChecked());
        QVERIFY(c.cbRBAdvanced->isChecked());
        QVERIFY(c.cbMuxMKV->isChecked());
        c.PageControl->setCurrentIndex(4);
        QTRY_COMPARE(c.tvXPL->width(), 140);

        QVERIFY(w->close());
        QCOMPARE(settings.value("Width"), QStringLiteral("760"));
        QCOMPARE(settings.value("Left"), QStringLiteral("40"));
        QCOMPARE(settings.value("TreeWidth"), QStringLiteral("140"));
        QCOMPARE(settings.value("Workdir"), QStringLiteral("/tmp/out put"));
        QCOMPARE(settings.value("FastCheck"), QStringLiteral("0"));
        QCOMPARE(settings.value("AutoDemux"), QStringLiteral("1"));
        QCOMPARE(settings.value("FastSize"), QStringLiteral("12"));
        QCOMPARE(settings.value("MuxMKV"), QStringLiteral("1"));
    }

    void maximisedWindowKeepsTheEarlierGeometry() {
        TemporarySettings settings;
        settings.write({"Width=700", "Height=400", "Top=20", "Left=10"});
        {
            auto w = startWindow();
            QVERIFY(w);
            w->showMaximized();
            QTRY_VERIFY(w->isMaximized());
            QVERIFY(w->close());
        }
        QCOMPARE(settings.value("WindowState"), QStringLiteral("2"));
        QCOMPARE(settings.value("Width"), QStringLiteral("700"));
        QCOMPARE(settings.value("Height"), QStringLiteral("400"));
        QCOMPARE(settings.value("Top"), QStringLiteral("20"));
        QCOMPARE(storedNames(settings).size(), AllValues.size());

        auto again = startWindow();
        QVERIFY(again);
        QTRY_VERIFY(again->isMaximized());
        const QSize frame = again->frameGeometry().size() - again->geometry().size();
        QCOMPARE(again->normalGeometry().size() + frame, QSize(700, 400));
    }

    void minimisedWindowComesBackMinimised() {
        TemporarySettings settings;
        settings.write({"WindowState=1", "Width=700", "Height=400"});
        auto w = startWindow();
        QVERIFY(w);
        QTRY_VERIFY(w->isMinimized());
        QVERIFY(w->close());
        QCOMPARE(settings.value("WindowState"), QStringLiteral("1"));
        QCOMPARE(settings.value("Width"), QStringLiteral("700"));
    }

    void emptyFastSizeIsStoredAsZero() {
        TemporarySettings settings;
        auto w = startWindow();
        QVERIFY(w);
        w->controls().ieFastSize->setFocus();
        w->controls().ieFastSize->selectAll();
        QTest::keyClick(w->controls().ieFastSize, Qt::Key_Backspace);
        QVERIFY(w->close());
        QCOMPARE(settings.value("FastSize"), QStringLiteral("0"));
    }

    void wrongTypeIsReportedAndEndsTheStartUp() {
        TemporarySettings settings;
        settings.write({"Height=380", "VideoExt=m2v", "Continue=maybe", "FastSize=12"});
        const QString source = QStringLiteral(TARNWICK_SAMPLES "/DISC/HVDVD_TS/FEATURE_1.EVO");
        MessageBoxAnswerer answered(QMessageBox::Ok);
        auto w = startWindow({source});
        QVERIFY(w);
        QCOMPARE(answered.texts, QStringList({"Invalid data type for 'Continue'"}));
        // The values before it in the read order stay applied; later ones are
        // not read.
        QCOMPARE(w->frameGeometry().height(), 380);
        QCOMPARE(w->controls().eVideoExt->text(), QStringLiteral("m2v"));
        QCOMPARE(w->controls().ieFastSize->text(), QStringLiteral("300"));
        // The boxes keep their layout captions and the file is not read.
        QCOMPARE(w->controls().cbVideo[0]->text(), QStringLiteral("Video stream"));
        QVERIFY(w->state().eEVOfile.empty());
        QVERIFY(w->controls().reMessage->toPlainText().isEmpty());
    }

private:
    std::unique_ptr<DialogWatchdog> watchdog_;
};

QTEST_MAIN(WindowSettingsTest)
#include "window_settings_test.moc"
