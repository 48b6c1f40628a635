#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace kivo {

// Turns an untrusted D-Bus dictionary (a{sv}, a{ss}, ...) as received in a
// QDBusMessage into plain values: QString, numbers, bool, QByteArray,
// QVariantList (arrays and structures) and QVariantMap (dictionaries).
// Variants are unwrapped, object paths and signatures become strings, map
// keys that are numbers become strings. Values of other kinds (file
// descriptors, maps with non-scalar keys) are left out and named in
// `dropped`. Nothing at all is given when the value is not a dictionary or
// goes past the limits.
struct DBusPayloadLimits
{
    int maxDepth = 8;
    int maxElements = 4096;
    qsizetype maxBytes = 1 << 20;
};

struct DBusPayloadResult
{
    std::optional<QVariantMap> map; // empty when rejected
    QString error;                  // why it was rejected
    QStringList dropped;            // keys of values left out
};

DBusPayloadResult plainDBusDictionary(const QVariant &argument,
                                      const DBusPayloadLimits &limits = {});

} // namespace kivo
