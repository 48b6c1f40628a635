#include "XmlNode.h"

namespace kivo {

QVariant toVariant(const XmlValue &value)
{
    if (const auto *text = std::get_if<QString>(&value))
        return *text;
    const XmlNodePtr &node = std::get<XmlNodePtr>(value);
    return node ? node->toVariant() : QVariant();
}

QVariantMap XmlNode::toVariantMap() const
{
    QVariantMap map;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        map.insert(map.cend(), it.key(), kivo::toVariant(it.value())); // in order: O(1)
    return map;
}

QVariant XmlNode::toVariant() const
{
    if (isDictionary())
        return toVariantMap();
    QVariantList list;
    list.reserve(items.size());
    for (const XmlValue &item : items)
        list.append(kivo::toVariant(item));
    return list;
}

} // namespace kivo
