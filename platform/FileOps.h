// Copying, moving, trashing and renaming files and whole folders, for the
// file verbs of the browser and the main window's file commands. Questions,
// errors and progress go through a FileOpPrompt, so the work itself shows no
// window (FileOpsDialogs.h has the one that does).
//
// Nothing is lost on any path: copies are written under a temporary name in
// the target folder and renamed into place only when complete; a replaced
// file is replaced only then, after the new bytes are on the disk; a move
// across file systems deletes its sources only at the end, once their copies
// are complete, checked and flushed; a cancel leaves the sources as they were
// and removes the partial copy. Paths are carriers of the file system's
// bytes (platform/NativePath.h), so any name is copied, moved or renamed as
// it is. GUI thread (the prompt's calls come back on the caller's thread).
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace sq::platform {

enum class ConflictAnswer { Replace, Skip, Cancel };

struct FileOpError
{
    enum Kind {
        Missing,      // the source does not exist
        NoFolder,     // the target folder does not exist or is no folder
        IntoItself,   // a folder copied or moved into itself or its own subfolder
        TypeMismatch, // a folder would replace a file, or a file a folder
        Unsupported,  // a device, pipe or socket
        ReadFailed,
        WriteFailed, // includes a full disk and an unwritable folder
        Changed,     // the source changed while it was copied
        TrashFailed,
        DeleteFailed, // a moved file's source could not be removed (the copy is kept)
        RenameFailed, // a bad name, an existing name or a refused rename
    };
    Kind kind;
    QString path;   // the file the error is about
    QString detail; // the system's reason, when there is one
};

// The message shown for an error (Japanese, one or two lines).
QString errorText(const FileOpError& error);

class FileOpPrompt
{
public:
    virtual ~FileOpPrompt() = default;
    // target exists and source would replace it. Setting applyToAll makes
    // the answer hold for the remaining conflicts of the same command (the
    // outermost FileOpBatch, askConflictInBatch).
    virtual ConflictAnswer askConflict(const QString& source, const QString& target,
                                       bool& applyToAll) = 0;
    virtual void reportError(const FileOpError& error) = 0;
    // Progress of one operation: begin with the bytes to copy (0 for an
    // operation that copies nothing), steps with the bytes done so far,
    // end once. cancelRequested is asked between pieces of work.
    virtual void beginProgress(qint64 totalBytes) = 0;
    virtual void stepProgress(qint64 doneBytes) = 0;
    virtual bool cancelRequested() = 0;
    virtual void endProgress() = 0;
    // The new name for a rename, asked with the old one shown; nothing when
    // the user gives up. A prompt that cannot ask gives nothing.
    virtual std::optional<QString> askNewName(const QString& path)
    {
        (void)path;
        return std::nullopt;
    }
};

// A prompt that asks nobody: every conflict gets the same answer and errors
// are collected. For work without a window and for tests.
class QuietFileOpPrompt : public FileOpPrompt
{
public:
    explicit QuietFileOpPrompt(ConflictAnswer answer = ConflictAnswer::Skip) : m_answer(answer) {}
    ConflictAnswer askConflict(const QString&, const QString&, bool&) override;
    void reportError(const FileOpError& error) override { errors.push_back(error); }
    void beginProgress(qint64) override {}
    void stepProgress(qint64) override {}
    bool cancelRequested() override { return false; }
    void endProgress() override {}

    std::vector<FileOpError> errors;
    int conflicts = 0;

private:
    ConflictAnswer m_answer;
};

struct FileOpResult
{
    bool cancelled = false;
    int done = 0;        // sources completed (a merged folder counts once)
    int skipped = 0;     // files or folders left alone at a conflict
    int failed = 0;      // errors reported
    QStringList targets; // where the completed sources are now
    bool ok() const { return !cancelled && failed == 0; }
};

// Copies or moves each source (file or folder, with everything inside) into
// folder, under its own name. A folder meets an existing folder of the same
// name by merging: the files inside are asked about one by one. A copy into
// the folder the source is in gets the name "name - コピー.ext"; a move there
// does nothing.
FileOpResult copyInto(const QStringList& sources, const QString& folder, FileOpPrompt& prompt);
FileOpResult moveInto(const QStringList& sources, const QString& folder, FileOpPrompt& prompt);
// The same for one source and its full target path.
FileOpResult copyTo(const QString& source, const QString& target, FileOpPrompt& prompt);
FileOpResult moveTo(const QString& source, const QString& target, FileOpPrompt& prompt);

// Makes a symbolic link in folder to each source (its absolute path),
// under the source's name; beside the source itself the link is named
// "name - リンク.ext". A taken name is a conflict: the answer may replace a
// file or link (never a folder), skip or cancel. A folder is not linked
// into itself or its own subfolder.
FileOpResult linkInto(const QStringList& sources, const QString& folder, FileOpPrompt& prompt);

// Moves each path to the freedesktop trash: the home trash for files on its
// file system, else the trash at the top of the file's mount. A path that
// cannot be trashed is reported and stays where it is; nothing is deleted.
FileOpResult moveToTrash(const QStringList& paths, FileOpPrompt& prompt);

// File operations in progress, for those who watch folders: while one runs,
// the browser's change watch gathers what it sees and reads the folder once
// when the last one has ended (finished). GUI thread only.
class FileOpActivity : public QObject
{
    Q_OBJECT

public:
    static FileOpActivity& instance();
    bool running() const { return m_depth > 0; }

Q_SIGNALS:
    void finished();

private:
    friend class FileOpBatch;
    friend ConflictAnswer askConflictInBatch(FileOpPrompt&, const QString&, const QString&);
    int m_depth = 0;
    std::optional<ConflictAnswer> m_answerForAll; // of the outermost batch
};

// Marks work as running for FileOpActivity while the object lives; nests.
// Every operation below holds one; a command that runs several operations in
// a row (file by file, letting events run in between) holds one around them
// all, so the shown folder is read once at the end, not after every file,
// and a conflict answered with "以降すべてに適用" stays answered for all of
// the command (askConflictInBatch).
class FileOpBatch
{
public:
    FileOpBatch();
    ~FileOpBatch();
    FileOpBatch(const FileOpBatch&) = delete;
    FileOpBatch& operator=(const FileOpBatch&) = delete;
};

// The conflict question inside a batch: the answer given with "apply to
// all" since the outermost FileOpBatch began, else prompt's answer (which
// is kept for the rest of that batch when its applyToAll is set). Outside
// any batch it always asks. Every operation below asks through this; so do
// commands that write files of their own (conversion, saving).
ConflictAnswer askConflictInBatch(FileOpPrompt& prompt, const QString& source,
                                  const QString& target);

// A name that stays inside its folder: not empty, ".", "..", and without "/"
// or NUL.
bool isValidFileName(const QString& name);

enum class RenameStatus { Renamed, BadName, Missing, Exists, Failed };
// Renames path to newName inside the same folder; never replaces a file.
// Renaming to the name it has already is Renamed and changes nothing.
// newPath: the path afterwards (the old one when nothing was renamed).
RenameStatus renameEntry(const QString& path, const QString& newName, QString* newPath = nullptr);

} // namespace sq::platform
