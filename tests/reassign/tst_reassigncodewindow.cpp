#include "OutputCapture.h"

#include "TestSupport.h"
#include "browser/MyImageBrowserView.h"
#include "browser/MyImageBrowserViewController.h"
#include "platform/Preferences.h"
#include "reassign/ReAssignCodeWindowController.h"
#include "station/Clock.h"

#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;

namespace {
QVariantMap row(const QString &code, const QString &name)
{
    return {{"code", code}, {"name", name}};
}

} // namespace

// The reassignment sheet: set-up, the assign button, the alerts, the move and
// its change record, revert.
class TestReAssignCodeWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir mRoot;
    std::unique_ptr<ScopedTestClock> mClock;
    QString mDay;
    QList<AlertRequest> mAlerts;
    int mAnswer = 0;

    QString codeFolder(const QString &code) const { return QDir(mDay).filePath(code); }

    QStringList photos(const QString &code, int count)
    {
        QStringList paths;
        for (int i = 1; i <= count; ++i) {
            const QString path = QDir(codeFolder(code)).filePath(QString("IMG_%1.jpg").arg(i));
            if (!test::writeJpeg(path, 80, 60, QColor::fromHsv(i * 30, 200, 200)))
                qFatal("cannot write a photo");
            paths << path;
        }
        return paths;
    }

    // A loaded sheet for old code A100 with its photos, the popup offering B200 and C300.
    std::unique_ptr<ReAssignCodeWindowController> sheet(const QStringList &images)
    {
        auto s = std::make_unique<ReAssignCodeWindowController>();
        s->setAlertPresenter([this](QWidget *, const AlertRequest &alert) {
            mAlerts << alert;
            return mAnswer;
        });
        s->setupWindow(QVariantMap{
            {"oldcode", "A100"},
            {"currentinfo", row("A100", "Smith wedding")},
            {"arraycontroller", QVariantList{row("C300", "Zed party"), row("A100", "Smith wedding"),
                                             row("B200", "Jones party")}},
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
        QDir(mRoot.path()).removeRecursively();
        QDir().mkpath(mRoot.path());
        QDir(QDir::home().filePath(".Corvel")).removeRecursively();
        Preferences::standard().setValue("prefSlideShowPath", mRoot.path());
        Preferences::standard().remove("prefPathToAlternateDateFolder");
        // 29 December 2025 lies in week 1 of the week-based year 2026.
        mClock =
            std::make_unique<ScopedTestClock>(QDateTime(QDate(2025, 12, 29), QTime(10, 30, 5)));
        mDay = QDir(mRoot.path()).filePath("2025-12-29");
        for (const char *code : {"A100", "B200", "C300"})
            QDir().mkpath(codeFolder(code));
        mAlerts.clear();
        mAnswer = 0;
    }
    void cleanup() { mClock.reset(); }

    void alertsKeepTheSheetOpen()
    {
        const QStringList images = photos("A100", 2);
        auto s = sheet(images);
        QSignalSpy finished(s.get(), &QDialog::finished);

        // Still the prompt entry, whose code is the old one.
        dragAcross(*s, {0});
        s->doEndSheet(s->ibAssignButton());
        QCOMPARE(mAlerts.size(), 1);
        QCOMPARE(mAlerts[0].messageText, "PLEASE SELECT A NEW Party Room/Code !!");
        QCOMPARE(mAlerts[0].informativeText,
                 "You must pick a party room/code that is different from the original!");
        QCOMPARE(mAlerts[0].buttons, QStringList{"OK"});

        s->revertAll();
        s->ibPopupButton()->setCurrentIndex(2);
        s->doEndSheet(s->ibAssignButton());
        QCOMPARE(mAlerts.size(), 2);
        QCOMPARE(mAlerts[1].messageText, "NO IMAGES to RE-ASSIGN !!");
        QCOMPARE(mAlerts[1].informativeText,
                 "You did not add/move any images to be re-assigned.\nNothing has been changed.");

        dragAcross(*s, {1});
        mAnswer = 0; // CANCEL
        s->doEndSheet(s->ibAssignButton());
        QCOMPARE(mAlerts.size(), 3);
        QCOMPARE(mAlerts[2].messageText, "ARE YOU SURE ???");
        QCOMPARE(mAlerts[2].buttons, (QStringList{"CANCEL", "YES - RE-ASSIGN"}));
        QCOMPARE(mAlerts[2].informativeText,
                 "Are you sure you want to re-assign photos\n\nFROM\nOld Code:\t Smith wedding\n"
                 "\t\t [A100]\nTO\nNew Code: Zed party\n\t\t [C300]\n\n");
        QCOMPARE(finished.size(), 0);
        QVERIFY(QFileInfo::exists(images[0]) && QFileInfo::exists(images[1]));
        QVERIFY(!QFileInfo::exists(QDir::home().filePath(".Corvel/CodeChanges")));

        // Any other button closes with the stop response.
        s->doEndSheet(s->cancelButton());
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toInt(), ReAssignCodeWindowController::kStopResponse);
    }

    void confirmedMoveSkipsAFailingMiddlePhotoAndRecordsTheRest()
    {
        const QStringList images = photos("A100", 4);
        // The new code already holds a photo named like the middle one.
        QVERIFY(test::writeJpeg(QDir(codeFolder("B200")).filePath("IMG_2.jpg"), 20, 20, Qt::blue));
        const QByteArray theirs = test::readFile(QDir(codeFolder("B200")).filePath("IMG_2.jpg"));
        auto s = sheet(images);
        QSignalSpy finished(s.get(), &QDialog::finished);
        dragAcross(*s, {0, 1, 2});
        s->ibPopupButton()->setCurrentIndex(1);
        mAnswer = 1; // YES - RE-ASSIGN
        OutputCapture log;
        s->doEndSheet(s->ibAssignButton());
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toInt(), ReAssignCodeWindowController::kReassigned);

        QCOMPARE(QDir(codeFolder("B200")).entryList(QDir::Files),
                 (QStringList{"IMG_1.jpg", "IMG_2.jpg", "IMG_3.jpg"}));
        QCOMPARE(test::readFile(QDir(codeFolder("B200")).filePath("IMG_2.jpg")), theirs);
        QCOMPARE(QDir(codeFolder("A100")).entryList(QDir::Files),
                 (QStringList{"IMG_2.jpg", "IMG_4.jpg"}));
        QVERIFY(log.text().contains("moveItemAtPath FROM: [" + images[1].toUtf8() + "]"));

        const QString records = QDir::home().filePath(".Corvel/CodeChanges");
        QCOMPARE(QDir(records).entryList(QDir::Files),
                 QStringList{"20251229103005_reassigned.xml"});
        QCOMPARE(s->lastRecordPath(), records + "/20251229103005_reassigned.xml");
        QCOMPARE(test::readFile(s->lastRecordPath()),
                 QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
                            "<data type=\"changecode\">\n"
                            "\t<oldcode date=\"2025-12-29\">\n"
                            "\t\tA100\n"
                            "\t</oldcode>\n"
                            "\t<newcode date=\"2025-12-29\">\n"
                            "\t\tB200\n"
                            "\t</newcode>\n"
                            "\t<files>\n"
                            "\t\t<filename>IMG_1.jpg</filename>\n"
                            "\t\t<filename>IMG_3.jpg</filename>\n"
                            "\t</files>\n"
                            "</data>\n"));
    }

    void revertPutsTheMovedPhotosBackAtTheEnd()
    {
        const QStringList images = photos("A100", 5);
        auto s = sheet(images);
        // Dragged in two goes: the second browser holds 4 then 2.
        dragAcross(*s, {3});
        dragAcross(*s, {1});
        QCOMPARE(s->getChangedImageList(), (QStringList{images[3], images[1]}));
        s->revertAll();
        QCOMPARE(s->fImageBrowserViewController()->imagePaths(),
                 (QStringList{images[0], images[2], images[4], images[3], images[1]}));
        QVERIFY(s->fImageBrowserViewController2()->images().isEmpty());
        QCOMPARE(s->fValue1(), "5");
        QCOMPARE(s->fValue2(), "0");
    }
    void setupOrdersPopupAndDisablesOldCode()
    {
        ReAssignCodeWindowController s;
        s.setupWindow(
            QVariantMap{{"oldcode", "a100"},
                        {"arraycontroller", QVariantList{row("C300", "alpha"), row("A100", "Smith"),
                                                         row("B200", "Zed"), row("D400", "Beta"),
                                                         QVariantMap{{"name", "Apex"}}}},
                        {"imageslist", QStringList()}});
        // Prompt first, then by name with letter case significant (capitals first).
        QStringList names, codes;
        for (const QVariant &e : s.fArrayController()) {
            names << e.toMap().value("name").toString();
            codes << e.toMap().value("code").toString();
        }
        QCOMPARE(names, (QStringList{ReAssignCodeWindowController::kPromptName, "Apex", "Beta",
                                     "Zed", "alpha"}));
        QCOMPARE(codes, (QStringList{"A100", "", "D400", "B200", "C300"}));
        QCOMPARE(s.fSelectedInfo().value("code").toString(), "A100");
        s.awakeFromNib();
        auto *model = qobject_cast<QStandardItemModel *>(s.ibPopupButton()->model());
        QVERIFY(model);
        QCOMPARE(model->rowCount(), 5);
        QVERIFY(!model->item(0)->isEnabled());
        QCOMPARE(model->item(0)->foreground().color(), QColor(Qt::red));
        for (int i = 1; i < 5; ++i)
            QVERIFY(model->item(i)->isEnabled());
        QVERIFY(!s.ibAssignButton()->isEnabled());
        QCOMPARE(s.ibAssignButton()->property("alternateTitle").toString(), "continue");
        QCOMPARE(s.zoomSlider(1)->property("tag").toInt(), 1);

        ReAssignCodeWindowController ignored;
        ignored.setupWindow(QStringLiteral("not a dictionary"));
        QVERIFY(ignored.fArrayController().isEmpty());
    }
    void assignButtonNeedsANewCodeAndPhotos()
    {
        auto s = sheet(photos("A100", 3));
        QCOMPARE(s->fValue1(), "3");
        QCOMPARE(s->fValue2(), "0");
        dragAcross(*s, {0, 2});
        // Moved, not copied; the counts follow each drag.
        QCOMPARE(s->fImageBrowserViewController()->images().size(), 1);
        QCOMPARE(s->fValue1(), "1");
        QCOMPARE(s->fValue2(), "2");
        QVERIFY(!s->ibAssignButton()->isEnabled()); // still the prompt entry
        s->ibPopupButton()->setCurrentIndex(1);
        QCOMPARE(s->fSelectedInfo().value("code").toString(), "B200");
        QVERIFY(s->ibAssignButton()->isEnabled());
        s->revertAll();
        QCOMPARE(s->fValue2(), "0");
        QVERIFY(!s->ibAssignButton()->isEnabled());
    }
};

QTEST_MAIN(TestReAssignCodeWindow)
#include "tst_reassigncodewindow.moc"
