#include "DisplayManager.h"

#include "SlidePlayer.h"
#include "SlideshowLog.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "slideShowWindowController.h"
#include "station/DisplayOutputs.h"
#include "station/DisplayParameters.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"

#include <QGuiApplication>
#include <QScreen>

namespace kivo {

namespace {
// How long quitting waits for the workers (WorkerPool: not past the quit's
// shared deadline). One stuck on a hung share is then abandoned with the pool
// it runs on (a worker holds only values), never waited on for good.
constexpr int kWorkerStopMs = 1500;
} // namespace

DisplayManager::DisplayManager(QObject *parent)
    : QObject(parent), m_workers(QStringLiteral("DisplayManager->dealloc"))
{
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!app)
        return;
    connect(app, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        connect(screen, &QScreen::availableGeometryChanged, this, &DisplayManager::screensChanged);
        screensChanged();
    });
    connect(app, &QGuiApplication::screenRemoved, this, &DisplayManager::screensChanged);
    for (QScreen *screen : QGuiApplication::screens())
        connect(screen, &QScreen::availableGeometryChanged, this, &DisplayManager::screensChanged);
    connect(&Preferences::standard(), &Preferences::valueChanged, this, [this](const QString &key) {
        if (key.startsWith(QLatin1String(keys::prefDisplayOutput)))
            screensChanged();
    });
}

DisplayManager::~DisplayManager()
{
    releaseDisplayControllers();
    m_workers.shutdown(kWorkerStopMs);
}

int DisplayManager::screenCount()
{
    return qMax(1, int(QGuiApplication::screens().size()));
}

bool DisplayManager::createDisplayController(int index)
{
    if (index != count())
        return false;
    m_workers.setMaxThreads(qMax(m_workers.maxThreads(), 2 * (index + 1)));
    m_controllers.push_back(std::make_unique<slideShowWindowController>(index, m_workers));
    reportMissingOutputs();
    return true;
}

QMap<int, QString> DisplayManager::missingPinnedOutputs() const
{
    QMap<int, QString> missing = DisplayOutputs::missingOutputs(
        DisplayOutputs::pinnedOutputs(Preferences::standard()), DisplayOutputs::screenNames());
    missing.removeIf([this](auto entry) { return entry.key() >= count(); });
    return missing;
}

void DisplayManager::reportMissingOutputs()
{
    const QMap<int, QString> missing = missingPinnedOutputs();
    const Preferences &prefs = Preferences::standard();
    auto line = [&](int index, const QString &monitor, const char *what) {
        const QString room = prefs.string(
            DisplayParameters::keyForIndex(QLatin1String(keys::prefNameOfDisplay), index));
        logLine(lcSlideshow(), QStringLiteral("DisplayManager: display %1 (%2), pinned to monitor "
                                              "[%3]: %4")
                                   .arg(index + 1)
                                   .arg(room, monitor, QLatin1String(what)));
    };
    for (auto it = missing.cbegin(); it != missing.cend(); ++it) {
        if (m_reportedMissing.value(it.key()) != it.value())
            line(it.key(), it.value(), "monitor missing, the room shows nowhere");
    }
    for (auto it = m_reportedMissing.cbegin(); it != m_reportedMissing.cend(); ++it) {
        if (missing.value(it.key()) != it.value())
            line(it.key(), it.value(), "no longer missing");
    }
    m_reportedMissing = missing;
}

void DisplayManager::setupWindowControllers()
{
    releaseDisplayControllers();
    const int displays = DisplayOutputs::displayCount();
    for (int i = 0; i < displays; ++i) {
        logLine(lcSlideshow(),
                QStringLiteral("index %1 out of %2 screens...").arg(i).arg(displays));
        createDisplayController(i);
    }
}

void DisplayManager::releaseDisplayControllers()
{
    // Last first, so display 0 (under the console) goes last.
    while (!m_controllers.empty())
        m_controllers.pop_back();
    m_reportedMissing.clear();
}

slideShowWindowController *DisplayManager::controller(int index) const
{
    return index >= 0 && index < count() ? m_controllers.at(size_t(index)).get() : nullptr;
}

void DisplayManager::startDisplayController(int index)
{
    if (slideShowWindowController *c = controller(index))
        c->startSequence();
}

void DisplayManager::identifyScreen(int index)
{
    if (index < 0) {
        for (const auto &c : m_controllers)
            c->identify();
    } else if (slideShowWindowController *c = controller(index)) {
        c->identify();
    }
}

void DisplayManager::stopSlideShow(int index)
{
    for (int i = 0; i < count(); ++i) {
        if ((index < 0 || i == index) && !controller(i)->player().isSuspended())
            NotificationCenter::defaultCenter().post(notification::SlideShowToggleShow, {},
                                                     {{notificationKey::screenIndex, i}});
    }
}

void DisplayManager::screensChanged()
{
    logLine(lcSlideshow(),
            QStringLiteral("DisplayManager->applicationDidChangeScreenParameters... %1 screens")
                .arg(screenCount()));
    reportMissingOutputs();
    for (const auto &c : m_controllers)
        c->handleScreenDidChange();
    emit displaysRearranged();
}

} // namespace kivo
