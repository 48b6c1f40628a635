#pragma once

#include <QObject>

#include <optional>

namespace kivo {

// Keeps the screens awake while the station runs. On a desktop session it
// asks the desktop's screen saver (org.freedesktop.ScreenSaver on the session
// bus) to inhibit itself; on a bare X session, where no such service runs, it
// switches the X screen saver and DPMS off. release() (also run by the
// destructor) gives the inhibition back, or puts the earlier X settings back.
// Neither needs a window manager. Without a session bus, an X server or the
// DPMS extension, the missing part is logged and skipped.
class ScreenKeeper : public QObject
{
    Q_OBJECT
public:
    explicit ScreenKeeper(QObject *parent = nullptr);
    ~ScreenKeeper() override;

    void keepAwake();
    void release();

private:
    bool inhibitOverDBus();
    void switchOffX();
    void restoreX();

    struct XSettings
    {
        qint16 timeout = 0;
        qint16 interval = 0;
        quint8 preferBlanking = 0;
        quint8 allowExposures = 0;
        bool dpmsPresent = false;
        bool dpmsWasOn = false;
    };
    std::optional<uint> m_cookie;
    std::optional<XSettings> m_x;
};

} // namespace kivo
