#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QTest>
#include <QVariantMap>

#include <concepts>
#include <tuple>

#include <sys/types.h>

namespace kivo::test {

// A row of a data table: QTest::newRow(name) << values...
template <typename... T> void row(const char *name, const T &...values)
{
    (QTest::newRow(name) << ... << values);
}

// Declares the columns of a data table: columns<QString, int>("path", "count").
template <typename... T> void columns(std::convertible_to<const char *> auto... names)
{
    (QTest::addColumn<T>(names), ...);
}

// The current row's values, as QFETCH reads them:
// auto [path, count] = fetch<QString, int>("path", "count").
template <typename... T> std::tuple<T...> fetch(std::convertible_to<const char *> auto... names)
{
    return {*static_cast<T *>(QTest::qData(names, qMetaTypeId<T>()))...};
}

// Forgets every user preference, then sets values.
void resetPreferences(const QVariantMap &values = {});

// The whole content of a file; empty when it cannot be read.
QByteArray readFile(const QString &path);

// Writes bytes to a file, creating missing parent folders.
bool writeFile(const QString &path, const QByteArray &bytes);

// Writes a solid-colour JPEG of the given size.
bool writeJpeg(const QString &path, int width, int height, QColor color = Qt::darkCyan,
               int quality = 90);

// Writes an executable /bin/sh script with the given body.
bool writeScript(const QString &path, const QByteArray &body);

// The st_mode of a path (links not followed); 0 when it does not exist.
mode_t modeOf(const QString &path);

// Makes a folder unwritable or writable again: the immutable flag for the
// superuser (whom permissions do not bind), the permissions otherwise.
bool lockFolder(const QString &path, bool locked);

// A new folder in /dev/shm when that is another file system than `near`, for
// moves across file systems; empty otherwise. The caller removes it.
QString folderOnOtherFileSystem(const QString &near);

} // namespace kivo::test
