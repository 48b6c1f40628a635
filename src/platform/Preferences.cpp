#include "Preferences.h"

#include "AtomicFile.h"
#include "Log.h"
#include "PlatformLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QTimeZone>

namespace kivo {

namespace {

// The stored form of a value: the types a property list holds, with every
// integer as qint64 and every real as double, so that a value reads back the
// same before and after a round trip through the file. Invalid for a type
// that cannot be stored.
QVariant normalized(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return value;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return QVariant(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return QVariant(value.toDouble());
    case QMetaType::QDateTime: {
        // Whole seconds: the XML form holds no fractions.
        const QDateTime when = value.toDateTime();
        if (!when.isValid())
            return {};
        const qint64 ms = when.toMSecsSinceEpoch();
        return QDateTime::fromMSecsSinceEpoch(ms - ((ms % 1000) + 1000) % 1000, QTimeZone::utc());
    }
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        QVariantList out;
        for (const QVariant &item : value.toList()) {
            const QVariant n = normalized(item);
            if (n.isValid())
                out.append(n);
        }
        return out;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        QVariantMap out;
        const QVariantMap in = value.toMap();
        for (auto it = in.cbegin(); it != in.cend(); ++it) {
            const QVariant n = normalized(it.value());
            if (n.isValid())
                out.insert(it.key(), n);
        }
        return out;
    }
    default:
        return {};
    }
}

QVariantMap normalizedMap(const QVariantMap &map)
{
    return normalized(QVariant(map)).toMap();
}

// Equal values of the same type (QVariant's own comparison converts).
bool identical(const QVariant &a, const QVariant &b)
{
    return a.typeId() == b.typeId() && a == b;
}

bool isNumber(const QVariant &v)
{
    const int t = v.typeId();
    return t == QMetaType::LongLong || t == QMetaType::Double || t == QMetaType::Int ||
           t == QMetaType::UInt || t == QMetaType::ULongLong || t == QMetaType::Float;
}

// Moves a file that cannot be read as preferences out of the way, so that the
// next write does not destroy what may still be recovered from it.
void keepAside(const QString &path)
{
    QString target = path + QStringLiteral(".corrupt");
    for (int i = 1; QFileInfo::exists(target) && i < 1000; ++i)
        target = path + QStringLiteral(".corrupt.%1").arg(i);
    if (QFile::rename(path, target))
        logLine(
            lcPlatform(),
            QStringLiteral("Preferences: kept the unreadable file aside as \"%1\"").arg(target));
    else
        logLine(
            lcPlatform(),
            QStringLiteral("Preferences: could not keep \"%1\" aside as \"%2\"").arg(path, target));
}

QVariantMap loadUserValues(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        logLine(
            lcPlatform(),
            QStringLiteral("Preferences: cannot read \"%1\": %2").arg(path, file.errorString()));
        file.close();
        keepAside(path);
        return {};
    }
    const QByteArray bytes = file.readAll();
    file.close();
    const QVariant root = parsePropertyList(bytes);
    if (root.typeId() != QMetaType::QVariantMap) {
        logLine(lcPlatform(),
                QStringLiteral("Preferences: \"%1\" is not a property list dictionary").arg(path));
        keepAside(path);
        return {};
    }
    return root.toMap();
}

QString standardFilePath()
{
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/Kivo/KivoSlideShow.plist");
}

} // namespace

struct Preferences::Private
{
    QString path;

    mutable QMutex mutex; // guards the members below up to writeMutex
    QVariantMap registered;
    QVariantMap user;
    quint64 generation = 0; // bumped by every change of user

    QMutex writeMutex; // serialises writes of the file; taken before mutex
    quint64 written = 0;

    QVariant effective(const QString &key) const
    {
        auto it = user.constFind(key);
        if (it != user.cend())
            return *it;
        return registered.value(key);
    }

    bool save(bool force);
};

bool Preferences::Private::save(bool force)
{
    QMutexLocker writeLock(&writeMutex);
    QVariantMap snapshot;
    quint64 snapshotGeneration = 0;
    {
        QMutexLocker lock(&mutex);
        if (!force && written >= generation)
            return true; // a concurrent write already stored this change
        snapshot = user;
        snapshotGeneration = generation;
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        logLine(lcPlatform(),
                QStringLiteral("Preferences: cannot create the folder \"%1\"").arg(folder));
        return false;
    }
    QString error;
    if (!writeFileAtomically(path, serializePropertyList(snapshot), &error)) {
        logLine(lcPlatform(), QStringLiteral("Preferences: %1").arg(error));
        return false;
    }
    QMutexLocker lock(&mutex);
    written = std::max(written, snapshotGeneration);
    return true;
}

Preferences &Preferences::standard()
{
    // Never destroyed: other threads and static destructors may still use it.
    static Preferences *const instance = [] {
        auto *p = new Preferences(standardFilePath());
        if (QCoreApplication *app = QCoreApplication::instance())
            p->moveToThread(app->thread());
        return p;
    }();
    return *instance;
}

Preferences::Preferences(const QString &filePath, QObject *parent)
    : QObject(parent), d(std::make_unique<Private>())
{
    d->path = filePath;
    d->user = loadUserValues(filePath);
}

Preferences::~Preferences() = default;

