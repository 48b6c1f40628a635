#include "CodeListModel.h"

#include <QLocale>

#include <algorithm>

namespace kivo {

namespace {
QDateTime dateOf(const QVariantMap &row, const char *key)
{
    const QVariant value = row.value(QLatin1String(key));
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime();
    return QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
}

QString textOf(const QVariantMap &row, const char *key)
{
    const QVariant value = row.value(QLatin1String(key));
    if (value.metaType().id() == QMetaType::QDateTime)
        return QLocale().toString(value.toDateTime(), QLocale::ShortFormat);
    return value.toString();
}
} // namespace

CodeListModel::CodeListModel(QObject *parent) : QAbstractTableModel(parent) {}

void CodeListModel::sortEntries(QList<CodeEntry> &entries, qint64 sortTag)
{
    if (sortTag == 2 || sortTag == 3) {
        const char *key = sortTag == 2 ? rowKey::contentModDate : rowKey::createDate;
        std::stable_sort(entries.begin(), entries.end(),
                         [key](const CodeEntry &a, const CodeEntry &b) {
                             return dateOf(a.row, key) > dateOf(b.row, key);
                         });
        return;
    }
    std::stable_sort(entries.begin(), entries.end(), [](const CodeEntry &a, const CodeEntry &b) {
        return QString::compare(a.row.value(QLatin1String(rowKey::code)).toString(),
                                b.row.value(QLatin1String(rowKey::code)).toString(),
                                Qt::CaseSensitive) < 0;
    });
}

qint64 CodeListModel::qtyOf(const QVariantMap &row)
{
    bool ok = false;
    const qint64 qty = row.value(QLatin1String(rowKey::qty)).toString().toLongLong(&ok);
    return ok ? qty : 0;
}

void CodeListModel::setSortTag(qint64 tag)
{
    m_sortTag = tag;
    beginResetModel();
    sortEntries(m_entries, m_sortTag);
    reindex();
    endResetModel();
}

void CodeListModel::setEntries(QList<CodeEntry> entries)
{
    beginResetModel();
    m_entries = std::move(entries);
    sortEntries(m_entries, m_sortTag);
    reindex();
    endResetModel();
}

void CodeListModel::clear()
{
    setEntries({});
}

QVariantMap CodeListModel::rowAt(int position) const
{
    if (position < 0 || position >= m_entries.size())
        return {};
    return m_entries.at(position).row;
}

QString CodeListModel::folderPathAt(int position) const
{
    if (position < 0 || position >= m_entries.size())
        return {};
    return m_entries.at(position).folderPath;
}

QString CodeListModel::codeFolderAt(int position) const
{
    if (textOf(rowAt(position), rowKey::code).isEmpty())
        return {};
    return folderPathAt(position);
}

int CodeListModel::positionOfFolder(const QString &folderPath) const
{
    return m_positionByFolder.value(folderPath, -1);
}

void CodeListModel::applyCounts(const QHash<QString, int> &counts)
{
    int first = -1;
    int last = -1;
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        const int position = positionOfFolder(it.key());
        if (position < 0)
            continue;
        m_entries[position].row.insert(QLatin1String(rowKey::qty), QString::number(it.value()));
        first = first < 0 ? position : std::min(first, position);
        last = std::max(last, position);
    }
    if (first >= 0)
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
}

int CodeListModel::updateCodeStatus(const QString &code, const QString &codeStatus)
{
    int changed = 0;
    for (int i = 0; i < m_entries.size(); ++i) {
        QVariantMap &row = m_entries[i].row;
        const QVariant rowCode = row.value(QLatin1String(rowKey::code));
        if (!rowCode.isValid() || rowCode.toString().compare(code, Qt::CaseInsensitive) != 0)
            continue;
        row.insert(QLatin1String(rowKey::codeStatus), codeStatus);
        emit dataChanged(index(i, 0), index(i, ColumnCount - 1));
        ++changed;
    }
    return changed;
}

int CodeListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int CodeListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CodeListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole)
        return {};
    const QVariantMap &row = m_entries.at(index.row()).row;
    switch (index.column()) {
    case CodeColumn:
        return textOf(row, rowKey::code);
    case StatusColumn:
        return textOf(row, rowKey::codeStatus);
    case QtyColumn:
        return textOf(row, rowKey::qty);
    case NameColumn:
        return textOf(row, rowKey::name);
    case ModifiedColumn:
        return textOf(row, rowKey::contentModDate);
    case CreatedColumn:
        return textOf(row, rowKey::createDate);
    default:
        return {};
    }
}

QVariant CodeListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case CodeColumn:
        return tr("Code");
    case StatusColumn:
        return tr("Status");
    case QtyColumn:
        return tr("Photos");
    case NameColumn:
        return tr("Name");
    case ModifiedColumn:
        return tr("Modified");
    case CreatedColumn:
        return tr("Created");
    default:
        return {};
    }
}

void CodeListModel::reindex()
{
    m_positionByFolder.clear();
    m_positionByFolder.reserve(m_entries.size());
    for (int i = 0; i < m_entries.size(); ++i)
        m_positionByFolder.insert(m_entries.at(i).folderPath, i);
}

} // namespace kivo
