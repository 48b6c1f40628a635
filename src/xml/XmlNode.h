#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

#include <memory>
#include <variant>

namespace kivo {

struct XmlNode;
using XmlNodePtr = std::shared_ptr<XmlNode>;
// A parsed value: text or a container that stays mutable while the parse runs.
using XmlValue = std::variant<QString, XmlNodePtr>;

// A dictionary or array built by the description-file parser. Containers are
// shared, so one held on the parser's stack can still be filled after it was
// attached to its parent.
struct XmlNode
{
    enum class Kind
    {
        Dictionary,
        Array
    };

    Kind kind = Kind::Dictionary;
    QMap<QString, XmlValue> entries; // dictionary
    QList<XmlValue> items;           // array

    static XmlNodePtr dictionary() { return make(Kind::Dictionary); }
    static XmlNodePtr array() { return make(Kind::Array); }

    bool isArray() const { return kind == Kind::Array; }
    bool isDictionary() const { return kind == Kind::Dictionary; }

    // QVariantMap for a dictionary, QVariantList for an array, recursively.
    QVariant toVariant() const;
    QVariantMap toVariantMap() const;

private:
    static XmlNodePtr make(Kind kind)
    {
        auto node = std::make_shared<XmlNode>();
        node->kind = kind;
        return node;
    }
};

QVariant toVariant(const XmlValue &value);

} // namespace kivo
