#include "core/platform/atomicfile.h"

#include "core/platform/errors.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <filesystem>
#include <system_error>

namespace verola {

namespace {

std::filesystem::path nativePath(const QString& path)
{
    return std::filesystem::path(path.toStdU16String());
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
    // A link is followed, so that the file it names is replaced and the link stays.
    const QFileInfo given(m_path);
    m_target = given.isSymLink() ? given.symLinkTarget() : m_path;
    const QFileInfo target(m_target);
    const bool exists = target.exists();
    if (exists && (!target.isWritable() || !target.permissions().testFlag(QFileDevice::WriteOwner)))
        throw EInOutError(QStringLiteral("Cannot write file \"%1\": the file is read-only").arg(m_path));
    const QString suffix = QStringLiteral(".~%1").arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0'));
    m_temporary.setFileName(m_target + suffix);
    if (!m_temporary.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        const QString reason = m_temporary.errorString();
        m_temporary.setFileName(QString()); // nothing of ours to remove
        fail(QStringLiteral("Cannot create file"), reason);
    }
    if (exists)
        m_temporary.setPermissions(target.permissions());
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
    m_temporary.close();
    if (m_temporary.error() != QFileDevice::NoError)
        fail(QStringLiteral("Cannot write file"), m_temporary.errorString());
    std::error_code error;
    std::filesystem::rename(nativePath(m_temporary.fileName()), nativePath(m_target), error);
    if (error)
        fail(QStringLiteral("Cannot replace file"), QString::fromLocal8Bit(error.message().c_str()));
    m_committed = true;
}

void writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    AtomicFile file(path);
    file.open();
    file.write(bytes.constData(), bytes.size());
    file.commit();
}

} // namespace verola
