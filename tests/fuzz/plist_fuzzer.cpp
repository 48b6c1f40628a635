// libFuzzer target: feeds arbitrary bytes to the preferences reader the way a
// preferences file is read, then writes and reads back what it gave. Built by
// scripts/fuzz-xml.sh.
#include "FuzzInput.h"
#include "platform/Preferences.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzInput(data, size);
    const QVariant value = kivo::parsePropertyList(bytes);
    if (!value.isValid())
        return 0;
    // What was read can be written, and the written form reads back as
    // itself. (Not the first value: libplist clamps dates to 32-bit seconds.)
    const QByteArray xml = kivo::serializePropertyList(value);
    if (xml.isEmpty() || kivo::serializePropertyList(kivo::parsePropertyList(xml)) != xml)
        __builtin_trap();
    return 0;
}
