// The file system seen as a shell namespace: a folder object that lists its
// entries, names them and reports their attributes and file data. The
// browser's entry list (browser/ImgShare.h) is built on it. No display needed.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace sq::platform {

// Which entries a listing yields. The values are those of the enumeration
// flags the browser's options are written in.
enum EnumFlag : unsigned {
    ContFolders = 0x20,
    ContNonFolders = 0x40,
    ContIncludeHidden = 0x80,
};

// Attribute bits of an entry.
enum ItemAttr : unsigned {
    AttrLink = 0x00010000,            // a symbolic link (to anything)
    AttrShare = 0x00020000,           // never set: Linux has no shared-folder mark
    AttrFileSysAncestor = 0x10000000, // a folder (links followed): never filtered
    AttrFolder = 0x20000000,          // a folder (links followed)
};

// An entry's file data: size, modification time and mode, of the link's
// target when the entry is a link that resolves, of the link itself otherwise.
struct FindData
{
    std::int64_t size = 0;
    std::int64_t mtimeSec = 0; // seconds since the epoch, UTC
    std::int32_t mtimeNsec = 0;
    std::uint32_t mode = 0; // st_mode
    // The same file data: a file whose data are unchanged is taken as unchanged.
    bool operator==(const FindData&) const = default;
};

// One entry of a listing: its name inside the folder, as the file system
// stores it, and its attribute bits.
struct EnumItem
{
    QByteArray name;
    unsigned attributes = 0;
};

// A folder given by its absolute path, a carrier of the file system's bytes
// (platform/NativePath.h). "/" stands for the desktop. Cheap to copy. Every call works on the file
// system at the time of the call; nothing is cached here.
class ShellFolder
{
public:
    ShellFolder(); // the desktop
    explicit ShellFolder(const QString& absolutePath);

    static ShellFolder desktop() { return ShellFolder(); }

    const QString& path() const { return m_path; }
    bool isDesktop() const { return m_path == QLatin1String("/"); }

    // Lists the folder with one readdir pass. A stat is made only for a link
    // (is its target a folder?) and for entries whose type the file system
    // does not report. "." and ".." are never listed; names starting with "."
    // are hidden. The sink is called once per entry in directory order and
    // may return false to stop. Returns false when the folder cannot be
    // opened.
    bool enumObjects(unsigned flags, const std::function<bool(EnumItem&&)>& sink) const;

    // Display name (the file name as shown: invalid bytes as U+FFFD) and
    // parsing name (the absolute path, a lossless carrier of the bytes, see
    // NativePath.h) of the entry called name in this folder.
    QString displayNameOf(const QByteArray& name) const;
    QString parseNameOf(const QByteArray& name) const;

    // The attribute bits of one entry, 0 when it does not exist.
    unsigned attributesOf(const QByteArray& name) const;

    // The entry's file data; nothing when it does not exist.
    std::optional<FindData> findData(const QByteArray& name) const;

    // The target of a link (a carrier), made absolute and clean; empty when
    // the entry is no link or its target cannot be read.
    QString linkTarget(const QByteArray& name) const;

private:
    QByteArray nativeChild(const QByteArray& name) const;

    QString m_path;      // absolute, clean, "/" for the root (a carrier)
    QByteArray m_native; // m_path in the file system's encoding
};

// A path taken apart into its parent folder and its last element, with the
// parsing name the file system gives it.
struct ParsedPath
{
    ShellFolder parent;
    QByteArray name;
    QString parseName;
    unsigned attributes = 0;
};

// Parses an absolute path to an existing entry. Fails for relative paths, for
// the root itself and for paths that do not exist. The parsing name is the
// clean absolute form, so "/a/./b" parses to "/a/b".
std::optional<ParsedPath> parseDisplayName(const QString& path);

} // namespace sq::platform
