#include "core/db/filecache.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <mutex>

namespace verola {

namespace {

struct CachedFile {
    qint64 size = -1;
    QDateTime modified;
    QByteArray bytes;
};

// Enough for the tables of one panel; the oldest file goes first when more are read.
constexpr int kMaxCachedFiles = 16;

struct FileCache {
    std::mutex mutex;
    int scopes = 0;
    QHash<QString, CachedFile> files;
    QList<QString> order; // least recently read first
};

FileCache& cache()
{
    static FileCache instance;
    return instance;
}

bool readFile(const QString& path, QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return true;
}

} // namespace

bool readTableFileBytes(const QString& path, QByteArray& bytes)
{
    FileCache& c = cache();
    std::unique_lock lock(c.mutex);
    if (c.scopes == 0) {
        lock.unlock();
        return readFile(path, bytes);
    }
    const QFileInfo info(path);
    const QString key = info.absoluteFilePath();
    const auto found = c.files.constFind(key);
    if (found != c.files.constEnd() && found->size == info.size() && found->modified == info.lastModified()) {
        bytes = found->bytes; // shared, not copied
        c.order.removeOne(key);
        c.order.append(key);
        return true;
    }
    if (!readFile(path, bytes))
        return false;
    c.order.removeOne(key);
    if (c.order.size() >= kMaxCachedFiles)
        c.files.remove(c.order.takeFirst());
    c.files.insert(key, CachedFile{bytes.size(), info.lastModified(), bytes});
    c.order.append(key);
    return true;
}

TTableFileCacheScope::TTableFileCacheScope()
{
    std::lock_guard lock(cache().mutex);
    ++cache().scopes;
}

TTableFileCacheScope::~TTableFileCacheScope()
{
    FileCache& c = cache();
    std::lock_guard lock(c.mutex);
    if (--c.scopes == 0) {
        c.files.clear();
        c.order.clear();
    }
}

int cachedTableFileCount()
{
    std::lock_guard lock(cache().mutex);
    return static_cast<int>(cache().files.size());
}

} // namespace verola
