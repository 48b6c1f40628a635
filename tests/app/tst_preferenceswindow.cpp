#include "app/FolderChooser.h"
#include "app/PasswordSheet.h"
#include "app/PreferencesWindow.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "station/PrefKeys.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;

class TestPreferencesWindow : public QObject
{
    Q_OBJECT
    Preferences &prefs() { return Preferences::standard(); }

    static PasswordGate fixedGate()
    {
        return PasswordGate([] { return QDateTime(QDate(2025, 6, 7), QTime(10, 0)); });
    }

private slots:
    void transitionPopupSetsModeAndStyle_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("style");
        QTest::newRow("none") << "No Transition Effect"
                              << "transitionModeNone"
                              << "No Transition Effect";
        QTest::newRow("random keeps the style") << "Random"
                                                << "transitionModeRandom"
                                                << "push";
    }
    void transitionPopupSetsModeAndStyle()
    {
        QFETCH(QString, title);
        QFETCH(QString, mode);
        QFETCH(QString, style);
        prefs().setValue(keys::prefTransitionStyle, QStringLiteral("push"));
        int told = 0;
        ObserverToken token = NotificationCenter::defaultCenter().addObserver(
            "SlideShowChangeTransitionStyle", [&](const Notification &) { ++told; });
        PreferencesWindow window;
        QComboBox *popup = window.transitionPopup();
        const int index = popup->findText(title);
        QVERIFY(index >= 0);
        popup->setCurrentIndex(index);
        emit popup->activated(index);
        QCOMPARE(prefs().string(keys::prefUseTransitionMode), mode);
        QCOMPARE(prefs().string(keys::prefTransitionStyle), style);
        QCOMPARE(told, 1);
    }

    void passwordSheetKeepsAskingUntilRight()
    {
        PasswordSheet sheet(nullptr, fixedGate());
        QSignalSpy finished(&sheet, &QDialog::finished);
        QSignalSpy wrong(&sheet, &PasswordSheet::wrongPassword);
        sheet.openSheet();
        for (const char *attempt : {"", "739406", "1234567", "7394071"}) {
            sheet.passwordField()->setText(QLatin1String(attempt));
            sheet.continuePasswordWindow();
            QVERIFY(sheet.isVisible());
            QVERIFY(sheet.passwordField()->text().isEmpty());
        }
        QCOMPARE(wrong.size(), 4);
        QVERIFY(finished.isEmpty());
        sheet.passwordField()->setText(QStringLiteral("739407"));
        sheet.continuePasswordWindow();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), PasswordSheet::kContinue);

        sheet.openSheet();
        QVERIFY(sheet.passwordField()->text().isEmpty());
        sheet.reject();
        QCOMPARE(finished.last().at(0).toInt(), PasswordSheet::kCancel);
    }

    // Right password -> folder chooser; accepting stores the triple,
    // cancelling stores nothing.
    void mainFolderBehindThePassword()
    {
        QTemporaryDir folder;
        prefs().setValue(keys::prefSlideShowPath, QStringLiteral("/old"));
        PreferencesWindow window(nullptr, fixedGate());
        window.show();
        window.selectFolder();
        QVERIFY(window.passwordSheet()->isVisible());
        window.passwordSheet()->passwordField()->setText(QStringLiteral("739407"));
        window.passwordSheet()->continuePasswordWindow();
        auto *chooser = window.findChild<QFileDialog *>();
        QVERIFY(chooser);
        QCOMPARE(chooser->fileMode(), QFileDialog::Directory);
        QCOMPARE(chooser->labelText(QFileDialog::Accept), QStringLiteral("Select"));
        chooser->reject();
        QCOMPARE(prefs().string(keys::prefSlideShowPath), QStringLiteral("/old"));

        window.selectSlideShowFolder();
        chooser = nullptr;
        for (QFileDialog *d : window.findChildren<QFileDialog *>()) {
            if (d->isVisible())
                chooser = d;
        }
        QVERIFY(chooser);
        chooser->selectFile(folder.path());
        QMetaObject::invokeMethod(chooser, "accept");
        QCOMPARE(prefs().string(keys::prefSlideShowPath), folder.path());
        QVERIFY(prefs().boolean(keys::prefSlideShowPathAliasDataIsValid));
        QVERIFY(!prefs().data(keys::prefSlideShowPathAliasData).isEmpty());

        // A wrong password never opens the chooser.
        const int choosers = int(window.findChildren<QFileDialog *>().size());
        window.selectFolder();
        window.passwordSheet()->passwordField()->setText(QStringLiteral("000000"));
        window.passwordSheet()->continuePasswordWindow();
        window.passwordSheet()->cancelPasswordWindow();
        QCOMPARE(int(window.findChildren<QFileDialog *>().size()), choosers);
    }
};

QTEST_MAIN(TestPreferencesWindow)
#include "tst_preferenceswindow.moc"
