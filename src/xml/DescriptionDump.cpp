#include "DescriptionDump.h"

#include "TestParser.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace kivo {

int dumpDescription(const QString &path)
{
    const std::optional<QVariantMap> description = testParser(path);
    if (!description) {
        const QFileInfo info(path);
        const char *reason = !info.exists()   ? "no such file"
                             : !info.isFile() ? "not a regular file"
                                              : "cannot be read";
        std::fprintf(stderr, "kivo-slideshow: %s: %s\n", qPrintable(path), reason);
        return 1;
    }
    const QByteArray json =
        QJsonDocument(QJsonObject::fromVariantMap(*description)).toJson(QJsonDocument::Indented);
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    std::fflush(stdout);
    return 0;
}

} // namespace kivo
