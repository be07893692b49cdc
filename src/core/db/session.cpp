#include "db/session.h"

#include "db/sqlcache.h"
#include "platform/paths.h"
#include "platform/privateprofile.h"

#include <QDir>
#include <QFileInfo>

namespace verola {

namespace {

const QString kPathKey = QStringLiteral("PATH");

// A file of the folder whose name equals name ignoring letter case; tables come
// from systems where "EMIS.DBF" and "emis.dbf" are one file.
QString existingFile(const QString& path)
{
    const QFileInfo info(path);
    if (info.isFile())
        return path;
    const QDir folder = info.dir();
    for (const QString& entry : folder.entryList(QDir::Files))
        if (entry.compare(info.fileName(), Qt::CaseInsensitive) == 0)
            return folder.filePath(entry);
    return QString();
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
    if (!databaseName.contains(u'/') && !databaseName.contains(u'\\') && IsAlias(databaseName))
        return PrivateProfile(m_aliasFile).readString(databaseName, kPathKey, QString());
    return databaseName;
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
    for (const char* extension : {".dbf", ".db", ".txt", "."}) {
        const QString candidate = existingFile(base + QLatin1String(extension));
        if (!candidate.isEmpty())
            return candidate;
    }
    if (!QFileInfo(base).suffix().isEmpty())
        return existingFile(base);
    return QString();
}

SqlCache& TSession::sqlCache()
{
    return *m_sqlCache;
}

} // namespace verola
