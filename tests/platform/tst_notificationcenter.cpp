#include "platform/NotificationCenter.h"
#include "station/NotificationNames.h"

#include <QtTest>

#include <thread>

using namespace kivo;

class TestNotificationCenter : public QObject
{
    Q_OBJECT
private slots:
    void deliversInRegistrationOrderByExactName()
    {
        NotificationCenter center;
        QStringList calls;
        const auto note = [&](const QString &what) {
            return [&calls, what](const Notification &n) { calls << what + n.name; };
        };
        auto a = center.addObserver("SlideShowStatus", this, note("a:"));
        auto all = center.addObserver({}, this, note("all:"));
        auto b = center.addObserver(notification::SlideShowStatus, this, note("b:"));
        auto other = center.addObserver("slideshowstatus", this, note("lower:"));
        center.post(notification::SlideShowStatus);
        center.post("SlideShowStatus ");
        center.post("SlideShow");
        QCOMPARE(calls,
                 QStringList({"a:SlideShowStatus", "all:SlideShowStatus", "b:SlideShowStatus",
                              "all:SlideShowStatus ", "all:SlideShow"}));
    }

    void handlerDropsItsTokenPostsAndRegisters()
    {
        NotificationCenter center;
        QStringList calls;
        // The handler's captures stay alive until it returns, even when it
        // drops its own token first.
        auto token = std::make_unique<ObserverToken>();
        auto payload = std::make_shared<QString>("alive");
        std::weak_ptr<QString> watch = payload;
        *token = center.addObserver("n", this, [&, payload](const Notification &) {
            token.reset();
            calls << *payload;
        });
        payload.reset();
        // A handler may post, and register: the new observer first hears the next post.
        ObserverToken added;
        auto request = center.addObserver("n", this, [&](const Notification &n) {
            center.post(notification::SlideShowStatus, {}, n.userInfo);
            if (!added.isActive())
                added =
                    center.addObserver("n", this, [&](const Notification &) { calls << "added"; });
        });
        auto status =
            center.addObserver(notification::SlideShowStatus, this, [&](const Notification &n) {
                calls << n.userInfo.value(notificationKey::screenIndex).toString();
            });
        center.post("n", {}, {{notificationKey::screenIndex, -1}});
        QVERIFY(watch.expired());
        center.post("n", {}, {{notificationKey::screenIndex, 0}});
        QCOMPARE(calls, QStringList({"alive", "-1", "0", "added"}));
    }

    void tokensComeAndGoWhileOtherThreadsPost()
    {
        // After reset() returns, the handler never runs again and no call is
        // still running: the handler's state may be freed at once. Meanwhile
        // every post reaches a lasting observer exactly once, queued to its
        // context's thread; once the context is gone, none does.
        NotificationCenter center;
        QThread receiver;
        auto *ctx = new QObject;
        ctx->moveToThread(&receiver);
        receiver.start();
        std::atomic<int> posted{0}, heard{0};
        auto lasting = center.addObserver("tick", ctx, [&](const Notification &) {
            heard += QThread::currentThread() == &receiver;
        });
        std::atomic<bool> stop{false};
        std::vector<std::thread> posters;
        for (int i = 0; i < 3; ++i) {
            posters.emplace_back([&] {
                while (!stop.load()) {
                    auto temp = center.addObserver("tick", ctx, [](const Notification &) {});
                    center.post("tick");
                    ++posted;
                }
            });
        }
        for (int round = 0; round < 300; ++round) {
            auto state = std::make_unique<std::atomic<int>>(0);
            ObserverToken token =
                center.addObserver("tick", ctx, [raw = state.get()](const Notification &) {
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
        QTRY_COMPARE(heard.load(), posted.load());
        receiver.quit();
        receiver.wait();
        delete ctx;
        center.post("tick");
        QCOMPARE(heard.load(), posted.load());
    }
};

QTEST_GUILESS_MAIN(TestNotificationCenter)
#include "tst_notificationcenter.moc"
