#include "MyImageBrowserObject.h"

#include <QFileInfo>

namespace kivo {

MyImageBrowserObject::MyImageBrowserObject(QString path, qint64 index, bool canBeSelected)
    : path(std::move(path)), index(index), canBeSelected(canBeSelected)
{}

QString MyImageBrowserObject::imageTitle() const
{
    return QFileInfo(path).completeBaseName();
}

QString MyImageBrowserObject::imageSubtitle() const
{
    return QString::number(index);
}

} // namespace kivo
