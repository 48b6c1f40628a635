#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariantMap>

namespace kivo {

// One listed code folder: its folder and its code row (the description
// file's entries plus "code", "codeStatus", "qty", "contentModDate" and
// "createDate").
struct CodeEntry
{
    QString folderPath;
    QVariantMap row;
};

// Keys of a code row that the console sets.
namespace rowKey {
inline constexpr char code[] = "code";
inline constexpr char codeStatus[] = "codeStatus";
inline constexpr char qty[] = "qty";
inline constexpr char contentModDate[] = "contentModDate";
inline constexpr char createDate[] = "createDate";
inline constexpr char name[] = "name";
inline constexpr char email[] = "email";
} // namespace rowKey

// The code rows in their arranged (sorted) order. The sort key follows
// prefSortListTag: 1 code ascending, 2 content modification date descending,
// 3 creation date descending, anything else code ascending. Codes compare as
// text, case-sensitive; the sort is stable.
class CodeListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        CodeColumn,
        StatusColumn,
        QtyColumn,
        NameColumn,
        ModifiedColumn,
        CreatedColumn,
        ColumnCount
    };

    explicit CodeListModel(QObject *parent = nullptr);

    // Orders entries by the sort tag (stable).
    static void sortEntries(QList<CodeEntry> &entries, qint64 sortTag);
    // "qty" as a whole number; "-" and anything not a number read as 0.
    static qint64 qtyOf(const QVariantMap &row);

    void setSortTag(qint64 tag); // re-sorts
    qint64 sortTag() const { return m_sortTag; }

    void setEntries(QList<CodeEntry> entries);
    void clear();
    const QList<CodeEntry> &entries() const { return m_entries; }
    // The arranged row at position, or an empty one past the end.
    QVariantMap rowAt(int position) const;
    QString folderPathAt(int position) const;
    // The folder the row was read from, the code's own whatever the letter
    // case of its code; empty for a row without a code.
    QString codeFolderAt(int position) const;
    // Position of the row listing folderPath, or -1.
    int positionOfFolder(const QString &folderPath) const;

    // Photo counts keyed by code folder path; unknown folders are ignored.
    void applyCounts(const QHash<QString, int> &counts);
    // Every row whose code equals code, ignoring case, gets codeStatus.
    int updateCodeStatus(const QString &code, const QString &codeStatus);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QList<CodeEntry> m_entries;
    QHash<QString, int> m_positionByFolder;
    qint64 m_sortTag = 1;
    void reindex();
};

} // namespace kivo
