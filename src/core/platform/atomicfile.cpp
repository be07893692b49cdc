#include "core/platform/atomicfile.h"

#include "core/platform/errors.h"
#include "core/platform/regularfile.h"
#include "core/platform/systemerrors.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
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

QString temporaryName(const QString& target)
{
    return target + QStringLiteral(".~%1").arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0'));
}

[[noreturn]] void fileFailed(const QString& what, const QString& path, const QString& reason)
{
    throw EInOutError(QStringLiteral("%1 \"%2\": %3").arg(what, path, reason));
}

const QString kCannotWrite = QStringLiteral("Не удалось записать файл");
const QString kCannotReplace = QStringLiteral("Не удалось заменить файл");

#ifndef Q_OS_WIN
FileIdentity identityOf(const struct stat& status)
{
    return FileIdentity{static_cast<quint64>(status.st_dev), static_cast<quint64>(status.st_ino),
        static_cast<qint64>(status.st_size)};
}
#endif

std::optional<FileIdentity> identityOfDescriptor(int descriptor)
{
#ifdef Q_OS_WIN
    Q_UNUSED(descriptor);
    return std::nullopt;
#else
    struct stat status {};
    if (::fstat(descriptor, &status) != 0)
        return std::nullopt;
    return identityOf(status);
#endif
}

// The identity of the file a name stands for now; nothing when there is no such file.
std::optional<FileIdentity> identityOfPath(const QString& path)
{
#ifdef Q_OS_WIN
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    return FileIdentity{0, 0, info.size()};
#else
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return identityOf(status);
#endif
}

// A read-only file system is named as such: no file on it can be replaced, whatever its own
// permissions say.
void requireReplaceable(const QFileInfo& target, const QString& shownPath)
{
    if (target.isDir())
        fileFailed(kCannotWrite, shownPath, systemErrorReason(EISDIR));
#ifndef Q_OS_WIN
    if (::access(QFile::encodeName(target.filePath()).constData(), W_OK) != 0 && errno == EROFS)
        fileFailed(kCannotWrite, shownPath, systemErrorReason(EROFS));
#endif
    if (!target.isWritable() || !target.permissions().testFlag(QFileDevice::WriteOwner))
        fileFailed(kCannotWrite, shownPath, QStringLiteral("файл только для чтения"));
}

QString vanishedTemporaryReason(const QString& temporary)
{
    return QStringLiteral("его временный файл \"%1\" удалён или заменён другой программой, пока шло сохранение")
        .arg(temporary);
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
    fileFailed(what, m_path, reason);
}

void AtomicFile::open()
{
    // A link is replaced itself, never the file it names: that file may be anywhere.
    m_target = m_path;
    const QFileInfo given(m_path);
    const bool replacesFile = !given.isSymLink() && given.exists();
    if (replacesFile)
        requireReplaceable(given, m_path);
    m_temporary.setFileName(temporaryName(m_target));
    errno = 0;
    if (!m_temporary.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        const QString reason = fileErrorReason(m_temporary.error(), errno);
        m_temporary.setFileName(QString()); // nothing of ours to remove
        fail(kCannotWrite, reason);
    }
    if (replacesFile)
        m_temporary.setPermissions(given.permissions());
}

void AtomicFile::write(const char* data, qint64 size)
{
    while (size > 0) {
        errno = 0;
        const qint64 written = m_temporary.write(data, size);
        if (written <= 0)
            fail(kCannotWrite, fileErrorReason(m_temporary.error(), errno));
        data += written;
        size -= written;
    }
}

void AtomicFile::commit()
{
    errno = 0;
    if (!m_temporary.flush())
        fail(kCannotWrite, fileErrorReason(m_temporary.error(), errno));
    if (SyncBatch* batch = SyncBatch::current()) {
        const FileIdentity written = identityOfDescriptor(m_temporary.handle()).value_or(FileIdentity{});
        errno = 0;
        m_temporary.close();
        if (m_temporary.error() != QFileDevice::NoError)
            fail(kCannotWrite, fileErrorReason(m_temporary.error(), errno));
        batch->m_pending.push_back({m_temporary.fileName(), m_target, m_path, written});
        m_committed = true; // the batch owns the temporary file now
        return;
    }
    syncAndRename();
}

