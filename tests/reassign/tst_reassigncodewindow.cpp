#include "OutputCapture.h"

#include "TestSupport.h"
#include "browser/MyImageBrowserViewController.h"
#include "platform/Preferences.h"
#include "reassign/ReAssignCodeWindowController.h"
#include "station/Clock.h"

#include <QComboBox>
#include <QListView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QtTest>

using namespace kivo;

namespace {
QVariantMap row(const QString &code, const QString &name, const QString &folder = {})
{
    return {{"code", code}, {"name", name}, {"folderPath", folder}};
}

} // namespace

// The reassignment sheet: set-up, the assign button, the alerts, the move and
// its change record, revert. The console shows 28 December when the sheet opens.
class TestReAssignCodeWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    // 29 December 2025 lies in week 1 of the week-based year 2026.
    ScopedTestClock m_clock{QDateTime(QDate(2025, 12, 29), QTime(10, 30, 5))};
    QString m_day;
    QList<AlertRequest> m_alerts;
    int m_answer = 0;

    QString codeFolder(const QString &code, const QString &day = {}) const
    {
        return (day.isEmpty() ? m_day : m_root.filePath(day)) + "/" + code;
    }
    QString records() const { return QDir::home().filePath(".Corvel/CodeChanges"); }

    QStringList photos(int count)
    {
        QStringList paths;
        for (int i = 1; i <= count; ++i) {
            paths << codeFolder("A100") + QString("/IMG_%1.jpg").arg(i);
            test::writeJpeg(paths.last(), 80, 60);
        }
        return paths;
    }

    // A loaded sheet for old code A100 with its photos; the popup offers B200 at
    // 2 and C300 at 3.
    std::unique_ptr<ReAssignCodeWindowController> sheet(const QStringList &images)
    {
        auto s = std::make_unique<ReAssignCodeWindowController>();
        s->setAlertPresenter([this, s = s.get()](QWidget *, const AlertRequest &alert) {
            m_alerts << alert;
            s->cancelButton()->click(); // as assistive technology can: waits for the alert
            return m_answer;
        });
        s->setupWindow(QVariantMap{
            {"oldcode", "A100"},
            {"currentinfo", row("A100", "Smith wedding")},
            {"arraycontroller", QVariantList{row("C300", "Zed party"), row("A100", "Smith wedding"),
                                             row("B200", "Jones party", codeFolder("b200")),
                                             row("D400", "alpha"), QVariantMap{{"name", "Apex"}}}},
            {"imageslist", images}});
        s->awakeFromNib();
        if (!QTest::qWaitFor(
                [&] { return s->fImageBrowserViewController()->images().size() == images.size(); }))
            qFatal("the first browser did not load");
        return s;
    }

    // Drags the first browser's items at rows into the second browser.
    static void dragAcross(ReAssignCodeWindowController &s, const QList<int> &rows)
    {
        MyImageBrowserViewController *from = s.fImageBrowserViewController();
        QStringList paths;
        for (int r : rows)
            paths << from->images().at(r).path;
        auto *to = s.fImageBrowserViewController2();
        to->performDragOperation(paths, int(to->images().size()), from->imageBrowser());
    }

