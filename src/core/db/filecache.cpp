#include "core/db/filecache.h"

#include "core/db/memorytable.h"

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
    std::shared_ptr<const MemoryTableData> records;
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

// The entry of `key` when the file is unchanged since it was kept; it becomes the most recent.
const CachedFile* freshEntry(FileCache& c, const QString& key, const QFileInfo& info)
{
    const auto found = c.files.constFind(key);
    if (found == c.files.constEnd() || found->size != info.size() || found->modified != info.lastModified())
        return nullptr;
    c.order.removeOne(key);
    c.order.append(key);
    return &*found;
}

void keep(FileCache& c, const QString& key, CachedFile entry)
{
    c.order.removeOne(key);
    if (c.order.size() >= kMaxCachedFiles)
        c.files.remove(c.order.takeFirst());
    c.files.insert(key, std::move(entry));
    c.order.append(key);
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
    if (const CachedFile* entry = freshEntry(c, key, info)) {
        bytes = entry->bytes; // shared, not copied
        return true;
    }
    if (!readFile(path, bytes))
        return false;
    keep(c, key, CachedFile{bytes.size(), info.lastModified(), bytes, nullptr});
    return true;
}

std::shared_ptr<const MemoryTableData> readTableFileRecords(const QString& path,
    const std::function<QString()>& variant, const std::function<std::shared_ptr<const MemoryTableData>()>& read)
{
    FileCache& c = cache();
    std::unique_lock lock(c.mutex);
    if (c.scopes == 0) {
        lock.unlock();
        return read();
    }
    const QFileInfo info(path);
    // The bytes of the same file sit under its bare path; decoded records never share that key.
    const QString key = info.absoluteFilePath() + u'\n' + variant();
    if (const CachedFile* entry = freshEntry(c, key, info))
        return entry->records;
    lock.unlock();
    auto records = read();
    lock.lock();
    if (c.scopes > 0)
        keep(c, key, CachedFile{info.size(), info.lastModified(), QByteArray(), records});
    return records;
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
