#include "platform/atomicfile.h"

#include "platform/errors.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <filesystem>
#include <system_error>

namespace verola {

AtomicFile::AtomicFile(const QString& path) : m_path(path) {}

AtomicFile::~AtomicFile()
{
    if (!m_committed && m_temporary.isOpen()) {
        m_temporary.close();
        m_temporary.remove();
    } else if (!m_committed && !m_temporary.fileName().isEmpty()) {
        QFile::remove(m_temporary.fileName());
    }
}

void AtomicFile::fail(const QString& what)
{
    const QString reason = m_temporary.errorString();
    if (m_temporary.isOpen())
        m_temporary.close();
    if (!m_temporary.fileName().isEmpty())
        QFile::remove(m_temporary.fileName());
    throw EInOutError(QStringLiteral("%1 \"%2\": %3").arg(what, m_path, reason));
}

void AtomicFile::open()
{
    const QString suffix = QStringLiteral(".~%1").arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0'));
    m_temporary.setFileName(m_path + suffix);
    if (!m_temporary.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        fail(QStringLiteral("Cannot create file"));
}

void AtomicFile::write(const char* data, qint64 size)
{
    while (size > 0) {
        const qint64 written = m_temporary.write(data, size);
        if (written <= 0)
            fail(QStringLiteral("Cannot write file"));
        data += written;
        size -= written;
    }
}

void AtomicFile::commit()
{
    if (!m_temporary.flush())
        fail(QStringLiteral("Cannot write file"));
    m_temporary.close();
    if (m_temporary.error() != QFileDevice::NoError)
        fail(QStringLiteral("Cannot write file"));
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(m_temporary.fileName()).toStdString(),
        QFile::encodeName(m_path).toStdString(), error);
    if (error) {
        QFile::remove(m_temporary.fileName());
        throw EInOutError(QStringLiteral("Cannot replace file \"%1\": %2")
                              .arg(m_path, QString::fromLocal8Bit(error.message().c_str())));
    }
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
