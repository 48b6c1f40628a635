#include "StationMain.h"

#include "AppDelegate.h"
#include "AppLog.h"
#include "DisplayListing.h"
#include "KIVOApplication.h"
#include "StatusCommand.h"
#include "console/CodeListDump.h"
#include "platform/HeapPolicy.h"
#include "platform/JournalSink.h"
#include "platform/Log.h"
#include "util/WorkerPool.h"
#include "xml/DescriptionDump.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <optional>
#include <unistd.h>

namespace kivo {

namespace {
QStringList argumentList(int argc, char *argv[])
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Kivo SlideShow: a full-screen slideshow per display, an operator "
                       "console and barcode-driven customer slideshows."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("dump-description"),
                      QStringLiteral("Print what the console reads from a description file, as "
                                     "JSON."),
                      QStringLiteral("file")});
    parser.addOption({QStringLiteral("list-codes"),
                      QStringLiteral("Print the rows the console lists for a day folder (today's "
                                     "without --folder), one JSON object per line.")});
    parser.addOption({QStringLiteral("folder"), QStringLiteral("Day folder for --list-codes."),
                      QStringLiteral("dayfolder")});
    parser.addOption({QStringLiteral("list-displays"),
                      QStringLiteral("Print the monitors of the X display and the display pinned "
                                     "to each, one JSON object per line.")});
    parser.addOption({QStringLiteral("status"),
                      QStringLiteral("Ask the running station how it is: exit status 0 ok, 1 "
                                     "degraded, 3 not running, 4 not answering.")});
    parser.addOption(
        {QStringLiteral("json"), QStringLiteral("With --status: print the status as JSON.")});
    parser.addOption({QStringLiteral("status-file"),
                      QStringLiteral("Keep a copy of the status (JSON) in this file."),
                      QStringLiteral("path")});
}

// The station is an X11 client: on a Wayland desktop it runs through XWayland
// unless a platform was chosen explicitly. True when it chose xcb.
bool chooseX11OnWayland()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

// The monitors as the station would see them; needs the X display, not a
// running station.
int listDisplaysOnX(int argc, char *argv[])
{
    chooseX11OnWayland();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "--list-displays needs an X display: DISPLAY is not set\n");
        return 1;
    }
    QGuiApplication gui(argc, argv);
    return listDisplays();
}

// Runs a support command, parsed before any application object exists so
// --help and --version work without a display. The exit status when one ran
// or the command line is wrong; nothing when the station should run (then
// statusFile receives --status-file).
std::optional<int> runSupportCommand(int argc, char *argv[], QString &statusFile)
{
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(argumentList(argc, argv))) {
        std::fprintf(stderr, "%s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        // Without an application object the parser names the program
        // "<executable_name>".
        QString help = parser.helpText();
        help.replace(QStringLiteral("<executable_name>"), QCoreApplication::applicationName());
        std::fputs(qPrintable(help), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    if (parser.isSet(QStringLiteral("dump-description")))
        return dumpDescription(parser.value(QStringLiteral("dump-description")));
    if (parser.isSet(QStringLiteral("status"))) {
        QCoreApplication core(argc, argv);
        return printStatus(parser.isSet(QStringLiteral("json")));
    }
    if (parser.isSet(QStringLiteral("list-codes"))) {
        QCoreApplication core(argc, argv);
        return listCodes(parser.value(QStringLiteral("folder")));
    }
    if (parser.isSet(QStringLiteral("list-displays")))
        return listDisplaysOnX(argc, argv);
    statusFile = parser.value(QStringLiteral("status-file"));
    return std::nullopt;
}

int runStation(int argc, char *argv[], const QString &statusFile)
{
    JournalSink::enableIfUnderServiceManager();
    installQtMessageHandler();
    HeapPolicy::returnLargeBlocks();
    const bool throughXWayland = chooseX11OnWayland();
    KIVOApplication app(argc, argv);
    // An unattended station: closing a window never ends it.
    app.setQuitOnLastWindowClosed(false);
    AppDelegate::Initialisation init = AppDelegate::initialize();
    if (init.anotherInstanceRuns)
        return 0;
    logLine(lcApp(),
            QStringLiteral("%1 %2 started").arg(app.applicationName(), app.applicationVersion()));
    if (throughXWayland)
        logLine(lcApp(), QStringLiteral("On a Wayland desktop: running through XWayland "
                                        "(QT_QPA_PLATFORM=xcb)"));
    // Every wait of the shutdown together stays within one deadline; set
    // before the delegate's own aboutToQuit handler runs.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] { WorkerPool::beginQuit(); });
    AppDelegate delegate(std::move(init.instance));
    delegate.setStatusFile(statusFile);
    delegate.applicationWillFinishLaunching();
    // Once the event loop runs.
    QTimer::singleShot(0, &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); });
    const int status = app.exec();
    delegate.applicationWillTerminate();
    if (WorkerPool::workAbandoned()) {
        // Destructors would wait for the abandoned work (a read on a hung
        // share may never return): end here, the screens already given back.
        logLine(
            lcApp(),
            QStringLiteral("Ending with status %1 without waiting for abandoned work").arg(status));
        std::fflush(nullptr);
        ::_exit(status);
    }
    return status;
}
} // namespace

int stationMain(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("kivo-slideshow"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KIVO_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Kivo"));
    QString statusFile;
    if (const std::optional<int> status = runSupportCommand(argc, argv, statusFile))
        return *status;
    return runStation(argc, argv, statusFile);
}

} // namespace kivo
