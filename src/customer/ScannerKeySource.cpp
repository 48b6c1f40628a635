#include "ScannerKeySource.h"

#include "BarcodeKeyFilter.h"
#include "CustomerLog.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/ScannerDevice.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"

#include <QDateTime>

namespace kivo {

namespace {
const QString kKey = QLatin1String(keys::prefScannerDevice);
} // namespace

ScannerKeySource::ScannerKeySource(QObject *parent)
    : QObject(parent), m_device(new ScannerDevice(this))
{
    connect(m_device, &ScannerDevice::keyText, this, &ScannerKeySource::post);
    connect(m_device, &ScannerDevice::returnPressed, this,
            [this](qint64 time) { post(QStringLiteral("\r"), time); });
    connect(m_device, &ScannerDevice::listeningChanged, this, &ScannerKeySource::listeningChanged);
    connect(&Preferences::standard(), &Preferences::valueChanged, this, [this](const QString &key) {
        if (key == kKey)
            apply();
    });
    apply();
}

ScannerKeySource::~ScannerKeySource()
{
    BarcodeKeyFilter::setKeysFromDevice(false);
}

void ScannerKeySource::apply()
{
    const QString pattern = Preferences::standard().string(kKey).trimmed();
    if (pattern == m_pattern)
        return;
    m_pattern = pattern;
    m_device->close();
    BarcodeKeyFilter::setKeysFromDevice(false);
    if (pattern.isEmpty()) {
        logLine(lcCustomer(), QStringLiteral("ScannerKeySource: no scanner device set; scans "
                                             "are read from the focused window"));
        return;
    }
    if (m_device->open(pattern) && !m_device->isListening())
        logLine(lcCustomer(),
                QStringLiteral("ScannerKeySource: no keyboard device named like [%1] (see "
                               "`xinput list`); scans are read from the focused window until "
                               "it is plugged in")
                    .arg(pattern));
    else if (!m_device->isListening())
        logLine(lcCustomer(), QStringLiteral("ScannerKeySource: scanner device [%1] cannot be "
                                             "read; scans are read from the focused window")
                                  .arg(pattern));
}

void ScannerKeySource::listeningChanged(bool listening, const QString &name)
{
    BarcodeKeyFilter::setKeysFromDevice(listening);
    if (listening)
        logLine(lcCustomer(), QStringLiteral("ScannerKeySource: scans are read from device [%1], "
                                             "whichever window has the focus")
                                  .arg(name));
    else
        logLine(lcCustomer(), QStringLiteral("ScannerKeySource: scanner device [%1] is gone; "
                                             "scans are read from the focused window until it "
                                             "is back")
                                  .arg(m_pattern));
}

void ScannerKeySource::post(const QString &text, qint64 time)
{
    const QString characters = BarcodeKeyFilter::trimBlanks(text);
    if (characters.isEmpty())
        return;
    NotificationCenter::defaultCenter().post(
        notification::AddStringToBuffer,
        QVariantMap{{notificationKey::newString, characters},
                    {notificationKey::date, QDateTime::currentDateTime()},
                    {notificationKey::NSEvent, QVariantMap{{QStringLiteral("timestamp"), time},
                                                           {QStringLiteral("text"), text}}}});
}

} // namespace kivo
