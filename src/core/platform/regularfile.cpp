#include "core/platform/regularfile.h"

#include "core/platform/errors.h"
#include "core/platform/systemerrors.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace verola {

namespace {

[[noreturn]] void refuse(const QString& path, const QString& reason)
{
    throw EInOutError(QStringLiteral("Не могу прочитать файл \"%1\": %2").arg(path, reason));
}

QString notRegular(const QString& what)
{
    return QStringLiteral("это %1, а не обычный файл").arg(what);
}

#ifndef Q_OS_WIN

QString kindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("канал (FIFO)");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("устройство");
    if (S_ISSOCK(mode))
        return QStringLiteral("сокет");
    if (S_ISDIR(mode))
        return QStringLiteral("папка");
    return QStringLiteral("особый файл");
}

void refuseUnlessRegular(const QString& path, mode_t mode)
{
    if (!S_ISREG(mode))
        refuse(path, notRegular(kindOf(mode)));
}

#endif

} // namespace

QString byteCountText(qint64 bytes)
{
    constexpr qint64 kMiB = qint64(1) << 20;
    constexpr qint64 kGiB = qint64(1) << 30;
    if (bytes >= kGiB && bytes % kGiB == 0)
        return QStringLiteral("%1 ГБ").arg(bytes / kGiB);
    if (bytes >= kMiB && bytes % kMiB == 0)
        return QStringLiteral("%1 МБ").arg(bytes / kMiB);
    return QStringLiteral("%1 байт").arg(bytes);
}

void refuseIrregularFile(const QString& path)
{
#ifdef Q_OS_WIN
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        refuse(path, notRegular(info.isDir() ? QStringLiteral("папка") : QStringLiteral("особый файл")));
#else
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0)
        refuseUnlessRegular(path, status.st_mode);
#endif
}

void openRegularFile(QFile& file, const QString& path, QIODevice::OpenMode mode)
{
    mode |= QIODevice::ReadOnly;
#ifdef Q_OS_WIN
    const QFileInfo info(path);
    if (!info.exists())
        refuse(path, QStringLiteral("нет такого файла"));
    refuseIrregularFile(path);
    file.setFileName(path);
    if (!file.open(mode))
        refuse(path, file.errorString());
#else
    const QByteArray native = QFile::encodeName(path);
    struct stat status {};
    if (::stat(native.constData(), &status) != 0)
        refuse(path, systemErrorReason(errno));
    refuseUnlessRegular(path, status.st_mode);
    // Should the file become a FIFO between the look and the opening, the opening does not wait.
    const int descriptor = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        refuse(path, systemErrorReason(errno));
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        refuse(path, notRegular(kindOf(status.st_mode)));
    }
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(descriptor, mode, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        refuse(path, file.errorString());
    }
#endif
}

QByteArray readRegularFile(const QString& path, qint64 maxBytes)
{
    QFile file;
    openRegularFile(file, path);
    const auto tooLong = [&] {
        refuse(path, QStringLiteral("он больше %1").arg(byteCountText(maxBytes)));
    };
    if (file.size() > maxBytes)
        tooLong();
    // A file that grows while it is read is bounded too.
    constexpr qint64 kChunk = qint64(1) << 20;
    QByteArray bytes;
    while (bytes.size() <= maxBytes) {
        const QByteArray chunk = file.read(std::min(kChunk, maxBytes + 1 - bytes.size()));
        if (chunk.isEmpty())
            break;
        bytes += chunk;
    }
    if (file.error() != QFileDevice::NoError)
        refuse(path, file.errorString());
    if (bytes.size() > maxBytes)
        tooLong();
    return bytes;
}

} // namespace verola
