#include "core/platform/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

namespace verola {

QString systemDirectory()
{
    const QString fromEnvironment = qEnvironmentVariable("VEROLA_SYSTEM_DIR");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/verola");
}

QString resolveSystemFile(const QString& name)
{
    if (name.contains(u'/') || name.contains(u'\\'))
        return name;
    const QString dir = systemDirectory();
    QDir().mkpath(dir);
    return dir + u'/' + name;
}

QString scratchDirectory()
{
    QString dir = qEnvironmentVariable("VEROLA_SCRATCH_DIR");
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/verola");
    QDir().mkpath(dir);
    return dir;
}

QString programDirectoryOf(const QString& programPath)
{
    return QFileInfo(programPath).absolutePath() + u'/';
}

QString withoutTrailingSeparator(const QString& path)
{
    if (path.endsWith(u'/') || path.endsWith(u'\\'))
        return path.left(path.size() - 1);
    return path;
}

QString fileInDirectory(const QString& directory, const QString& name)
{
    return directory.isEmpty() ? name : withoutTrailingSeparator(directory) + u'/' + name;
}

namespace {

namespace fs = std::filesystem;

// More links in a row than the system itself follows: they go round in a circle.
constexpr int kMaxLinkHops = 40;

fs::path resolvedNativePath(const QString& path)
{
    std::error_code error;
    fs::path current = fs::absolute(fs::path(path.toStdU16String()), error).lexically_normal();
    for (int hop = 0; hop < kMaxLinkHops && fs::is_symlink(current, error); ++hop) {
        const fs::path target = fs::read_symlink(current, error);
        if (error)
            break;
        // A relative target counts from the folder the link really is in.
        current = target.is_absolute() ? target : fs::weakly_canonical(current.parent_path(), error) / target;
    }
    const fs::path resolved = fs::weakly_canonical(current, error);
    return error ? current.lexically_normal() : resolved;
}

} // namespace

QString resolvedPath(const QString& path)
{
    return QString::fromStdU16String(resolvedNativePath(path).u16string());
}

bool leadsIntoFolder(const QString& path, const QString& folder)
{
    const fs::path relative = resolvedNativePath(path).lexically_relative(resolvedNativePath(folder));
    return !relative.empty() && *relative.begin() != fs::path(u"..");
}

} // namespace verola
