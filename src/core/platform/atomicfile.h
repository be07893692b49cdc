#pragma once

#include "core/coreexport.h"

#include <QFile>
#include <QString>

namespace verola {

// Writes a file under a temporary name beside it and renames it over the target on
// commit, so that a failure part-way leaves any earlier file whole. A read-only file is
// refused, a link is followed and the file's permissions are kept. Unlike QSaveFile it does
// not force the data to disk, which would make every table save wait for the device.
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

    QString m_path;
    QString m_target; // the file replaced: the path, or the file a link at the path names
    QFile m_temporary;
    bool m_committed = false;
};

// Replaces the file with the given bytes through an AtomicFile.
void writeFileAtomically(const QString& path, const QByteArray& bytes);

} // namespace verola
