#include "core/platform/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

} // namespace verola
