#include "core/platform/atomicfile.h"

#include "core/platform/errors.h"
#include "core/platform/regularfile.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace verola {

namespace {

std::filesystem::path nativePath(const QString& path)
{
    return std::filesystem::path(path.toStdU16String());
}

std::function<void(const QString&)>& diskSyncObserver()
{
    static std::function<void(const QString&)> observer;
    return observer;
}

void notifySynced(const QString& path)
{
    if (diskSyncObserver())
        diskSyncObserver()(path);
}

// Forces an open file's data to the disk; false with errno set when the device fails.
bool syncDescriptor(int descriptor)
{
#ifdef Q_OS_WIN
    return _commit(descriptor) == 0;
#else
    return ::fsync(descriptor) == 0;
#endif
}

} // namespace

AtomicFile::AtomicFile(const QString& path) : m_path(path) {}

AtomicFile::~AtomicFile()
{
    if (m_committed || m_temporary.fileName().isEmpty())
        return;
    m_temporary.close();
    QFile::remove(m_temporary.fileName());
}

void AtomicFile::fail(const QString& what, const QString& reason)
{
    m_temporary.close();
    throw EInOutError(QStringLiteral("%1 \"%2\": %3").arg(what, m_path, reason));
}

void AtomicFile::open()
{
    // A link is replaced itself, never the file it names: that file may be anywhere.
    m_target = m_path;
    const QFileInfo given(m_path);
    const bool replacesFile = !given.isSymLink() && given.exists();
    if (replacesFile && (!given.isWritable() || !given.permissions().testFlag(QFileDevice::WriteOwner)))
        throw EInOutError(QStringLiteral("Cannot write file \"%1\": the file is read-only").arg(m_path));
    const QString suffix = QStringLiteral(".~%1").arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0'));
    m_temporary.setFileName(m_target + suffix);
    if (!m_temporary.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        const QString reason = m_temporary.errorString();
        m_temporary.setFileName(QString()); // nothing of ours to remove
        fail(QStringLiteral("Cannot create file"), reason);
    }
    if (replacesFile)
        m_temporary.setPermissions(given.permissions());
}

void AtomicFile::write(const char* data, qint64 size)
{
    while (size > 0) {
        const qint64 written = m_temporary.write(data, size);
        if (written <= 0)
            fail(QStringLiteral("Cannot write file"), m_temporary.errorString());
        data += written;
        size -= written;
    }
}

void AtomicFile::commit()
{
    if (!m_temporary.flush())
        fail(QStringLiteral("Cannot write file"), m_temporary.errorString());
    if (SyncBatch* batch = SyncBatch::current()) {
        m_temporary.close();
        if (m_temporary.error() != QFileDevice::NoError)
            fail(QStringLiteral("Cannot write file"), m_temporary.errorString());
        batch->m_pending.push_back({m_temporary.fileName(), m_target, m_path});
        m_committed = true; // the batch owns the temporary file now
        return;
    }
    syncAndRename();
}

void AtomicFile::syncAndRename()
{
    if (!syncDescriptor(m_temporary.handle()))
        fail(QStringLiteral("Cannot write file"), QString::fromLocal8Bit(std::strerror(errno)));
    notifySynced(m_temporary.fileName());
    m_temporary.close();
    if (m_temporary.error() != QFileDevice::NoError)
        fail(QStringLiteral("Cannot write file"), m_temporary.errorString());
    std::error_code error;
    std::filesystem::rename(nativePath(m_temporary.fileName()), nativePath(m_target), error);
    if (error)
        fail(QStringLiteral("Cannot replace file"), QString::fromLocal8Bit(error.message().c_str()));
    m_committed = true;
}

SyncBatch*& SyncBatch::current()
{
    thread_local SyncBatch* batch = nullptr;
    return batch;
}

SyncBatch::SyncBatch() : m_outer(current())
{
    current() = this;
}

SyncBatch::~SyncBatch()
{
    current() = m_outer;
    for (const Pending& pending : m_pending)
        QFile::remove(pending.temporary);
}

namespace {

// Forces the data of the temporary files to the disk: the whole file system at once where the
// platform can, else file by file. Throws EInOutError naming the file that failed.
void syncPending(const QString& first, const std::vector<QString>& temporaries)
{
#ifdef Q_OS_LINUX
    const int descriptor = ::open(QFile::encodeName(first).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor >= 0) {
        const bool synced = ::syncfs(descriptor) == 0;
        const int error = errno;
        ::close(descriptor);
        if (!synced)
            throw EInOutError(QStringLiteral("Cannot write file \"%1\": %2")
                                  .arg(temporaryFileTarget(first), QString::fromLocal8Bit(std::strerror(error))));
        return;
    }
#else
    Q_UNUSED(first);
#endif
    for (const QString& temporary : temporaries) {
        QFile file(temporary);
        if (!file.open(QIODevice::ReadWrite) || !syncDescriptor(file.handle()))
            throw EInOutError(QStringLiteral("Cannot write file \"%1\": %2")
                                  .arg(temporaryFileTarget(temporary), file.errorString()));
    }
}

} // namespace

void SyncBatch::finish()
{
    if (m_pending.empty())
        return;
    std::vector<QString> temporaries;
    for (const Pending& pending : m_pending)
        temporaries.push_back(pending.temporary);
    syncPending(temporaries.front(), temporaries);
    for (const QString& temporary : temporaries)
        notifySynced(temporary);
    for (size_t i = 0; i < m_pending.size(); ++i) {
        std::error_code error;
        std::filesystem::rename(nativePath(m_pending[i].temporary), nativePath(m_pending[i].target), error);
        if (error) {
            const QString shown = m_pending[i].shownPath;
            m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(i));
            throw EInOutError(QStringLiteral("Cannot replace file \"%1\": %2")
                                  .arg(shown, QString::fromLocal8Bit(error.message().c_str())));
        }
    }
    m_pending.clear();
}

void writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    AtomicFile file(path);
    file.open();
    file.write(bytes.constData(), bytes.size());
    file.commit();
}

void copyFileAtomically(const QString& from, const QString& to)
{
    QFile source;
    openRegularFile(source, from);
    AtomicFile copy(to);
    copy.open();
    constexpr qint64 kChunk = 1 << 20;
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(kChunk);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError)
            throw EInOutError(QStringLiteral("Cannot read file \"%1\": %2").arg(from, source.errorString()));
        copy.write(chunk.constData(), chunk.size());
    }
    copy.commit();
}

QString temporaryFileTarget(const QString& fileName)
{
    static const QRegularExpression suffix(QStringLiteral("\\.~[0-9a-f]{8}$"));
    const QRegularExpressionMatch match = suffix.match(fileName);
    return match.hasMatch() ? fileName.left(match.capturedStart()) : QString();
}

void syncFolder(const QString& folder)
{
#ifndef Q_OS_WIN
    const QByteArray nativeFolder = QFile::encodeName(folder);
    const int descriptor = ::open(nativeFolder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return; // a folder we may not read: its renames are the file system's to keep
    const bool synced = ::fsync(descriptor) == 0;
    const int error = errno;
    ::close(descriptor);
    if (!synced && error != EINVAL && error != ENOTSUP)
        throw EInOutError(QStringLiteral("Cannot write folder \"%1\": %2")
                              .arg(folder, QString::fromLocal8Bit(std::strerror(error))));
#endif
    notifySynced(folder);
}

void setDiskSyncObserver(std::function<void(const QString& path)> observer)
{
    diskSyncObserver() = std::move(observer);
}

} // namespace verola
