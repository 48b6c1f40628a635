#include "platform/NotificationCenter.h"
#include "station/NotificationNames.h"

#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

using namespace kivo;

class TestNotificationCenter : public QObject
{
    Q_OBJECT
private slots:
    void deliversInRegistrationOrderByExactName()
    {
        NotificationCenter center;
        QStringList calls;
        auto a = center.addObserver(QStringLiteral("SlideShowStatus"),
                                    [&](const Notification &) { calls << "a"; });
        auto all = center.addObserver({}, [&](const Notification &n) { calls << "all:" + n.name; });
        auto b = center.addObserver(notification::SlideShowStatus,
                                    [&](const Notification &) { calls << "b"; });
        auto other = center.addObserver(QStringLiteral("slideshowstatus"),
                                        [&](const Notification &) { calls << "lower"; });

        center.post(notification::SlideShowStatus);
        QCOMPARE(calls, QStringList({"a", "all:SlideShowStatus", "b"}));

        calls.clear();
        center.post(QStringLiteral("SlideShowStatus "));
        center.post(QStringLiteral("SlideShow"));
        QCOMPARE(calls, QStringList({"all:SlideShowStatus ", "all:SlideShow"}));
    }

    void handlerDestroysCapturedStateWithItsToken()
    {
        // The handler's captures stay alive until the handler returns, even
        // when it drops its own token first.
        NotificationCenter center;
        auto token = std::make_unique<ObserverToken>();
        auto payload = std::make_shared<QString>(QStringLiteral("alive"));
        std::weak_ptr<QString> watch = payload;
        QString seen;
        *token = center.addObserver(QStringLiteral("n"), [&, payload](const Notification &) {
            token.reset();
            seen = *payload;
        });
        payload.reset();
        center.post(QStringLiteral("n"));
        QCOMPARE(seen, QStringLiteral("alive"));
        QVERIFY(watch.expired());
    }

    void handlerPostsAndRegisters()
    {
        NotificationCenter center;
        QStringList calls;
        ObserverToken added;
        auto request =
            center.addObserver(notification::RequestSlideShowStatus, [&](const Notification &n) {
                calls << "request";
                center.post(notification::SlideShowStatus, {},
                            {{notificationKey::mesg, notificationValue::slideShowIsRunning},
                             {notificationKey::screenIndex,
                              n.userInfo.value(notificationKey::screenIndex)}});
                if (!added.isActive())
                    added = center.addObserver(notification::RequestSlideShowStatus,
                                               [&](const Notification &) { calls << "added"; });
            });
        auto status = center.addObserver(notification::SlideShowStatus, [&](const Notification &n) {
            calls << n.userInfo.value(notificationKey::mesg).toString();
        });
        center.post(notification::RequestSlideShowStatus, {}, {{notificationKey::screenIndex, -1}});
        // An observer added during a post first hears the next one.
        QCOMPARE(calls, QStringList({"request", "<Slide Show is Running...>"}));
        calls.clear();
        center.post(notification::RequestSlideShowStatus, {}, {{notificationKey::screenIndex, 0}});
        QCOMPARE(calls, QStringList({"request", "<Slide Show is Running...>", "added"}));
    }

    void tokenDestroyedWhileAnotherThreadPosts()
    {
        // After reset() returns, the handler never runs again and no call is
        // still running: the handler's state may be freed at once.
        NotificationCenter center;
        std::atomic<bool> stop{false};
        std::vector<std::thread> posters;
        for (int i = 0; i < 3; ++i) {
            posters.emplace_back([&] {
                while (!stop.load())
                    center.post(QStringLiteral("tick"));
            });
        }
        for (int round = 0; round < 300; ++round) {
            auto state = std::make_unique<std::atomic<int>>(0);
            std::atomic<int> *raw = state.get();
            ObserverToken token =
                center.addObserver(QStringLiteral("tick"), [raw](const Notification &) {
                    raw->fetch_add(1);
                    std::this_thread::yield();
                    raw->fetch_add(1);
                });
            while (state->load() < 2 && round % 10 == 0)
                std::this_thread::yield();
            token.reset();
            const int settled = state->load();
            QVERIFY(settled % 2 == 0); // no call half done
            std::this_thread::yield();
            QCOMPARE(state->load(), settled); // and none started afterwards
            state.reset();                    // freed: ASan/TSan would catch a late call
        }
        stop = true;
        for (auto &t : posters)
            t.join();
    }

    void concurrentRegistrationAndPosting()
    {
        NotificationCenter center;
        std::atomic<int> calls{0};
        auto counter = center.addObserver(QStringLiteral("n"),
                                          [&](const Notification &) { calls.fetch_add(1); });
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < 500; ++i) {
                    ObserverToken temp =
                        center.addObserver(QStringLiteral("n"), [](const Notification &) {});
                    center.post(QStringLiteral("n"));
                }
            });
        }
        for (auto &t : threads)
            t.join();
        QCOMPARE(calls.load(), 2000);
    }
};

QTEST_GUILESS_MAIN(TestNotificationCenter)
#include "tst_notificationcenter.moc"
