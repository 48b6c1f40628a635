#pragma once

#include "CustomerSlideshowFolder.h"
#include "platform/NotificationCenter.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace kivo {

class DistributedNotificationCenter;

// Turns the scanner's typing into customer codes. Characters arrive through
// "AddStringToBuffer" (posted by the application object for key presses that
// are not for the station's own text fields); a pause over
// fTimerInterval between two presses throws away what was typed; Return
// completes a code that is not empty: "NewCustomerId" is posted (making it the current
// code unless the video recorder is recording) and the code's photos are
// searched and prepared for the customer display. Also listens to the
// previewer ("KivoPreviewerNotification") and the video recorder
// ("kivoXNotification"). Lives on the main thread.
//
// Every code is cleaned and held to CustomerCode's rules where it comes in;
// the buffer keeps at most CustomerCode::kMaxLength characters, and a longer
// code is refused. While the recorder records, a new code raises one
// "VIDEO is STILL RECORDING" alert that does not wait for its answer; codes
// arriving while it is up are dropped (said once in the log), so a flood of
// codes never stacks alerts or event loops.
class BarcodeEntryController : public QObject
{
    Q_OBJECT
public:
    // Monotonic milliseconds; injectable so tests can move time.
    using Clock = std::function<qint64()>;

    explicit BarcodeEntryController(QObject *parent = nullptr, Clock clock = {});
    ~BarcodeEntryController() override;

    // Observes the previewer and the video recorder there (the constructor
    // uses the process-wide centre when an application object exists).
    void observeDistributedNotifications(DistributedNotificationCenter &center);

    void handleAddStringToBufferNotification(const Notification &notification);
    void handleNewCustomerIdNotification(const Notification &notification);
    void handleKivoPreviewerNotification(const Notification &notification);
    void handleKivoVideoNotification(const Notification &notification);

    void resetTimer();
    void timerFired();
    void cancelOperation();

    // Starts the search for a code's photos (absent: every photo of the day)
    // and the preparation of the customer slideshow; returns at once.
    void FindKivoFilesWithID(const std::optional<QString> &code);

    static QString getDailyFolderFormat();

    // The process-wide video-is-recording flag (main thread only).
    static bool videoIsRecording();
    static void setVideoIsRecording(bool recording);

    QString tempBuffer() const { return fTempBuffer; }
    QString newBarcode() const { return fNewBarcode; }
    std::optional<QString> currentBarcode() const { return fCurrentBarcode; }
    void setCurrentBarcode(const std::optional<QString> &code) { fCurrentBarcode = code; }

    // The "video is still recording" alert while it is up, else null.
    QMessageBox *recordingAlert() const { return m_alert; }

    CustomerSlideshowFolder &slideshowFolder() { return *m_folder; }

private:
    void complete();
    void clearBuffer();
    void append(const QString &keys);
    void showRecordingAlert(const QString &code);

    QString fTempBuffer;
    QTimer fTimer;
    float fTimerInterval = 0.5f;
    QString fNewBarcode;
    std::optional<QString> fCurrentBarcode;

    Clock m_clock;
    struct KeyTime
    {
        bool fromEvent = false; // the key event's timestamp, else the clock
        qint64 ms = 0;
    };
    std::optional<KeyTime> m_lastKey;
    qsizetype m_keysCut = 0; // typed past the buffer's bound
    QPointer<QMessageBox> m_alert;
    int m_codesDropped = 0; // while the alert is up
    CustomerSlideshowFolder *m_folder;
    ObserverToken m_bufferToken;
    ObserverToken m_newIdToken;
    ObserverToken m_previewerToken;
    ObserverToken m_videoToken;
};

} // namespace kivo
