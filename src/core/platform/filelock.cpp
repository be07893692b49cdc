#include "core/platform/filelock.h"

#include "core/platform/systemerrors.h"

#include <QFileInfo>
#include <QLockFile>

namespace verola {

FileLock::FileLock(const QString& lockFilePath)
    : m_path(lockFilePath), m_lock(std::make_unique<QLockFile>(lockFilePath))
{
    // Never taken over for its age: a long save keeps its lock as long as its process lives.
    m_lock->setStaleLockTime(0);
}

FileLock::~FileLock() = default;

FileLock::Result FileLock::tryLock(std::chrono::milliseconds wait)
{
    if (m_lock->tryLock(wait))
        return Result::Locked;
    return m_lock->error() == QLockFile::LockFailedError ? Result::HeldByOther : Result::Unavailable;
}

void FileLock::unlock()
{
    m_lock->unlock();
}

bool FileLock::isLocked() const
{
    return m_lock->isLocked();
}

QString FileLock::holderText() const
{
    qint64 pid = 0;
    QString host;
    QString program;
    if (!m_lock->getLockInfo(&pid, &host, &program))
        return QString();
    QString text = program.isEmpty() ? QStringLiteral("программа") : QStringLiteral("программа %1").arg(program);
    text += QStringLiteral(", процесс %1").arg(pid);
    if (!host.isEmpty())
        text += QStringLiteral(" на компьютере %1").arg(host);
    return text;
}

QString FileLock::unavailableReason() const
{
    const QString folderReason = folderWriteFailureReason(QFileInfo(m_path).absolutePath());
    return folderReason.isEmpty() ? QStringLiteral("файл блокировки не создаётся") : folderReason;
}

} // namespace verola
