#include "core/db/session.h"

#include "core/db/internal/sqlcache.h"
#include "core/platform/paths.h"
#include "core/platform/privateprofile.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

namespace verola {

namespace {

const QString kPathKey = QStringLiteral("PATH");

// The first of the candidate paths (all in one folder) that names a file, each compared
// ignoring letter case: tables come from systems where "EMIS.DBF" and "emis.dbf" are one file.
// The folder is listed once, and only when a candidate is not found as written.
QString existingFile(const QStringList& candidates)
{
    std::optional<QStringList> entries;
    for (const QString& path : candidates) {
        const QFileInfo info(path);
        if (info.isFile())
            return path;
        if (!entries)
            entries = info.dir().entryList(QDir::Files);
        for (const QString& entry : *entries)
            if (entry.compare(info.fileName(), Qt::CaseInsensitive) == 0)
                return info.dir().filePath(entry);
    }
    // A FIFO, a device or a folder of the name: the driver refuses it saying what it is,
    // rather than the table being called missing.
    for (const QString& path : candidates)
        if (QFileInfo::exists(path))
            return path;
    return QString();
}

QString existingFile(const QString& path)
{
    return existingFile(QStringList{path});
}

bool hasTableExtension(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    return suffix == QStringLiteral("dbf") || suffix == QStringLiteral("db") || suffix == QStringLiteral("txt");
}

} // namespace

TSession::TSession(const FormatSettings& format, const QString& aliasFile)
    : m_format(format), m_aliasFile(aliasFile), m_sqlCache(std::make_unique<SqlCache>())
{
}

TSession::~TSession() = default;

TSession& TSession::Default()
{
    static TSession session;
    return session;
}

QString TSession::aliasFilePath() const
{
    return resolveSystemFile(m_aliasFile);
}

QStringList TSession::GetAliasNames() const
{
    if (!QFileInfo::exists(aliasFilePath()))
        return {};
    QStringList names = PrivateProfile(m_aliasFile).sections();
    names.sort(Qt::CaseInsensitive);
    return names;
}

QStringList TSession::GetDatabaseNames() const
{
    return GetAliasNames();
}

QStringList TSession::GetAliasParams(const QString& alias) const
{
    const PrivateProfile profile(m_aliasFile);
    if (!profile.sections().contains(alias, Qt::CaseInsensitive))
        return {};
    QStringList params{kPathKey + u'=' + profile.readString(alias, kPathKey, QString())};
    for (const QString& key : profile.keys(alias))
        if (key.compare(kPathKey, Qt::CaseInsensitive) != 0)
            params.append(key + u'=' + profile.readString(alias, key, QString()));
    return params;
}

bool TSession::IsAlias(const QString& name) const
{
    return !name.isEmpty() && GetAliasNames().contains(name, Qt::CaseInsensitive);
}

void TSession::AddStandardAlias(const QString& name, const QString& path, const QString& defaultDriver)
{
    PrivateProfile profile(m_aliasFile);
    profile.writeString(name, kPathKey, path);
    if (!defaultDriver.isEmpty())
        profile.writeString(name, QStringLiteral("DEFAULT DRIVER"), defaultDriver);
}

void TSession::DeleteAlias(const QString& name)
{
    PrivateProfile(m_aliasFile).eraseSection(name);
}

QString TSession::databaseFolder(const QString& databaseName) const
{
    if (databaseName.isEmpty())
        return QString();
    QString folder = databaseName;
    if (!databaseName.contains(u'/') && !databaseName.contains(u'\\') && IsAlias(databaseName))
        folder = PrivateProfile(m_aliasFile).readString(databaseName, kPathKey, QString());
    // Folders written on the desktop system use "\" as the separator, as table names do.
    return folder.replace(u'\\', u'/');
}

QStringList TSession::GetTableNames(const QString& databaseName) const
{
    const QDir folder(databaseFolder(databaseName));
    QStringList names;
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase))
        if (hasTableExtension(name))
            names.append(name);
    return names;
}

QString TSession::findTableFile(const QString& databaseName, const QString& tableName) const
{
    if (tableName.isEmpty())
        return QString();
    QString name = tableName;
    name.replace(u'\\', u'/');
    const QString folder = databaseFolder(databaseName);
    const QString base = QFileInfo(name).isAbsolute() || folder.isEmpty() ? name : QDir(folder).filePath(name);
    if (hasTableExtension(base))
        return existingFile(base);
    QStringList candidates;
    for (const char* extension : {".dbf", ".db", ".txt", "."})
        candidates.append(base + QLatin1String(extension));
    if (!QFileInfo(base).suffix().isEmpty())
        candidates.append(base);
    return existingFile(candidates);
}

SqlCache& TSession::sqlCache()
{
    return *m_sqlCache;
}

} // namespace verola
