#pragma once

#include "core/coreexport.h"

// The sources of one selection run: the loaded description, the query, the table and the data
// source over the query, the levels that draw records from them, the current codes of the
// levels, and the SQL text, table names and keys built from those codes.

#include "core/db/dataset.h"
#include "core/db/description.h"
#include "core/db/tquery.h"
#include "core/db/ttable.h"
#include "core/platform/formatsettings.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>

namespace verola {

class Feedback;

constexpr int kLevelCount = 4;

// The coordinate a database field belongs to ("Year" -> "Time", "Sex" -> "SexAgeGroup", ...).
QString MapFieldToCoord(const QString& field);
// Drops a comparison whose parameter was left out, with the "and" before it, and a line
// left holding only "where".
QString TrimDanglingClause(const QString& line);

// Text values go into SQL between single quotes; a key searched in an index is bare.
enum class SqlQuoting { Quoted, Bare };

struct VEROLA_CORE_EXPORT LevelValue {
    int level = -1;
    QString lower;
    QString upper;
};

class VEROLA_CORE_EXPORT TSelectionSources {
public:
    TSelectionSources(const FormatSettings& format, Feedback& feedback, TSession& session = TSession::Default());
    TSelectionSources(const TSelectionSources&) = delete;
    TSelectionSources& operator=(const TSelectionSources&) = delete;

    TPanelInfoStruct description;
    int queryLevel = -1;
    int tableLevel = -1;
    int keyLevel = -1;
    bool masterLink = false;
    bool review = false;
    bool showSql = false;
    // The code of the position each level is walking; a range reads lower "-" upper.
    std::array<QString, kLevelCount> currentCodes;
    TQuery query;
    TTable table;
    TDataSource dataSource; // over the query, the master of a linked table
    QString model; // the model being selected, named by the messages
    // "Модель «…», уровень N (coordinate): ", the start of a message about a level.
    QString levelText(int level) const;
    // In review mode the query level's record count goes here instead of being walked.
    std::function<void(int count)> reviewCount;

    // Query level, table level, key level and master link back to none.
    void resetLevels();
    // Finds the query and table levels among the first `coordCount` coordinates, then the
    // key level and the master link.
    void setLevelsFromDescription(int coordCount);

    const TCoordItem* coordinate(int level) const;
    // The query's SQL lines, as BuildQuery left them.
    const QStringList& sqlLines() const { return query.SQL(); }

    void ConvertValue(int level, const QString& field, QString& lower, QString& upper) const;
    LevelValue LevelValues(const QString& field) const;
    bool BuildQuery(int level);
    bool CheckFromTables(int level, const QString& line) const;
    bool UsesTemplatedTable(int level) const;
    QString TemplatedTableName(int level) const;
    int KeyLevel() const;
    QString KeyValue() const;

    // Over the table engine.
    bool PositionByKey(int level);
    void PrepareLevel(int level);
    void PrepareTemplatedLevel(int level);
    void SetupTable(int level, const QString& tableName);
    int OpenLevel(int level);
    void NextRecord(int level);
    void CloseLevel(int level);

private:
    struct SexCodes {
        QString men;
        QString women;
    };
    SexCodes sexCodes() const;
    void convertValue(int level, const QString& field, QString& lower, QString& upper, SqlQuoting quoting) const;
    void convertRegion(const TCoordItem& c, const QString& field, QString& lower, QString& upper,
                       SqlQuoting quoting) const;
    void convertTime(const TCoordItem& c, const QString& field, QString& lower, QString& upper,
                     SqlQuoting quoting) const;
    void convertSexAge(const QString& field, QString& lower, QString& upper) const;
    const TAliaseType* aliasOf(const TCoordItem& c) const;
    QString convertedLower(const QString& field, SqlQuoting quoting) const;
    int openQuery(int level, const TCoordItem& c);
    int openTable(int level, const TCoordItem& c);
    QString missingSourceText(int level, const TCoordItem& c) const;
    QString indexEntryFault(const TCoordItem& c) const;
    void showFoundCaption(int level, int count);

    mutable QString m_missingTable; // the table after FROM that CheckFromTables did not find
    FormatSettings m_format;
    Feedback& m_feedback;
    TSession& m_session;
};

} // namespace verola
