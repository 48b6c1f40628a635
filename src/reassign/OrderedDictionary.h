#pragma once

#include <QHash>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace kivo {

// A string-keyed dictionary that enumerates its entries in insertion order
// (replacing a value keeps its place). It nests inside QVariant, so documents
// whose element order matters can be described with it.
class OrderedDictionary
{
public:
    OrderedDictionary() = default;
    OrderedDictionary(std::initializer_list<std::pair<QString, QVariant>> entries);
    // Entries of a QVariantMap in its (sorted) key order.
    static OrderedDictionary fromVariantMap(const QVariantMap &map);

    void insert(const QString &key, const QVariant &value);
    bool remove(const QString &key);
    bool contains(const QString &key) const { return mValues.contains(key); }
    QVariant value(const QString &key) const { return mValues.value(key); }
    const QList<QString> &keys() const { return mKeys; }
    qsizetype size() const { return mKeys.size(); }
    bool isEmpty() const { return mKeys.isEmpty(); }

    bool operator==(const OrderedDictionary &other) const;

private:
    QList<QString> mKeys;
    QHash<QString, QVariant> mValues;
};

} // namespace kivo

Q_DECLARE_METATYPE(kivo::OrderedDictionary)
