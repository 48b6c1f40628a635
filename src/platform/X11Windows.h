#pragma once

#include <QList>
#include <QString>

namespace kivo {

// The top-level windows of the X display named by $DISPLAY, on a connection
// of its own: it works whatever platform plugin Qt runs on, and from any
// thread. Everything here is a no-op without an X server.
class X11Windows
{
public:
    // Client windows whose WM_CLASS instance or class equals windowClass
    // (ignoring case), or whose _NET_WM_PID is one of pids. The window
    // manager's client list is read when it keeps one; without a window
    // manager the root's mapped children (and their children, for frames)
    // are. At most kMaxWindows are looked at.
    static QList<quint32> find(const QString &windowClass, const QList<qint64> &pids);

    // Brings the window to the front and gives it the keyboard: asks the
    // window manager (_NET_ACTIVE_WINDOW), and maps, raises and focuses it
    // itself, which is what counts without one. False without an X server.
    static bool activate(quint32 window);

    static constexpr int kMaxWindows = 1024;
};

} // namespace kivo
