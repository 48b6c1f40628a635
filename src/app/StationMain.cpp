#include "StationMain.h"

#include "AppDelegate.h"
#include "AppLog.h"
#include "KIVOApplication.h"
#include "console/CodeListDump.h"
#include "platform/Log.h"
#include "xml/DescriptionDump.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>

namespace kivo {

namespace {
QStringList argumentList(int argc, char *argv[])
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}
} // namespace

int stationMain(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("kivo-slideshow"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KIVO_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Kivo"));

    // Parsed before any application object exists, so --help and --version
    // work without a display.
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Kivo SlideShow: a full-screen slideshow per display, an operator "
                       "console and barcode-driven customer slideshows."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption dumpDescriptionOption(
        QStringLiteral("dump-description"),
        QStringLiteral("Print what the console reads from a description file, as JSON."),
        QStringLiteral("file"));
    parser.addOption(dumpDescriptionOption);
    const QCommandLineOption listCodesOption(
        QStringLiteral("list-codes"),
        QStringLiteral("Print the rows the console lists for a day folder (today's without "
                       "--folder), one JSON object per line."));
    const QCommandLineOption folderOption(QStringLiteral("folder"),
                                          QStringLiteral("Day folder for --list-codes."),
                                          QStringLiteral("dayfolder"));
    parser.addOption(listCodesOption);
    parser.addOption(folderOption);
    if (!parser.parse(argumentList(argc, argv))) {
        std::fprintf(stderr, "%s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    if (parser.isSet(dumpDescriptionOption))
        return dumpDescription(parser.value(dumpDescriptionOption));
    if (parser.isSet(listCodesOption)) {
        QCoreApplication core(argc, argv);
        return listCodes(parser.value(folderOption));
    }

    installQtMessageHandler();
    KIVOApplication app(argc, argv);
    // An unattended station: closing a window never ends it.
    app.setQuitOnLastWindowClosed(false);
    AppDelegate::Initialisation init = AppDelegate::initialize();
    if (init.anotherInstanceRuns)
        return 0;
    logLine(lcApp(),
            QStringLiteral("%1 %2 started").arg(app.applicationName(), app.applicationVersion()));
    AppDelegate delegate(std::move(init.instance));
    delegate.applicationWillFinishLaunching();
    QMetaObject::invokeMethod(
        &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); }, Qt::QueuedConnection);
    const int status = app.exec();
    delegate.applicationWillTerminate();
    return status;
}

} // namespace kivo