private slots:
    void init()
    {
        QDir(QDir::home().filePath(".Corvel")).removeRecursively();
        Preferences::standard().setValue("prefSlideShowPath", m_root.path());
        m_day = m_root.filePath("2025-12-28");
        Preferences::standard().setValue("prefPathToAlternateDateFolder", m_day);
        for (const char *day : {"2025-12-28", "2025-12-29"}) {
            QDir(m_root.filePath(day)).removeRecursively();
            for (const char *code : {"A100", "b200", "C300"})
                QDir().mkpath(codeFolder(code, day));
        }
        m_alerts.clear();
        m_answer = 0;
    }

    void alertsKeepTheSheetOpen()
    {
        const QStringList images = photos(2);
        auto s = sheet(images);
        QSignalSpy finished(s.get(), &QDialog::finished);
        dragAcross(*s, {0});
        s->doEndSheet(s->ibAssignButton());     // still the prompt entry, whose code is the old one
        s->ibPopupButton()->setCurrentIndex(1); // a row without a code
        QVERIFY(!s->ibAssignButton()->isEnabled());
        s->doEndSheet(s->ibAssignButton());
        s->revertAll();
        s->ibPopupButton()->setCurrentIndex(3);
        s->doEndSheet(s->ibAssignButton()); // nothing to move
        dragAcross(*s, {1});
        m_answer = 0; // CANCEL
        s->doEndSheet(s->ibAssignButton());
        QStringList alerts;
        for (const AlertRequest &alert : m_alerts)
            alerts << alert.messageText + "|" + alert.informativeText + "|" +
                          alert.buttons.join('|');
        const QString please = "PLEASE SELECT A NEW Party Room/Code !!|You must pick a party "
                               "room/code that is different from the original!|OK";
        QCOMPARE(alerts,
                 (QStringList{please, please,
                              "NO IMAGES to RE-ASSIGN !!|You did not add/move any images to be "
                              "re-assigned.\nNothing has been changed.|OK",
                              "ARE YOU SURE ???|Are you sure you want to re-assign photos\n\nFROM\n"
                              "Old Code:\t Smith wedding\n\t\t [A100]\nTO\nNew Code: Zed party\n"
                              "\t\t [C300]\n\n|CANCEL|YES - RE-ASSIGN"}));
        QCOMPARE(finished.size(), 0);
        QVERIFY(QFileInfo::exists(images[0]) && QFileInfo::exists(images[1]));
        QVERIFY(!QFileInfo::exists(records()));

        // A record that cannot be written moves nothing; the operator is told.
        QVERIFY(test::writeFile(records(), ""));
        m_answer = 1; // YES - RE-ASSIGN
        s->doEndSheet(s->ibAssignButton());
        QCOMPARE(m_alerts.last().messageText, "NOTHING RE-ASSIGNED !!");
        QCOMPARE(finished.size(), 0);
        QVERIFY(QFileInfo::exists(images[1]));

        // Any other button closes with the stop response.
        s->doEndSheet(s->cancelButton());
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toInt(), ReAssignCodeWindowController::kStopResponse);
    }

    // The middle photo clashes with one of the new code and one name holds a
    // control character: both stay and the operator is told; the rest move into
    // the new code's row folder (named in another case) of the day the sheet
    // opened on, though the console went back to today.
    void confirmedMoveKeepsItsDayAndSkipsWhatCannotMove()
    {
        QStringList images = photos(4);
        images.insert(1, codeFolder("A100") + "/CTL\x01.jpg");
        QVERIFY(test::writeJpeg(images[1], 20, 20));
        // Qt's listings leave out a name that is not valid UTF-8.
        FILE *bad =
            std::fopen((QFile::encodeName(codeFolder("A100")) + "/BAD\xff.jpg").data(), "w");
        QVERIFY(bad && std::fclose(bad) == 0);
        QVERIFY(test::writeJpeg(codeFolder("b200") + "/IMG_2.jpg", 20, 20, Qt::blue));
        const QByteArray theirs = test::readFile(codeFolder("b200") + "/IMG_2.jpg");
        auto s = sheet(images);
        QTRY_COMPARE(s->notice().section('\n', 1), "BAD\uFFFD.jpg\nCTL\uFFFD.jpg");
        QSignalSpy finished(s.get(), &QDialog::finished);
        dragAcross(*s, {0, 1, 2, 3});
        s->ibPopupButton()->setCurrentIndex(2);
        Preferences::standard().remove("prefPathToAlternateDateFolder");
        m_answer = 1; // YES - RE-ASSIGN
        OutputCapture log;
        s->doEndSheet(s->ibAssignButton());
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toInt(), ReAssignCodeWindowController::kReassigned);
        QCOMPARE(m_alerts.last().messageText, "SOME PHOTOS NOT RE-ASSIGNED !!");
        QCOMPARE(m_alerts.last().informativeText.split('\n').mid(1),
                 (QStringList{"CTL\uFFFD.jpg: its name cannot be written in the change record",
                              "IMG_2.jpg: the new code already has a file of that name"}));

        QCOMPARE(QDir(codeFolder("b200")).entryList(QDir::Files),
                 (QStringList{"IMG_1.jpg", "IMG_2.jpg", "IMG_3.jpg"}));
        QCOMPARE(test::readFile(codeFolder("b200") + "/IMG_2.jpg"), theirs);
        QCOMPARE(QDir(codeFolder("A100")).entryList(QDir::Files),
                 (QStringList{"CTL\x01.jpg", "IMG_2.jpg", "IMG_4.jpg"}));
        QVERIFY(log.text().contains("moveItemAtPath FROM: [" + images[2].toUtf8() + "]"));

        QCOMPARE(QDir(records()).entryList(QDir::Files),
                 QStringList{"20251229103005_reassigned.xml"});
        QCOMPARE(s->lastRecordPath(), records() + "/20251229103005_reassigned.xml");
        // The record (laid out as the change record's own test shows) lists the moved ones.
        const QByteArray record = test::readFile(s->lastRecordPath());
        QVERIFY2(record.contains("\"2025-12-28\">\n\t\tA100\n\t</oldcode>") &&
                     record.contains("\"2025-12-28\">\n\t\tb200\n\t</newcode>") &&
                     record.contains("<files>\n\t\t<filename>IMG_1.jpg</filename>\n\t\t<filename>"
                                     "IMG_3.jpg</filename>\n\t</files>"),
                 record);
    }

    void popupAssignButtonAndRevert()
    {
        const QStringList images = photos(5);
        auto s = sheet(images);
        // The popup: the prompt first (the old code, disabled, red), then by name
        // with letter case significant (capitals first).
        auto *model = qobject_cast<QStandardItemModel *>(s->ibPopupButton()->model());
        QStringList entries;
        for (int i = 0; i < model->rowCount(); ++i)
            entries << s->fArrayController()[i].toMap().value("name").toString() + ":" +
                           s->fArrayController()[i].toMap().value("code").toString() + ":" +
                           QString::number(model->item(i)->isEnabled());
        QCOMPARE(entries,
                 (QStringList{ReAssignCodeWindowController::kPromptName + ":A100:0", "Apex::0",
                              "Jones party:B200:1", "Zed party:C300:1", "alpha:D400:1"}));
        QCOMPARE(model->item(0)->foreground().color(), QColor(Qt::red));
        QCOMPARE(s->fValue1() + "/" + s->fValue2(), "5/0");
        // Dragged in two goes: moved, not copied; the counts follow each drag.
        dragAcross(*s, {3});
        dragAcross(*s, {1});
        // Photos from outside the sheet are refused by both browsers.
        for (auto *browser : {s->fImageBrowserViewController(), s->fImageBrowserViewController2()})
            QVERIFY(!browser->performDragOperation({images[3]}, 0, nullptr));
        QCOMPARE(s->getChangedImageList(), (QStringList{images[3], images[1]}));
        QCOMPARE(s->fImageBrowserViewController()->images().size(), 3);
        QCOMPARE(s->fValue1() + "/" + s->fValue2(), "3/2");
        // The assign button needs a new code and photos to move.
        QVERIFY(!s->ibAssignButton()->isEnabled()); // still the prompt entry
        s->ibPopupButton()->setCurrentIndex(2);
        QCOMPARE(s->fSelectedInfo().value("code").toString(), "B200");
        QVERIFY(s->ibAssignButton()->isEnabled());
        // Revert puts the moved photos back at the end, each once.
        s->revertAll();
        QCOMPARE(s->fImageBrowserViewController()->imagePaths(),
                 (QStringList{images[0], images[2], images[4], images[3], images[1]}));
        QVERIFY(s->fImageBrowserViewController2()->images().isEmpty());
        QCOMPARE(s->fValue1() + "/" + s->fValue2(), "5/0");
        QVERIFY(!s->ibAssignButton()->isEnabled());

        // The old code is matched without regard to case; a set-up that is no
        // dictionary is ignored.
        ReAssignCodeWindowController other, ignored;
        other.setupWindow(QVariantMap{{"oldcode", "c300"},
                                      {"arraycontroller", QVariantList{row("C300", "Zed party")}}});
        QCOMPARE(other.fArrayController().size(), 1);
        QCOMPARE(other.fSelectedInfo().value("code").toString(), "C300");
        ignored.setupWindow(QStringLiteral("not a dictionary"));
        QVERIFY(ignored.fArrayController().isEmpty());
    }
};

QTEST_MAIN(TestReAssignCodeWindow)
#include "tst_reassigncodewindow.moc"
