#include "ShoutCopyName.h"

#include <QByteArray>
#include <QFile>

namespace kivo {

namespace {

const QString kOverlaySuffix = QStringLiteral("_overlay");

QString escapeFolderPart(const QString &folder)
{
    QString out;
    for (qsizetype i = 0; i < folder.size(); ++i) {
        const QChar c = folder.at(i);
        if (c == u'%')
            out += QStringLiteral("%25");
        else if (c == u'_')
            out += QStringLiteral("%5F");
        else if (c == u'/')
            out += QStringLiteral("%2F");
        else if (c == u'.' && i == 0)
            out += QStringLiteral("%2E");
        else
            out += c;
    }
    return out;
}

QString unescapeFolderPart(const QString &folder)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(folder.toUtf8()));
}

} // namespace

QString ShoutCopyName::forEntry(const QString &entry)
{
    const QString e = entry.startsWith(QLatin1String("./")) ? entry.mid(2) : entry;
    if (e.isEmpty() || e.endsWith(u'/'))
        return {};
    const qsizetype slash = e.lastIndexOf(u'/');
    const QString folderPart = slash < 0 ? QString() : escapeFolderPart(e.left(slash));
    const QString name = e.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot <= 0 ? name : name.left(dot);
    const QString ext = dot <= 0 ? QString() : name.mid(dot);
    const QString copy = folderPart + u'_' + stem + kOverlaySuffix + ext;
    return QFile::encodeName(copy).size() > 255 ? QString() : copy;
}

QString ShoutCopyName::entryOf(const QString &copyName)
{
    const qsizetype dot = copyName.lastIndexOf(u'.');
    const QString stem = dot <= 0 ? copyName : copyName.left(dot);
    const QString ext = dot <= 0 ? QString() : copyName.mid(dot);
    const qsizetype sep = stem.indexOf(u'_');
    if (sep < 0 || !stem.endsWith(kOverlaySuffix) || stem.size() - kOverlaySuffix.size() <= sep + 1)
        return {};
    const QString folderPart = unescapeFolderPart(stem.left(sep));
    const QString name = stem.mid(sep + 1, stem.size() - kOverlaySuffix.size() - sep - 1) + ext;
    return folderPart.isEmpty() ? name : folderPart + u'/' + name;
}

} // namespace kivo
