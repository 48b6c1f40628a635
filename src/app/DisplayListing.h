#pragma once

#include <QByteArray>
#include <QStringList>

class QScreen;

namespace kivo {

// What `--list-displays` prints: one JSON object per monitor Qt sees, one a
// line, in QGuiApplication::screens() order: its name, geometry and whether
// it is primary, the manufacturer, model and serial number where Qt knows
// them, and the display number pinned to it (prefDisplayOutputN), null when
// none. Needs a QGuiApplication; returns the exit status.
int listDisplays();

// One monitor's line, pins as DisplayOutputs::pinnedOutputs gives them.
QByteArray displayJson(const QScreen &screen, const QStringList &pins);

} // namespace kivo
