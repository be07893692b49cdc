#pragma once

#include "core/coreexport.h"

#include <QFile>
#include <QString>
#include <functional>
#include <vector>

namespace verola {

// What a file is on its device: a temporary file still has the identity it had when it was
// written unless another program removed or replaced it.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    bool operator==(const FileIdentity&) const = default;
};

// Writes a file under a temporary name beside it ("NAME.~xxxxxxxx") and renames it over the
// target on commit, so that a failure part-way leaves any earlier file whole. The data is
// forced to the disk before the rename, so that a power cut cannot bring back a renamed but
// empty file; the caller syncs the folder once its renames are done (syncFolder). A read-only
// file is refused and the file's permissions are kept. A link is replaced by the new file
// itself: the file it names, wherever that is, stays as it was.
class VEROLA_CORE_EXPORT AtomicFile {
public:
    explicit AtomicFile(const QString& path);
    ~AtomicFile(); // removes the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Each throws EInOutError naming the target file.
    void open();
    void write(const char* data, qint64 size);
    void commit();

private:
    [[noreturn]] void fail(const QString& what, const QString& reason);
    void syncAndRename();

    QString m_path;
    QString m_target; // the file replaced: the path itself, a link at it included
    QFile m_temporary;
    bool m_committed = false;
};

// While a SyncBatch lives on a thread, the AtomicFiles committed there leave their sync and
// rename to the batch: finish() forces all their data to the disk at once (one sync of the file
// system where the platform has it) and then puts them in place in the order they were
// committed, all of them or none. A save of many files so waits for the device once instead of
// once a file, and a failure leaves every file it would have replaced as it was. Temporary files
// the batch still holds when it goes away are removed.
class VEROLA_CORE_EXPORT SyncBatch {
public:
    SyncBatch();
    ~SyncBatch();
    SyncBatch(const SyncBatch&) = delete;
    SyncBatch& operator=(const SyncBatch&) = delete;

    // When the batch replaces the file at path, the file as it was is kept as backupPath: the
    // same file under a second name where the file system has hard links (no byte is copied),
    // else a copy.
    void keepPreviousAs(const QString& path, const QString& backupPath);

    // Throws EInOutError naming the file that failed and why; then every target is as it was
    // and no temporary file is left. Before anything is renamed it checks that every temporary
    // file is still the one written (another program may have removed it) and that no target is
    // a folder.
    void finish();
    // The files the batch is to put in place.
    int fileCount() const { return static_cast<int>(m_pending.size()); }
    // After a failed finish(): some renames were done and could not all be undone.
    bool partlyPlaced() const { return m_partlyPlaced; }

private:
    friend class AtomicFile;
    struct Pending {
        QString temporary;
        QString target;
        QString shownPath;
        FileIdentity written;
    };
    struct Backup {
        QString path;
        QString backupPath;
    };
    static SyncBatch*& current();

    std::vector<Pending> m_pending;
    std::vector<Backup> m_backups;
    SyncBatch* m_outer;
    bool m_partlyPlaced = false;
};

// Replaces the file with the given bytes through an AtomicFile.
void writeFileAtomically(const QString& path, const QByteArray& bytes);

// Replaces the file "to" with a copy of "from" through an AtomicFile. Throws EInOutError.
void copyFileAtomically(const QString& from, const QString& to);

// The file a temporary file of AtomicFile stands for ("study.x1" for "study.x1.~0a1b2c3d"), or
// an empty string when the name is not of that form.
QString temporaryFileTarget(const QString& fileName);

// Forces the folder's entries (the renames done in it) to the disk. A file system that cannot
// sync a folder is left as it is; a failing device throws EInOutError.
void syncFolder(const QString& folder);

// Tests watch the order of a save through this: called with the path of every file or folder
// just forced to the disk. An empty function stops the watching.
void setDiskSyncObserver(std::function<void(const QString& path)> observer);

} // namespace verola
