#pragma once

#include <QString>

namespace kivo {

// One photo shown in an image browser. The path is the item's identity.
class MyImageBrowserObject
{
public:
    MyImageBrowserObject() = default;
    MyImageBrowserObject(QString path, qint64 index, bool canBeSelected);

    QString path;
    // The list's count right after a load appended the item (1 for the
    // first); 0 for an item inserted by a drop.
    qint64 index = 0;
    bool canBeSelected = true;

    // What the grid shows under the thumbnail.
    QString imageTitle() const;    // file name without its extension
    QString imageSubtitle() const; // index as decimal text
};

} // namespace kivo
