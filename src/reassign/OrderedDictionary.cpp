#include "OrderedDictionary.h"

namespace kivo {

OrderedDictionary::OrderedDictionary(std::initializer_list<std::pair<QString, QVariant>> entries)
{
    for (const auto &[key, value] : entries)
        insert(key, value);
}

OrderedDictionary OrderedDictionary::fromVariantMap(const QVariantMap &map)
{
    OrderedDictionary dictionary;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        dictionary.insert(it.key(), it.value());
    return dictionary;
}

void OrderedDictionary::insert(const QString &key, const QVariant &value)
{
    if (!m_values.contains(key))
        m_keys.append(key);
    m_values.insert(key, value);
}

bool OrderedDictionary::remove(const QString &key)
{
    if (!m_values.remove(key))
        return false;
    m_keys.removeOne(key);
    return true;
}

bool OrderedDictionary::operator==(const OrderedDictionary &other) const
{
    return m_keys == other.m_keys && m_values == other.m_values;
}

} // namespace kivo
