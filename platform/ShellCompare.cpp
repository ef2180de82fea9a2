#include "platform/ShellCompare.h"

#include <QMimeDatabase>

namespace sq::platform {

namespace {

QLocale collationLocale(const QLocale& locale)
{
    if (locale.language() == QLocale::C) return QLocale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

template <class T> int threeWay(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

int compareKeys(const std::optional<QCollatorSortKey>& a, const std::optional<QCollatorSortKey>& b)
{
    if (a && b) return a->compare(*b);
    return threeWay(a.has_value(), b.has_value());
}

int compareByName(const ShellCompareInfo& a, const ShellCompareInfo& b)
{
    if (const int c = compareKeys(a.nameKey, b.nameKey)) return c;
    // Names equal but for case or the collator's ignorables: the bytes decide,
    // so that the order does not depend on how the list was before.
    return threeWay(a.rawName, b.rawName);
}

int compareData(ShellColumn column, const ShellCompareInfo& a, const ShellCompareInfo& b)
{
    const FindData none;
    const FindData& da = a.data ? *a.data : none;
    const FindData& db = b.data ? *b.data : none;
    switch (column) {
    case ShellColumn::Size:
        // A folder's own size says nothing of what it holds: folders tie on
        // size and fall back to their names.
        if (a.isFolder) return 0;
        return threeWay(da.size, db.size);
    case ShellColumn::Date:
        if (const int c = threeWay(da.mtimeSec, db.mtimeSec)) return c;
        return threeWay(da.mtimeNsec, db.mtimeNsec);
    case ShellColumn::Attr:
        return threeWay(da.mode, db.mode);
    case ShellColumn::Type:
        return compareKeys(a.typeKey, b.typeKey);
    case ShellColumn::Name:
        break;
    }
    return 0;
}

} // namespace

ShellCollator::ShellCollator() : ShellCollator(QLocale()) {}

ShellCollator::ShellCollator(const QLocale& locale) : m_collator(collationLocale(locale))
{
    m_collator.setNumericMode(true);
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
}

QString ShellCollator::typeDescription(const QString& fileName, bool isFolder)
{
    static const QMimeDatabase db; // thread-safe, and costly to look up each time
    if (isFolder) return db.mimeTypeForName(QStringLiteral("inode/directory")).comment();
    return db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).comment();
}

int compareShellItems(ShellColumn column, const ShellCompareInfo& a, const ShellCompareInfo& b)
{
    if (a.isFolder != b.isFolder) return a.isFolder ? -1 : 1;
    if (column != ShellColumn::Name) {
        if (const int c = compareData(column, a, b)) return c;
    }
    return compareByName(a, b);
}

} // namespace sq::platform
