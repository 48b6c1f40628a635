#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <memory>

namespace kivo {

// The per-user preferences store: a registration domain (factory defaults,
// never written to disk) under the user's own values, which are kept in an
// XML property list and written atomically (temporary file, fsync, rename) on
// every change. Values are QString, bool, qint64, double, QByteArray (data),
// QVariantList (array), QVariantMap (dictionary) and QDateTime (date).
//
// Reading a key that holds nothing, or a value of the wrong type, gives an
// empty result: empty string, false, 0, empty list. Every member is safe to
// call from any thread; writes are visible at once to every thread.
class Preferences : public QObject
{
    Q_OBJECT
public:
    // The process-wide store at $XDG_CONFIG_HOME/Kivo/KivoSlideShow.plist.
    static Preferences &standard();

    // A store backed by the given file (tests, tools).
    explicit Preferences(const QString &filePath, QObject *parent = nullptr);
    ~Preferences() override;

    QString filePath() const;

    // Replaces the registration domain. Emits valueChanged for keys whose
    // effective value changed.
    void registerDefaults(const QVariantMap &defaults);
    QVariantMap registeredDefaults() const;

    // The user's value, else the registered one, else an invalid QVariant.
    QVariant object(const QString &key) const;
    bool contains(const QString &key) const; // user or registered value present

    QString string(const QString &key) const;  // strings only (numbers are not converted)
    bool boolean(const QString &key) const;    // bool; number != 0; "YES"/"true"/"1" (any case)
    qint64 integer(const QString &key) const;  // number or numeric string; bool as 0/1
    double real(const QString &key) const;     // number or numeric string
    QByteArray data(const QString &key) const; // data only
    QVariantList array(const QString &key) const;
    QStringList stringArray(const QString &key) const; // the string items of an array
    QVariantMap dictionary(const QString &key) const;

    // Stores a user value; an invalid QVariant removes it. Writes the file.
    void setValue(const QString &key, const QVariant &value);
    // Stores several values with one write of the file.
    void setValues(const QVariantMap &values);
    void remove(const QString &key);

    // The user's own values (not the registered ones).
    QVariantMap userValues() const;

    // Writes the user's values to the file now. False when the write failed.
    bool synchronize();

    // Reads the user's values from the file again (discarding unsaved state).
    void reload();

signals:
    // Emitted on the writing thread after the effective value of key changed.
    void valueChanged(const QString &key);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Reads a property list file (XML or binary) into a QVariant tree; an invalid
// QVariant when it cannot be read or parsed.
QVariant readPropertyList(const QString &path);
// Writes a QVariant tree as an XML property list, atomically.
bool writePropertyList(const QString &path, const QVariant &value);

// The same in memory: parses XML or binary property-list bytes (an invalid
// QVariant when they are not one), and gives the XML form of a tree (empty when
// the root cannot be stored). Values of other types are left out.
QVariant parsePropertyList(const QByteArray &bytes);
QByteArray serializePropertyList(const QVariant &value);

} // namespace kivo
