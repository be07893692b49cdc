#pragma once

#include "core/coreexport.h"
#include "core/platform/formatsettings.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace verola {

class SqlCache;

// The engine's process-wide state: the user's formats, the alias catalogue and
// the loaded copies of tables that SQL statements read. An alias is a name with
// parameters, the first being "PATH=" a folder; aliases live in the INI file
// "Aliases.ini" of the system directory, one section per alias with its PATH key.
class VEROLA_CORE_EXPORT TSession {
public:
    explicit TSession(const FormatSettings& format = FormatSettings(),
        const QString& aliasFile = QStringLiteral("Aliases.ini"));
    ~TSession();
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    // The session tables and queries use when none is given.
    static TSession& Default();

    const FormatSettings& formatSettings() const { return m_format; }
    void setFormatSettings(const FormatSettings& format) { m_format = format; }

    // Catalogue.
    QStringList GetAliasNames() const;
    // Aliases and the databases known by them (the same list: a folder is a database too).
    QStringList GetDatabaseNames() const;
    // "PATH=folder" first; empty when the alias is unknown.
    QStringList GetAliasParams(const QString& alias) const;
    bool IsAlias(const QString& name) const;
    void AddStandardAlias(const QString& name, const QString& path, const QString& defaultDriver = QString());
    void DeleteAlias(const QString& name);
    // The table files (".dbf", ".db", ".txt", with extensions) of a folder or an alias, sorted.
    QStringList GetTableNames(const QString& databaseName) const;

    // Folder of a database name: an alias's PATH, else the name itself as a folder;
    // a backslash is taken as the folder separator.
    QString databaseFolder(const QString& databaseName) const;
    // The file a table name means in a database: a name with an extension as it
    // is, else the first of name + ".dbf", ".db", ".txt" that exists (or name + "."
    // when such a file exists). Empty when none exists.
    QString findTableFile(const QString& databaseName, const QString& tableName) const;

    SqlCache& sqlCache();

private:
    QString aliasFilePath() const;

    FormatSettings m_format;
    QString m_aliasFile;
    std::unique_ptr<SqlCache> m_sqlCache;
};

} // namespace verola
