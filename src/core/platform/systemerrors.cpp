#include "core/platform/systemerrors.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace verola {

QString systemErrorReason(int errorNumber)
{
    switch (errorNumber) {
    case ENOENT:
        return QStringLiteral("нет такого файла или каталога");
    case EISDIR:
        return QStringLiteral("это каталог");
    case ENOTDIR:
        return QStringLiteral("часть пути не является каталогом");
    case EACCES:
        return QStringLiteral("нет прав доступа");
    case EPERM:
        return QStringLiteral("операция не разрешена");
    case EROFS:
        return QStringLiteral("файловая система только для чтения");
    case ENOSPC:
        return QStringLiteral("нет места на диске");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("превышена дисковая квота");
#endif
    case EFBIG:
        return QStringLiteral("файл слишком велик");
    case EEXIST:
        return QStringLiteral("файл уже существует");
    case ENOTEMPTY:
        return QStringLiteral("каталог не пуст");
    case EBUSY:
        return QStringLiteral("файл или устройство заняты");
    case ETXTBSY:
        return QStringLiteral("файл занят выполняемой программой");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода устройства");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя файла");
    case ELOOP:
        return QStringLiteral("слишком много символических ссылок в пути");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("открыто слишком много файлов");
    case EMLINK:
        return QStringLiteral("слишком много ссылок на файл");
    case EXDEV:
        return QStringLiteral("файлы находятся на разных файловых системах");
    case ENOMEM:
        return QStringLiteral("недостаточно памяти");
    case EINTR:
        return QStringLiteral("операция прервана");
    case EAGAIN:
        return QStringLiteral("ресурс временно недоступен");
    case ENXIO:
    case ENODEV:
        return QStringLiteral("нет такого устройства");
    case EINVAL:
        return QStringLiteral("недопустимая операция для этого файла");
    case ENOTSUP:
        return QStringLiteral("файловая система не поддерживает эту операцию");
#ifdef ESTALE
    case ESTALE:
        return QStringLiteral("файл на сетевом диске больше не доступен");
#endif
    default:
        return QStringLiteral("системная ошибка %1").arg(errorNumber);
    }
}

QString systemErrorReason(const std::error_code& error)
{
    const std::error_condition condition = error.default_error_condition();
    if (condition.category() == std::generic_category())
        return systemErrorReason(condition.value());
    return QStringLiteral("системная ошибка %1").arg(error.value());
}

QString fileErrorReason(QFileDevice::FileError error, int errorNumber)
{
    if (errorNumber != 0)
        return systemErrorReason(errorNumber);
    switch (error) {
    case QFileDevice::NoError:
        return QStringLiteral("причина неизвестна");
    case QFileDevice::ReadError:
        return QStringLiteral("ошибка чтения");
    case QFileDevice::WriteError:
        return QStringLiteral("ошибка записи");
    case QFileDevice::ResourceError:
        return QStringLiteral("не хватает места на диске или других ресурсов");
    case QFileDevice::OpenError:
        return QStringLiteral("файл не открывается");
    case QFileDevice::AbortError:
        return QStringLiteral("операция прервана");
    case QFileDevice::TimeOutError:
        return QStringLiteral("истекло время ожидания");
    case QFileDevice::RemoveError:
        return QStringLiteral("файл не удаляется");
    case QFileDevice::RenameError:
        return QStringLiteral("файл не переименовывается");
    case QFileDevice::PositionError:
        return QStringLiteral("ошибка позиционирования в файле");
    case QFileDevice::ResizeError:
        return QStringLiteral("размер файла не изменяется");
    case QFileDevice::PermissionsError:
        return QStringLiteral("права доступа к файлу не меняются");
    case QFileDevice::CopyError:
        return QStringLiteral("файл не копируется");
    default:
        return QStringLiteral("неизвестная ошибка");
    }
}

QString readFailureReason(const QString& path)
{
    if (QFileInfo(path).isDir())
        return systemErrorReason(EISDIR);
#ifdef Q_OS_WIN
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        return fileErrorReason(file.error(), errno);
    return QString();
#else
    // Non-blocking, so that a pipe named like the file cannot hold the probe.
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return systemErrorReason(errno);
    char byte = 0;
    const bool readable = ::read(descriptor, &byte, 1) >= 0 || errno == EAGAIN;
    const int error = errno;
    ::close(descriptor);
    return readable ? QString() : systemErrorReason(error);
#endif
}

QString folderWriteFailureReason(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return systemErrorReason(ENOENT);
    if (!info.isDir())
        return systemErrorReason(ENOTDIR);
#ifdef Q_OS_WIN
    return info.isWritable() ? QString() : systemErrorReason(EACCES);
#else
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return systemErrorReason(errno);
    return QString();
#endif
}

} // namespace verola
