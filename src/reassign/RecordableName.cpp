#include "RecordableName.h"

#include "browser/MyImageBrowserViewController.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace kivo {

namespace {
bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

bool isBad(char32_t c)
{
    return isControl(c) || c == 0xfffd || c == 0xfffe || c == 0xffff;
}
} // namespace

bool RecordableName::isRecordable(const QString &name)
{
    // Unpaired surrogates come out as U+FFFD.
    const QList<uint> characters = name.toUcs4();
    return std::none_of(characters.begin(), characters.end(),
                        [](uint c) { return isBad(char32_t(c)); });
}

QString RecordableName::shown(QString name)
{
    for (QChar &c : name) {
        if (isBad(c.unicode()))
            c = QChar::ReplacementCharacter;
    }
    return name;
}

QStringList RecordableName::unrecordableIn(const QString &folder)
{
    QStringList names;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray bytes(entry->d_name);
        struct stat st
        {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString name = decoder(bytes);
        if (!decoder.hasError() && isRecordable(name))
            continue;
        name = shown(name);
        if (MyImageBrowserViewController::isImageFile(folder + QLatin1Char('/') + name))
            names << name;
    }
    ::closedir(dir);
    names.sort();
    return names;
}

} // namespace kivo