void AtomicFile::syncAndRename()
{
    if (!syncDescriptor(m_temporary.handle()))
        fail(kCannotWrite, systemErrorReason(errno));
    notifySynced(m_temporary.fileName());
    const std::optional<FileIdentity> written = identityOfDescriptor(m_temporary.handle());
    errno = 0;
    m_temporary.close();
    if (m_temporary.error() != QFileDevice::NoError)
        fail(kCannotWrite, fileErrorReason(m_temporary.error(), errno));
    if (written && identityOfPath(m_temporary.fileName()) != written) {
        m_committed = true; // what is there now is not ours to remove
        fail(kCannotReplace, vanishedTemporaryReason(m_temporary.fileName()));
    }
    std::error_code error;
    std::filesystem::rename(nativePath(m_temporary.fileName()), nativePath(m_target), error);
    if (error)
        fail(kCannotReplace, systemErrorReason(error));
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

namespace {

// Whether the temporary file is still the one written; where the platform gives no identity, whether it is there.
bool stillWritten(const QString& temporary, const FileIdentity& written)
{
    const std::optional<FileIdentity> now = identityOfPath(temporary);
    return now && (written.size < 0 || *now == written);
}

} // namespace

SyncBatch::~SyncBatch()
{
    current() = m_outer;
    for (const Pending& pending : m_pending)
        if (stillWritten(pending.temporary, pending.written))
            QFile::remove(pending.temporary);
}

void SyncBatch::keepPreviousAs(const QString& path, const QString& backupPath)
{
    m_backups.push_back({path, backupPath});
}

namespace {

// Forces the data of the temporary files to the disk: each file system holding one at once
// where the platform can, else file by file. No file is created: one that is gone fails.
// Throws EInOutError naming the file that failed.
void syncTemporaries(const std::vector<QString>& temporaries, const std::vector<QString>& shown)
{
#ifdef Q_OS_LINUX
    QSet<quint64> devicesSynced;
    bool allSynced = true;
    for (size_t i = 0; i < temporaries.size() && allSynced; ++i) {
        const std::optional<FileIdentity> identity = identityOfPath(temporaries[i]);
        if (!identity) {
            allSynced = false; // reported below, by name
            break;
        }
        if (devicesSynced.contains(identity->device))
            continue;
        const QString folder = QFileInfo(temporaries[i]).absolutePath();
        const int descriptor = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (descriptor < 0) {
            allSynced = false;
            break;
        }
        const bool synced = ::syncfs(descriptor) == 0;
        const int error = errno;
        ::close(descriptor);
        if (!synced)
            fileFailed(kCannotWrite, shown[i], systemErrorReason(error));
        devicesSynced.insert(identity->device);
    }
    if (allSynced)
        return;
#endif
    for (size_t i = 0; i < temporaries.size(); ++i) {
        QFile file(temporaries[i]);
        errno = 0;
        if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
            fileFailed(kCannotWrite, shown[i],
                QFileInfo::exists(temporaries[i]) ? fileErrorReason(file.error(), errno)
                                                  : vanishedTemporaryReason(temporaries[i]));
        if (!syncDescriptor(file.handle()))
            fileFailed(kCannotWrite, shown[i], systemErrorReason(errno));
    }
}

// One rename of a save: a file under a temporary name takes the place of "to". The file "to"
// held before is kept under a second name (a hard link) until every rename has succeeded, so
// that a failure half way can put it back.
struct PlacementStep {
    QString from;
    QString to;
    QString shownPath;
    bool existed = false;
    QString previous; // the link to the file "to" held; empty when there was none or no link could be made
};

// A second name for a file, made without copying it; empty when the file system has no links.
QString linkUnderTemporaryName(const QString& path, bool followLink)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    Q_UNUSED(followLink);
    return QString();
#else
    const QByteArray source = QFile::encodeName(path);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name = temporaryName(path);
        if (::linkat(AT_FDCWD, source.constData(), AT_FDCWD, QFile::encodeName(name).constData(),
                followLink ? AT_SYMLINK_FOLLOW : 0)
            == 0)
            return name;
        if (errno != EEXIST)
            return QString();
    }
    return QString();
#endif
}

// A copy of the file under a temporary name, forced to the disk, for a file system without
// hard links. Throws EInOutError naming the file.
QString copyUnderTemporaryName(const QString& path, const QString& backupPath)
{
    QFile source(path);
    errno = 0;
    if (!source.open(QIODevice::ReadOnly))
        fileFailed(QStringLiteral("Не удалось прочитать файл"), path, fileErrorReason(source.error(), errno));
    QFile copy(temporaryName(backupPath));
    errno = 0;
    if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        fileFailed(kCannotWrite, backupPath, fileErrorReason(copy.error(), errno));
    constexpr qint64 kChunk = 1 << 20;
    bool copied = true;
    while (copied && !source.atEnd()) {
        const QByteArray chunk = source.read(kChunk);
        copied = !(chunk.isEmpty() && source.error() != QFileDevice::NoError) && copy.write(chunk) == chunk.size();
    }
    copied = copied && copy.flush() && syncDescriptor(copy.handle());
    const int error = errno;
    copy.close();
    if (!copied) {
        QFile::remove(copy.fileName());
        fileFailed(kCannotWrite, backupPath, fileErrorReason(copy.error(), error));
    }
    notifySynced(copy.fileName());
    return copy.fileName();
}

