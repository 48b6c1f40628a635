#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace kivo {

// The station's status on the session bus: owns the name org.kivo.SlideShow
// and exports /org/kivo/SlideShow with the interface org.kivo.SlideShow1,
// GetStatus() -> s (the status as JSON, from the provider) and the signal
// StatusChanged(s), sent at most once a second. GetStatus is answered on the
// main thread, so a station whose main thread is frozen does not answer: ask()
// gives up after its timeout.
class StatusBus : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kivo.SlideShow1")
public:
    static constexpr const char *kService = "org.kivo.SlideShow";
    static constexpr const char *kPath = "/org/kivo/SlideShow";
    static constexpr const char *kInterface = "org.kivo.SlideShow1";
    static constexpr int kSignalGapMs = 1000;

    using Provider = std::function<QString()>;

    explicit StatusBus(Provider provider, QObject *parent = nullptr);
    ~StatusBus() override;

    // Registers the object and asks for the name; false (logged) when the bus
    // or the name is not to be had.
    bool start();
    void stop();
    // Sends StatusChanged with the provider's status, at once or, within a
    // second of the last one, when that second is over.
    void announce();

    enum class Outcome
    {
        Answered,
        NotRunning, // nobody owns the name (or there is no session bus)
        NoAnswer    // the owner did not answer within the timeout
    };
    struct Reply
    {
        Outcome outcome = Outcome::NotRunning;
        QString status; // the JSON when answered; else what went wrong
    };
    // Asks the running station for its status (a client call; takes no lock
    // the station holds).
    static Reply ask(int timeoutMs);

public slots:
    Q_SCRIPTABLE QString GetStatus() const;

signals:
    Q_SCRIPTABLE void StatusChanged(const QString &status);

private:
    void sendNow();

    Provider m_provider;
    QTimer m_gap;
    bool m_pending = false;
    bool m_registered = false;
};

} // namespace kivo