QString Preferences::filePath() const
{
    return d->path;
}

void Preferences::registerDefaults(const QVariantMap &defaults)
{
    QStringList changed;
    {
        QMutexLocker lock(&d->mutex);
        const QVariantMap next = normalizedMap(defaults);
        QStringList keys = d->registered.keys() + next.keys();
        keys.removeDuplicates();
        for (const QString &key : keys) {
            if (!d->user.contains(key) && !identical(d->registered.value(key), next.value(key)))
                changed << key;
        }
        d->registered = next;
    }
    for (const QString &key : changed)
        emit valueChanged(key);
}

QVariantMap Preferences::registeredDefaults() const
{
    QMutexLocker lock(&d->mutex);
    return d->registered;
}

QVariant Preferences::object(const QString &key) const
{
    QMutexLocker lock(&d->mutex);
    return d->effective(key);
}

bool Preferences::contains(const QString &key) const
{
    return object(key).isValid();
}

QString Preferences::string(const QString &key) const
{
    const QVariant v = object(key);
    return v.typeId() == QMetaType::QString ? v.toString() : QString();
}

bool Preferences::boolean(const QString &key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (isNumber(v))
        return v.toDouble() != 0;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed();
        return s.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0 ||
               s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
               s == QLatin1String("1");
    }
    return false;
}

qint64 Preferences::integer(const QString &key) const
{
    const QVariant v = object(key);
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    case QMetaType::LongLong:
        return v.toLongLong();
    case QMetaType::Double: {
        const double r = v.toDouble();
        if (!(r == r)) // NaN
            return 0;
        return qint64(std::clamp(r, -9.2e18, 9.2e18));
    }
    case QMetaType::QString: {
        const QString s = v.toString().trimmed();
        bool ok = false;
        const qint64 i = s.toLongLong(&ok);
        if (ok)
            return i;
        const double r = s.toDouble(&ok);
        return ok && r == r ? qint64(std::clamp(r, -9.2e18, 9.2e18)) : 0;
    }
    default:
        return 0;
    }
}

double Preferences::real(const QString &key) const
{
    const QVariant v = object(key);
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? 1.0 : 0.0;
    case QMetaType::LongLong:
    case QMetaType::Double:
        return v.toDouble();
    case QMetaType::QString: {
        bool ok = false;
        const double r = v.toString().trimmed().toDouble(&ok);
        return ok ? r : 0.0;
    }
    default:
        return 0.0;
    }
}

QByteArray Preferences::data(const QString &key) const
{
    const QVariant v = object(key);
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : QByteArray();
}

QVariantList Preferences::array(const QString &key) const
{
    const QVariant v = object(key);
    return v.typeId() == QMetaType::QVariantList ? v.toList() : QVariantList();
}

QStringList Preferences::stringArray(const QString &key) const
{
    QStringList out;
    for (const QVariant &item : array(key)) {
        if (item.typeId() == QMetaType::QString)
            out << item.toString();
    }
    return out;
}

QVariantMap Preferences::dictionary(const QString &key) const
{
    const QVariant v = object(key);
    return v.typeId() == QMetaType::QVariantMap ? v.toMap() : QVariantMap();
}

void Preferences::setValue(const QString &key, const QVariant &value)
{
    setValues({{key, value}});
}

void Preferences::setValues(const QVariantMap &values)
{
    QStringList changed;
    bool userChanged = false;
    {
        QMutexLocker lock(&d->mutex);
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            const QString &key = it.key();
            const QVariant before = d->effective(key);
            if (!it.value().isValid()) {
                userChanged |= d->user.remove(key) > 0;
            } else {
                const QVariant stored = normalized(it.value());
                if (!stored.isValid()) {
                    logLine(lcPlatform(),
                            QStringLiteral("Preferences: cannot store a value of type %1 for %2")
                                .arg(QString::fromLatin1(it.value().typeName()), key));
                    continue;
                }
                auto existing = d->user.constFind(key);
                if (existing != d->user.cend() && identical(*existing, stored))
                    continue;
                d->user.insert(key, stored);
                userChanged = true;
            }
            if (!identical(d->effective(key), before))
                changed << key;
        }
        if (userChanged)
            ++d->generation;
    }
    if (userChanged)
        d->save(false);
    for (const QString &key : changed)
        emit valueChanged(key);
}

void Preferences::remove(const QString &key)
{
    setValues({{key, QVariant()}});
}

QVariantMap Preferences::userValues() const
{
    QMutexLocker lock(&d->mutex);
    return d->user;
}

bool Preferences::synchronize()
{
    return d->save(true);
}

void Preferences::reload()
{
    QStringList changed;
    {
        QMutexLocker writeLock(&d->writeMutex);
        const QVariantMap next = loadUserValues(d->path);
        QMutexLocker lock(&d->mutex);
        QStringList keys = d->user.keys() + next.keys();
        keys.removeDuplicates();
        const QVariantMap before = d->user;
        d->user = next;
        for (const QString &key : keys) {
            const QVariant was =
                before.contains(key) ? before.value(key) : d->registered.value(key);
            if (!identical(d->effective(key), was))
                changed << key;
        }
        d->written = ++d->generation;
    }
    for (const QString &key : changed)
        emit valueChanged(key);
}

} // namespace kivo
