#include "slideshow/randomNumberGenerator.h"

#include <QtTest>

#include <cmath>
#include <cstdlib>

using kivo::randomNumberGenerator;

class TestRandomNumberGenerator : public QObject
{
    Q_OBJECT
private slots:
    void everyPositionAboutEquallyOften()
    {
        std::srand(12345);
        randomNumberGenerator g;
        g.setupRandomNumberGeneratorWithPhotos(0, 11, 5);
        QCOMPARE(g.maximum(), 5);
        const int n = 60000;
        int counts[6] = {};
        for (int i = 0; i < n; ++i) {
            const int x = g.getNextRandomNumber(1);
            QVERIFY(x >= 0 && x <= 5);
            ++counts[x];
        }
        // Each count is binomial(n, 1/6): allow five standard deviations.
        const double expected = n / 6.0;
        const double tolerance = 5 * std::sqrt(n * (1.0 / 6) * (5.0 / 6));
        for (int c : counts)
            QVERIFY2(std::abs(c - expected) < tolerance, qPrintable(QString::number(c)));
    }

    void extremeMaximaStayInRange()
    {
        randomNumberGenerator g;
        g.setupRandomNumberGeneratorWithPhotos(0, 11, -3);
        QCOMPARE(g.getNextRandomNumber(0), 0);
        g.setupRandomNumberGeneratorWithPhotos(0, 11, 0);
        for (int i = 0; i < 1000; ++i)
            QCOMPARE(g.getNextRandomNumber(1), 0);
        g.setupRandomNumberGeneratorWithPhotos(0, 11, INT32_MAX);
        for (int i = 0; i < 1000; ++i)
            QVERIFY(g.getNextRandomNumber(0) >= 0);
    }
};

QTEST_GUILESS_MAIN(TestRandomNumberGenerator)
#include "tst_randomnumbergenerator.moc"
