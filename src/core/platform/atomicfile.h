#pragma once

#include "core/coreexport.h"

#include <QFile>
#include <QString>
#include <functional>
#include <vector>

namespace verola {

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
// system where the platform has it) and then renames them in the order they were committed. A
// save of many files so waits for the device once instead of once a file. Temporary files the
// batch still holds when it goes away are removed, so the files they would replace stay whole.
class VEROLA_CORE_EXPORT SyncBatch {
public:
    SyncBatch();
    ~SyncBatch();
    SyncBatch(const SyncBatch&) = delete;
    SyncBatch& operator=(const SyncBatch&) = delete;

    // Throws EInOutError; the files renamed before the failure stay renamed.
    void finish();

private:
    friend class AtomicFile;
    struct Pending {
        QString temporary;
        QString target;
        QString shownPath;
    };
    static SyncBatch*& current();

    std::vector<Pending> m_pending;
    SyncBatch* m_outer;
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
