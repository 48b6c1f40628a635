#include "app/PasswordGate.h"

#include <QTimeZone>
#include <QtTest>

#include <cstdlib>
#include <ctime>

using namespace kivo;

// Runs in a zone far from UTC so that local and UTC days differ.
class TestPasswordGate : public QObject
{
    Q_OBJECT
    QDateTime m_now;
    PasswordGate gate()
    {
        return PasswordGate([this] { return m_now; });
    }

private slots:
    void changesAtLocalMidnight()
    {
        m_now = QDateTime(QDate(2025, 3, 9), QTime(23, 59, 59));
        QCOMPARE(gate().currentPassword(), QStringLiteral("739409"));
        m_now = m_now.addSecs(1);
        QCOMPARE(gate().currentPassword(), QStringLiteral("739410"));
        // 11:30 UTC on the 9th is already the 10th in Auckland.
        m_now = QDateTime(QDate(2025, 3, 9), QTime(11, 30), QTimeZone::utc());
        QCOMPARE(gate().getTwoDigitDay(), QStringLiteral("10"));
    }

    void singleDigitDaysHaveALeadingZero()
    {
        for (int day = 1; day <= 9; ++day) {
            m_now = QDateTime(QDate(2025, 1, day), QTime(12, 0));
            const QString password = gate().currentPassword();
            QCOMPARE(password.size(), 6);
            QCOMPARE(password.right(2), QStringLiteral("0%1").arg(day));
        }
        QCOMPARE(PasswordGate::getTwoDigitDay(QDateTime()), QStringLiteral("00"));
    }

    void checkIsExact()
    {
        m_now = QDateTime(QDate(2025, 6, 21), QTime(8, 0));
        QVERIFY(gate().isPasswordCorrect(QStringLiteral("739421")));
        QVERIFY(!gate().isPasswordCorrect(QStringLiteral("739420")));
        QVERIFY(!gate().isPasswordCorrect(QStringLiteral(" 739421")));
        QVERIFY(!gate().isPasswordCorrect(QString()));
        // The default clock is the real one.
        QCOMPARE(PasswordGate().getTwoDigitDay(),
                 QDateTime::currentDateTime().toString(QStringLiteral("dd")));
    }
};

int main(int argc, char *argv[])
{
    ::setenv("TZ", "Pacific/Auckland", 1);
    ::tzset();
    QCoreApplication app(argc, argv);
    TestPasswordGate tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_passwordgate.moc"
