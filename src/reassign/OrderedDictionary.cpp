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
    if (!mValues.contains(key))
        mKeys.append(key);
    mValues.insert(key, value);
}

bool OrderedDictionary::remove(const QString &key)
{
    if (!mValues.remove(key))
        return false;
    mKeys.removeOne(key);
    return true;
}

bool OrderedDictionary::operator==(const OrderedDictionary &other) const
{
    return mKeys == other.mKeys && mValues == other.mValues;
}

} // namespace kivo
