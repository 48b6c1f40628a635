#include "BarcodeEntryController.h"

#include "BarcodeKeyFilter.h"

#include "CustomerLog.h"
#include "CustomerPhotoSearch.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/Log.h"
#include "station/CustomerCode.h"
#include "station/DailyFolders.h"
#include "station/NotificationNames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMessageBox>

namespace kivo {

namespace {

bool g_videoIsRecording = false;

const QString kClass = QStringLiteral("BarcodeEntryController");

// Application-modal, but shown without an event loop of its own: the caller
// returns at once.
QMessageBox *openRecordingAlert()
{
    auto *box = new QMessageBox(QMessageBox::Warning, QString(),
                                QStringLiteral("WARNING - VIDEO is STILL RECORDING !!!"));
    box->setInformativeText(
        QStringLiteral("PLease Make Sure to STOP the Video Recording First!!!\n\n"));
    box->addButton(QStringLiteral("Close"), QMessageBox::AcceptRole);
    box->setWindowModality(Qt::ApplicationModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    return box;
}

} // namespace

BarcodeEntryController::BarcodeEntryController(QObject *parent, Clock clock)
    : QObject(parent), m_clock(std::move(clock)), m_folder(new CustomerSlideshowFolder(this))
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

BarcodeEntryController::~BarcodeEntryController()
{
    if (m_alert) {
        m_alert->disconnect(this);
        delete m_alert;
    }
}

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
        clearBuffer();
    m_lastKey = now;

    const QString s = CustomerCode::withoutInvisibles(
        BarcodeKeyFilter::trimBlanks(record.value(notificationKey::newString).toString()));
    if (!s.isEmpty()) {
        const QChar last = s.back();
        if (last == QChar(13)) {
            complete();
            return;
        }
        if (last == QChar(27)) {
            clearBuffer();
            logLine(lcCustomer(), QStringLiteral("Reset the fTempBuffer..."));
        } else {
            append(s);
        }
    }
    resetTimer();
}

void BarcodeEntryController::append(const QString &keys)
{
    const qsizetype room = std::max<qsizetype>(CustomerCode::kMaxLength - fTempBuffer.size(), 0);
    fTempBuffer += keys.left(room);
    m_keysCut += std::max<qsizetype>(keys.size() - room, 0);
}

void BarcodeEntryController::clearBuffer()
{
    fTempBuffer.clear();
    m_keysCut = 0;
}

void BarcodeEntryController::complete()
{
    const QString typed = fTempBuffer.trimmed();
    const qsizetype typedKeys = fTempBuffer.size() + m_keysCut;
    const qsizetype cut = m_keysCut;
    clearBuffer();
    m_lastKey.reset();
    if (typed.isEmpty())
        return; // a bare Return is no code: the customer display stays as it is
    const QString why = cut > 0 ? QStringLiteral("longer than %1 characters (%2 typed)")
                                      .arg(CustomerCode::kMaxLength)
                                      .arg(typedKeys)
                                : CustomerCode::refusal(typed);
    if (!why.isEmpty()) {
        logLine(lcCustomer(),
                traceInside(kClass, u"complete") + CustomerCode::refusedText(typed, why));
        return;
    }
    fNewBarcode = typed;
    NotificationCenter::defaultCenter().post(notification::NewCustomerId,
                                             QVariantMap{{notificationKey::newBarcode, typed}});
    FindKivoFilesWithID(typed);
}

void BarcodeEntryController::resetTimer()
{
    fTimer.start(int(fTimerInterval * 1000.0f));
}

void BarcodeEntryController::timerFired()
{
    fTimer.stop();
    clearBuffer();
    m_lastKey.reset();
}

void BarcodeEntryController::cancelOperation()
{
    timerFired();
}

void BarcodeEntryController::handleNewCustomerIdNotification(const Notification &notification)
{
    const QString code = CustomerCode::clean(
        notification.object.toMap().value(notificationKey::newBarcode).toString());
    if (code.isEmpty())
        return;
    if (const QString why = CustomerCode::refusal(code); !why.isEmpty()) {
        logLine(lcCustomer(), traceInside(kClass, u"handleNewCustomerIdNotification") +
                                  CustomerCode::refusedText(code, why));
        return;
    }
    if (fCurrentBarcode && fCurrentBarcode->compare(code, Qt::CaseInsensitive) == 0) {
        logLine(lcCustomer(), QStringLiteral("OLD ID is same as NEW ID..."));
        return;
    }
    if (g_videoIsRecording) {
        showRecordingAlert(code);
        return;
    }
    fCurrentBarcode = code;
    logLine(lcCustomer(), QStringLiteral("GOT NEW BARCODE ID = [%1]").arg(code));
}

// One alert at a time: what arrives while it is up is dropped, said once.
void BarcodeEntryController::showRecordingAlert(const QString &code)
{
    if (m_alert) {
        if (m_codesDropped++ == 0)
            logLine(lcCustomer(), traceInside(kClass, u"showRecordingAlert") +
                                      QStringLiteral("the recording alert is up: new codes are "
                                                     "dropped until it is closed"));
        return;
    }
    logLine(lcCustomer(),
            traceInside(kClass, u"showRecordingAlert") +
                QStringLiteral("VIDEO is STILL RECORDING: code [%1] not accepted").arg(code));
    m_alert = openRecordingAlert();
    connect(m_alert, &QDialog::finished, this, [this] {
        if (m_codesDropped > 0)
            logLine(lcCustomer(), traceInside(kClass, u"showRecordingAlert") +
                                      QStringLiteral("%1 codes dropped while the recording alert "
                                                     "was up")
                                          .arg(m_codesDropped));
        m_codesDropped = 0;
        m_alert = nullptr;
    });
}

void BarcodeEntryController::handleKivoPreviewerNotification(const Notification &notification)
{
    const QVariantMap info = notification.userInfo;
    if (info.value(notificationKey::action)
            .toString()
            .compare(notificationValue::newCustomerSittingStarted, Qt::CaseInsensitive) != 0)
        return;
    const QString raw = info.value(notificationKey::value).toString();
    const QString value = CustomerCode::clean(raw);
    if (value.isEmpty()) {
        logLine(lcCustomer(), traceArrow(kClass, u"handleKivoPreviewerNotification") +
                                  QStringLiteral("Not a NEW ID = %1").arg(logSafe(raw)));
        return;
    }
    if (const QString why = CustomerCode::refusal(value); !why.isEmpty()) {
        logLine(lcCustomer(), traceArrow(kClass, u"handleKivoPreviewerNotification") +
                                  CustomerCode::refusedText(value, why));
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
