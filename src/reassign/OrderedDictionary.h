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
    bool contains(const QString &key) const { return m_values.contains(key); }
    QVariant value(const QString &key) const { return m_values.value(key); }
    const QList<QString> &keys() const { return m_keys; }
    qsizetype size() const { return m_keys.size(); }
    bool isEmpty() const { return m_keys.isEmpty(); }

    bool operator==(const OrderedDictionary &other) const;

private:
    QList<QString> m_keys;
    QHash<QString, QVariant> m_values;
};

} // namespace kivo

Q_DECLARE_METATYPE(kivo::OrderedDictionary)
