// Safeguards of the file operations (FileOps.cpp) that look past path
// strings: trash names that fit the file system, folders told apart by
// device and inode (a bind mount is a second path to the same folder), and
// the temporary names of unfinished copies, with the removal of those whose
// writer is gone. Paths are carriers (platform/NativePath.h). Any thread.
#pragma once

#include <QByteArray>
#include <QString>

#include <set>
#include <sys/types.h>
#include <utility>

namespace sq::platform {

// The name the n-th try (from 1) gives a file in a trash's files/ folder
// when its own name is name: name, then name.2, name.3 ... as long as that
// fits maxBytes (the info file adds ".trashinfo" to it, and a name has at
// most 255 bytes). A longer one is cut at the end of its stem, on a
// character boundary where the name is UTF-8, keeping a short extension,
// and numbered "~n" from the second try. The info file keeps the original
// path, so nothing of the name is lost.
QByteArray trashSlotName(const QByteArray& name, int n, int maxBytes = 245);

// Whether the folder at target (links followed) is the folder source or lies
// inside it, by device and inode: the target's ancestors are compared with
// source, and the folders inside source (mounts included) with the target.
// False when either is not there.
bool isFolderInside(const QString& target, const QString& source);

// The device and inode numbers of the folders a copy is inside of right
// now, sources and the copies being built, so that a folder met again
// through a bind mount or a loop is not entered a second time.
class FolderChain
{
public:
    // False when the folder is on the chain already; otherwise it is now.
    bool enter(dev_t dev, ino_t ino) { return m_ids.insert({dev, ino}).second; }
    void leave(dev_t dev, ino_t ino) { m_ids.erase({dev, ino}); }
    bool contains(dev_t dev, ino_t ino) const { return m_ids.count({dev, ino}) > 0; }

private:
    std::set<std::pair<dev_t, ino_t>> m_ids;
};

// A mkstemp/mkdtemp pattern for a hidden temporary in folder: prefix (such
// as ".sqcopy-") followed by this boot's id, this process's id and the six
// X's, so that a later run can tell a leftover whose writer is gone.
QByteArray tempPattern(const QString& folder, const char* prefix);

// Whether name is one of the program's temporary names (tempPattern, any
// of its prefixes) whose writer is certainly gone: made before the last
// boot, or by a process that no longer exists. Anything else, a name that
// only looks similar included, is false.
bool isDeadTempName(const QByteArray& name);

// Marks a temporary as being written: an flock on it (a file or folder),
// held while the returned descriptor is open (-1 when it cannot be had). A
// temporary under a lock is never removed, whatever its name says (its
// writer may live in another process id space).
int holdTemp(const QByteArray& path);
// The same on an open descriptor of the temporary.
void holdTemp(int fd);

// Removes the dead temporaries (isDeadTempName, and not held) directly in
// folder, each with everything inside it; nothing else is touched. The
// number removed.
int removeDeadTemps(const QString& folder);

} // namespace sq::platform
