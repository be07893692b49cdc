#pragma once

#include "core/coreexport.h"

#include <QString>
#include <chrono>
#include <memory>

class QLockFile;

namespace verola {

// An advisory lock that every process of this system respects: a lock file, held while the
// object holds it and removed when it lets go. The file names the holder (process, computer,
// program); a lock whose process on this computer is gone is taken over, so a killed process
// never keeps it. Two objects of one process exclude each other as two processes do.
class VEROLA_CORE_EXPORT FileLock {
public:
    explicit FileLock(const QString& lockFilePath);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    enum class Result { Locked, HeldByOther, Unavailable };
    // Waits up to the given time for another holder to let go.
    Result tryLock(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
    void unlock();
    bool isLocked() const;

    // Who holds the lock, for a message: "verola-cli, процесс 1234 на компьютере host"; empty
    // when the lock file cannot be read.
    QString holderText() const;
    // Why the lock file could not be made (Result::Unavailable), in Russian.
    QString unavailableReason() const;
    QString path() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace verola
