#pragma once

#include <QObject>
#include <QString>

namespace kivo {

class ScannerDevice;

// Chooses where the barcode buffer's keys come from. With prefScannerDevice
// empty, from the key events of the station's focused window
// (BarcodeKeyFilter). With it naming an X keyboard device (a part of its name,
// any case) that is present, from that device alone, whichever window has the
// focus: its presses are posted as "AddStringToBuffer" and key events feed
// nothing. A named device that is missing or unplugged is logged once and the
// focused window serves until it comes back. Follows changes of the
// preference. Lives on the main thread.
class ScannerKeySource : public QObject
{
    Q_OBJECT
public:
    explicit ScannerKeySource(QObject *parent = nullptr);
    ~ScannerKeySource() override;

    // Reads prefScannerDevice again and opens or closes the device.
    void apply();

private:
    void listeningChanged(bool listening, const QString &name);
    void post(const QString &text, qint64 time);

    ScannerDevice *m_device;
    QString m_pattern;
};

} // namespace kivo
