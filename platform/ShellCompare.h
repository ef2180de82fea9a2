// The per-column order of a folder's entries (name, size, type, date,
// attributes), folders before files in every column and ties broken by name.
// Used by the browser's entry list when it sorts (browser/ImgShare.h).
#pragma once

#include "platform/ShellFolder.h"

#include <QByteArray>
#include <QCollator>
#include <QString>

#include <optional>

namespace sq::platform {

// The columns, numbered as the browser's sort types are.
enum class ShellColumn { Name = 0, Size = 1, Type = 2, Date = 3, Attr = 4 };

// Makes the keys of the order. Name keys are natural (img2 before img10),
// case-insensitive and follow the user's locale; in the C locale the English
// rules stand in, since the C locale has no natural order. One object per
// thread: QCollator is not to be shared between threads.
class ShellCollator
{
public:
    ShellCollator();
    explicit ShellCollator(const QLocale& locale);

    QCollatorSortKey sortKey(const QString& text) const { return m_collator.sortKey(text); }

    // The description of the file's MIME type, found from its name alone (no
    // file is read); folders have the folder type's description.
    static QString typeDescription(const QString& fileName, bool isFolder);

private:
    QCollator m_collator;
};

// What the order needs to know of one entry. The owner fills the parts the
// column needs before it sorts, once per entry: a name key for every column
// (ties are broken by name), file data for size, date and attributes, a type
// key for the type column.
struct ShellCompareInfo
{
    bool isFolder = false;
    QByteArray rawName; // the file system's bytes, the last resort of ties
    std::optional<QCollatorSortKey> nameKey;
    std::optional<FindData> data; // missing data sorts as size 0, time 0, mode 0
    std::optional<QCollatorSortKey> typeKey;
};

// Negative, zero or positive as a sorts before, with or after b in the
// column. Zero only for entries with equal names (bytes included).
int compareShellItems(ShellColumn column, const ShellCompareInfo& a, const ShellCompareInfo& b);

} // namespace sq::platform