void removeQuietly(const QString& path)
{
    if (!path.isEmpty())
        QFile::remove(path);
}

bool renameOver(const QString& from, const QString& to, std::error_code& error)
{
    std::filesystem::rename(nativePath(from), nativePath(to), error);
    return !error;
}

// Undoes the first done steps, last first; false when a file could not be put back.
bool undoSteps(std::vector<PlacementStep>& steps, size_t done)
{
    bool restored = true;
    for (size_t i = done; i-- > 0;) {
        PlacementStep& step = steps[i];
        std::error_code error;
        if (!step.previous.isEmpty()) {
            restored = renameOver(step.previous, step.to, error) && restored;
            if (!error)
                step.previous.clear();
        } else if (!step.existed) {
            restored = QFile::remove(step.to) && restored;
        } else {
            restored = false;
        }
    }
    return restored;
}

} // namespace

void SyncBatch::finish()
{
    if (m_pending.empty())
        return;
    std::vector<QString> temporaries;
    std::vector<QString> shown;
    for (const Pending& pending : m_pending) {
        temporaries.push_back(pending.temporary);
        shown.push_back(pending.shownPath);
    }
    syncTemporaries(temporaries, shown);
    for (const QString& temporary : temporaries)
        notifySynced(temporary);

    // Everything that can be checked is checked before the first rename.
    for (const Pending& pending : m_pending) {
        if (!stillWritten(pending.temporary, pending.written))
            fileFailed(kCannotWrite, pending.shownPath, vanishedTemporaryReason(pending.temporary));
        if (QFileInfo(pending.target).isDir())
            fileFailed(kCannotReplace, pending.shownPath, systemErrorReason(EISDIR));
    }
    for (const Backup& backup : m_backups)
        if (QFileInfo(backup.backupPath).isDir())
            fileFailed(kCannotReplace, backup.backupPath, systemErrorReason(EISDIR));

    std::vector<PlacementStep> steps;
    // The steps from the first one not done: their files under temporary names go. A file that
    // could not be put back keeps its second name, the only one left.
    const auto cleanUp = [&](size_t firstNotDone) {
        for (size_t i = firstNotDone; i < steps.size(); ++i) {
            removeQuietly(steps[i].previous);
            if (identityOfPath(steps[i].from))
                removeQuietly(steps[i].from);
        }
    };
    try {
        for (const Pending& pending : m_pending) {
            for (const Backup& backup : m_backups) {
                if (backup.path != pending.shownPath || !QFileInfo::exists(backup.path))
                    continue;
                QString kept = linkUnderTemporaryName(backup.path, true);
                if (kept.isEmpty())
                    kept = copyUnderTemporaryName(backup.path, backup.backupPath);
                steps.push_back({kept, backup.backupPath, backup.backupPath, false, QString()});
            }
            steps.push_back({pending.temporary, pending.target, pending.shownPath, false, QString()});
        }
    } catch (...) {
        cleanUp(0);
        throw;
    }
    m_pending.clear(); // from here on the steps own the temporary files
    m_backups.clear();
    for (PlacementStep& step : steps) {
        step.existed = identityOfPath(step.to).has_value();
        if (step.existed)
            step.previous = linkUnderTemporaryName(step.to, false);
    }
    for (size_t i = 0; i < steps.size(); ++i) {
        std::error_code error;
        if (renameOver(steps[i].from, steps[i].to, error))
            continue;
        const bool restored = undoSteps(steps, i);
        m_partlyPlaced = !restored;
        cleanUp(i);
        fileFailed(kCannotReplace, steps[i].shownPath,
            systemErrorReason(error)
                + (restored ? QString() : QStringLiteral("; не все прежние файлы удалось вернуть на место")));
    }
    for (PlacementStep& step : steps)
        removeQuietly(step.previous);
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
        errno = 0;
        const QByteArray chunk = source.read(kChunk);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError)
            fileFailed(QStringLiteral("Не удалось прочитать файл"), from, fileErrorReason(source.error(), errno));
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
        fileFailed(QStringLiteral("Не удалось записать каталог"), folder, systemErrorReason(error));
#endif
    notifySynced(folder);
}

void setDiskSyncObserver(std::function<void(const QString& path)> observer)
{
    diskSyncObserver() = std::move(observer);
}

} // namespace verola
