#pragma once

#include <QList>
#include <QString>

namespace kivo {

struct CodeEntry;

// What the console would list for a day folder, as JSON lines: one object per
// code row (the description file's entries plus "code", "codeStatus", "qty",
// "contentModDate", "createDate"), dates in ISO 8601, in the console's order.
// An empty dayFolder means today's day folder. Returns the exit status.
int listCodes(const QString &dayFolder);

// The rows of dayFolder with their photo counts, in the console's order.
QList<CodeEntry> countedCodeRows(const QString &dayFolder);
QByteArray codeRowJson(const CodeEntry &entry);

} // namespace kivo
