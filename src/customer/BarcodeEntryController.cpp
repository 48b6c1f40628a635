#include "BarcodeEntryController.h"

#include "BarcodeKeyFilter.h"

#include "CustomerLog.h"
#include "CustomerPhotoSearch.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/Log.h"
#include "station/DailyFolders.h"
#include "station/NotificationNames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QRegularExpression>

namespace kivo {

namespace {

bool g_videoIsRecording = false;

QString printable(const QString &s)
{
    return QString(s).replace(QRegularExpression(QStringLiteral("[\\x00-\\x1f\\x7f]")),
                              QStringLiteral("?"));
}

void showRecordingAlert()
{
    QMessageBox box(QMessageBox::Warning, QString(),
                    QStringLiteral("WARNING - VIDEO is STILL RECORDING !!!"));
    box.setInformativeText(
        QStringLiteral("PLease Make Sure to STOP the Video Recording First!!!\n\n"));
    box.addButton(QStringLiteral("Close"), QMessageBox::AcceptRole);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace

BarcodeEntryController::BarcodeEntryController(QObject *parent, Clock clock)
    : QObject(parent), m_clock(std::move(clock)), m_recordingAlert(showRecordingAlert),
      m_folder(new CustomerSlideshowFolder(this))
{
    if (!m_clock) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        m_clock = [timer] { return timer->elapsed(); };
    }
    fTimer.setSingleShot(true);
    connect(&fTimer, &QTimer::timeout, this, &BarcodeEntryController::timerFired);

    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_bufferToken =
        center.addObserver(notification::AddStringToBuffer, this, [this](const Notification &n) {
            handleAddStringToBufferNotification(n);
        });
    m_newIdToken =
        center.addObserver(notification::NewCustomerId, this,
                           [this](const Notification &n) { handleNewCustomerIdNotification(n); });
    if (QCoreApplication::instance())
        observeDistributedNotifications(DistributedNotificationCenter::defaultCenter());
    CustomerSlideshowFolder::setupTempFolderPath();
}

BarcodeEntryController::~BarcodeEntryController() = default;

void BarcodeEntryController::observeDistributedNotifications(DistributedNotificationCenter &center)
{
    m_previewerToken =
        center.addObserver(distributedNotification::KivoPreviewerNotification, this,
                           [this](const Notification &n) { handleKivoPreviewerNotification(n); });
    m_videoToken =
        center.addObserver(distributedNotification::kivoXNotification, this,
                           [this](const Notification &n) { handleKivoVideoNotification(n); });
}

void BarcodeEntryController::handleAddStringToBufferNotification(const Notification &notification)
{
    fTimer.stop();
    const QVariantMap record = notification.object.toMap();
    // The pause is measured between the key presses themselves: the key
    // event's own time when it has one, else the clock. So keys that a busy
    // main thread handles in a burst still count as typed slowly.
    const qint64 eventTime = record.value(notificationKey::NSEvent)
                                 .toMap()
                                 .value(QStringLiteral("timestamp"))
                                 .toLongLong();
    const KeyTime now{eventTime > 0, eventTime > 0 ? eventTime : m_clock()};
    if (m_lastKey && m_lastKey->fromEvent == now.fromEvent &&
        now.ms - m_lastKey->ms > qint64(fTimerInterval * 1000.0f))
        fTempBuffer.clear();
    m_lastKey = now;

    const QString s =
        BarcodeKeyFilter::trimBlanks(record.value(notificationKey::newString).toString());
    if (!s.isEmpty()) {
        const QChar last = s.back();
        if (last == QChar(13)) {
            complete();
            return;
        }
        if (last == QChar(27)) {
            fTempBuffer.clear();
            logLine(lcCustomer(), QStringLiteral("Reset the fTempBuffer..."));
        } else {
            fTempBuffer += s;
        }
    }
    resetTimer();
}

void BarcodeEntryController::complete()
{
    const QString typed = fTempBuffer;
    fTempBuffer.clear();
    m_lastKey.reset();
    if (typed.trimmed().isEmpty())
        return; // a bare Return is no code: the customer display stays as it is
    fNewBarcode = typed;
    // The alert's event loop may complete another code meanwhile: keep this one.
    const QString code = fNewBarcode;
    NotificationCenter::defaultCenter().post(notification::NewCustomerId,
                                             QVariantMap{{notificationKey::newBarcode, code}});
    FindKivoFilesWithID(code);
}

void BarcodeEntryController::resetTimer()
{
    fTimer.start(int(fTimerInterval * 1000.0f));
}

void BarcodeEntryController::timerFired()
{
    fTimer.stop();
    fTempBuffer.clear();
    m_lastKey.reset();
}

void BarcodeEntryController::cancelOperation()
{
    timerFired();
}

void BarcodeEntryController::handleNewCustomerIdNotification(const Notification &notification)
{
    const QString code =
        notification.object.toMap().value(notificationKey::newBarcode).toString().trimmed();
    if (code.isEmpty())
        return;
    if (!CustomerPhotoSearch::isAcceptableCode(code)) {
        logLine(lcCustomer(),
                QStringLiteral("Inside BarcodeEntryController => handleNewCustomerIdNotification..."
                               "refused code [%1]")
                    .arg(printable(code)));
        return;
    }
    if (fCurrentBarcode && fCurrentBarcode->compare(code, Qt::CaseInsensitive) == 0) {
        logLine(lcCustomer(), QStringLiteral("OLD ID is same as NEW ID..."));
        return;
    }
    if (g_videoIsRecording) {
        if (m_recordingAlert)
            m_recordingAlert();
        return;
    }
    fCurrentBarcode = code;
    logLine(lcCustomer(), QStringLiteral("GOT NEW BARCODE ID = [%1]").arg(code));
}

void BarcodeEntryController::handleKivoPreviewerNotification(const Notification &notification)
{
    const QVariantMap info = notification.userInfo;
    if (info.value(notificationKey::action)
            .toString()
            .compare(notificationValue::newCustomerSittingStarted, Qt::CaseInsensitive) != 0)
        return;
    const QString value = info.value(notificationKey::value).toString().trimmed();
    if (value.isEmpty()) {
        logLine(lcCustomer(),
                QStringLiteral(
                    "BarcodeEntryController->handleKivoPreviewerNotification...Not a NEW ID = %1")
                    .arg(printable(info.value(notificationKey::value).toString())));
        return;
    }
    if (!CustomerPhotoSearch::isAcceptableCode(value)) {
        logLine(lcCustomer(),
                QStringLiteral(
                    "BarcodeEntryController->handleKivoPreviewerNotification...refused code [%1]")
                    .arg(printable(value)));
        return;
    }
    NotificationCenter::defaultCenter().post(
        notification::NewCustomerId,
        QVariantMap{{notificationKey::newBarcode, value}, {notificationKey::fromKivo, true}});
    logLine(lcCustomer(),
            QStringLiteral("Just sent sNewCustomerIdNotification with param = %1").arg(value));
}

void BarcodeEntryController::handleKivoVideoNotification(const Notification &notification)
{
    const QVariantMap info = notification.userInfo;
    if (!info.contains(notificationKey::action) || !info.contains(notificationKey::senderApp))
        return;
    if (info.value(notificationKey::senderApp)
            .toString()
            .compare(notificationValue::kivoVideoApp, Qt::CaseInsensitive) != 0)
        return;
    const QString action = info.value(notificationKey::action).toString();
    if (action.compare(notificationValue::statusIsRecording, Qt::CaseInsensitive) == 0)
        g_videoIsRecording = true;
    else if (action.compare(notificationValue::statusNotRecording, Qt::CaseInsensitive) == 0)
        g_videoIsRecording = false;
}

void BarcodeEntryController::FindKivoFilesWithID(const std::optional<QString> &code)
{
    // An empty or refused code never replaces a waiting preparation; where
    // to search is worked out on a worker, since it looks at the photo store.
    if (code && code->trimmed().isEmpty())
        return;
    if (CustomerPhotoSearch::acceptCode(code))
        m_folder->prepareForCode(code);
}

QString BarcodeEntryController::getDailyFolderFormat()
{
    return kivo::getDailyFolderFormat();
}

bool BarcodeEntryController::videoIsRecording()
{
    return g_videoIsRecording;
}

void BarcodeEntryController::setVideoIsRecording(bool recording)
{
    g_videoIsRecording = recording;
}

} // namespace kivo
