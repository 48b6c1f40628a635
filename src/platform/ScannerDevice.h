#pragma once

#include "XkbKeyTranslator.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

struct xcb_connection_t;
class QSocketNotifier;

namespace kivo {

// One X keyboard device (a barcode scanner) read with XInput2 raw key events
// on the root window: its keys arrive whichever window has the focus, the
// station's, another program's or none. Keys of other keyboards are not
// read. Runs on the thread that owns it, through a socket notifier on its own
// X connection; the device is looked for again whenever devices come or go.
class ScannerDevice : public QObject
{
    Q_OBJECT
public:
    explicit ScannerDevice(QObject *parent = nullptr);
    ~ScannerDevice() override;

    // Names of the X keyboard devices (slave and floating), as `xinput list`
    // prints them; empty without an X server.
    static QStringList keyboardNames();

    // Reads the first keyboard device whose name holds pattern (any case),
    // now or once it is plugged in. False when the X server cannot be used
    // (logged); isListening() tells whether the device was found.
    bool open(const QString &pattern);
    void close();
    bool isListening() const { return m_deviceId != 0; }
    QString deviceName() const { return m_deviceName; }

signals:
    // A key press of the device: its text, or Return / keypad Enter. time is
    // the X server's time of the press in milliseconds.
    void keyText(const QString &text, qint64 time);
    void returnPressed(qint64 time);
    // The device was found (name) or is gone.
    void listeningChanged(bool listening, const QString &name);

private:
    bool connectToServer();
    void lookForDevice();
    void selectRawKeys(int device, bool on);
    void readEvents();
    void handleEvent(const void *event);

    xcb_connection_t *m_connection = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    std::unique_ptr<XkbKeyTranslator> m_keys;
    QString m_pattern;
    QString m_deviceName;
    int m_deviceId = 0;
    quint32 m_root = 0;
    quint8 m_xinputOpcode = 0;
};

} // namespace kivo
