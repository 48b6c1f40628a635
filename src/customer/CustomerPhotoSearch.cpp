#include "CustomerPhotoSearch.h"

#include "CustomerLog.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/CustomerCode.h"
#include "station/DailyFolders.h"
#include "station/PrefKeys.h"
#include "station/ShareErrorLog.h"
#include "util/FileHelpers.h"

#include <QDir>
#include <QFileInfo>

namespace kivo {

namespace {

QString pref(const char *key)
{
    return QString::fromLatin1(key);
}

} // namespace

bool CustomerPhotoSearch::isAcceptableCode(const QString &code)
{
    return CustomerCode::refusal(code).isEmpty();
}

bool CustomerPhotoSearch::acceptCode(const std::optional<QString> &code)
{
    const QString why = code ? CustomerCode::refusal(*code) : QString();
    if (why.isEmpty())
        return true;
    logLine(lcCustomer(), traceInside(u"BarcodeEntryController", u"FindKivoFilesWithID") +
                              CustomerCode::refusedText(*code, why));
    return false;
}

QStringList CustomerPhotoSearch::demoCodesList(const QVariant &value)
{
    QStringList raw;
    if (value.typeId() == QMetaType::QString) {
        raw = value.toString().split(u',');
    } else if (value.typeId() == QMetaType::QVariantList ||
               value.typeId() == QMetaType::QStringList) {
        for (const QVariant &item : value.toList()) {
            if (item.typeId() == QMetaType::QString)
                raw.append(item.toString());
        }
    }
    QStringList codes;
    for (const QString &entry : raw) {
        const QString trimmed = entry.trimmed();
        if (!trimmed.isEmpty())
            codes.append(trimmed);
    }
    return codes;
}

bool CustomerPhotoSearch::isDemoCode(const QString &code)
{
    Preferences &prefs = Preferences::standard();
    if (!prefs.boolean(pref(keys::prefSupportDemoCode)))
        return false;
    return demoCodesList(prefs.object(pref(keys::prefDemoCodesList))).contains(code.toLower());
}

std::optional<QVariantMap> CustomerPhotoSearch::requestForCode(const std::optional<QString> &code)
{
    if (!acceptCode(code))
        return std::nullopt;
    Preferences &prefs = Preferences::standard();
    QString basePath = todaysDayFolderPath();
    logLine(lcCustomer(), traceInside(u"BarcodeEntryController", u"FindKivoFilesWithID") +
                              QStringLiteral("basePath = %1").arg(basePath));

    std::optional<QString> customer = code;
    if (code && isDemoCode(*code)) {
        logLine(lcCustomer(), traceInside(u"BarcodeEntryController", u"FindKivoFilesWithID") +
                                  QStringLiteral("[%1] is a demo code").arg(*code));
        const QString demo =
            QDir::cleanPath(expandTilde(prefs.string(pref(keys::prefDemoSlidesPath))));
        if (!demo.isEmpty() && QFileInfo::exists(demo)) {
            logLine(lcCustomer(), traceInside(u"BarcodeEntryController", u"FindKivoFilesWithID") +
                                      QStringLiteral("found demo slide folder = %1").arg(demo));
            basePath = demo;
        } else {
            logLine(lcCustomer(),
                    traceInside(u"BarcodeEntryController", u"FindKivoFilesWithID") +
                        QStringLiteral("unable to find the demo slide folder [%1]").arg(demo));
        }
    } else if (prefs.boolean(pref(keys::prefDoShoutMode))) {
        customer.reset();
    }
    if (!QDir::isAbsolutePath(basePath) || !ShareErrorLog::isFolder(basePath)) {
        logLine(lcCustomer(), traceInside(u"BarcodeEntryController", u"FindKivoFilesWithID") +
                                  QStringLiteral("basePath Does NOT exist?????"));
        return std::nullopt;
    }
    QVariantMap request{{QStringLiteral("searchPath"), basePath}};
    if (customer)
        request.insert(QStringLiteral("customerid"), *customer);
    return request;
}

} // namespace kivo
