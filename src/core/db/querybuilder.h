#pragma once

// The sources of one selection run: the loaded description, the levels that draw records
// from a query or a table, the current codes of the levels, and the SQL text and table names
// built from them for the current positions.

#include "db/description.h"
#include "platform/formatsettings.h"

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

struct LevelValue {
    int level = -1;
    QString lower;
    QString upper;
};

class TSelectionSources {
public:
    TSelectionSources(const FormatSettings& format, Feedback& feedback);

    TPanelInfoStruct description;
    int queryLevel = -1;
    int tableLevel = -1;
    int keyLevel = -1;
    bool masterLink = false;
    bool review = false;
    bool showSql = false;
    // The code of the position each level is walking; a range reads lower "-" upper.
    std::array<QString, kLevelCount> currentCodes;
    // The query's SQL lines, as BuildQuery left them.
    QStringList sqlLines;
    // In review mode the query level's record count goes here instead of being walked.
    std::function<void(int count)> reviewCount;

    // Query level, table level, key level and master link back to none.
    void resetLevels();
    // Finds the query and table levels among the first `coordCount` coordinates, then the
    // key level and the master link.
    void setLevelsFromDescription(int coordCount);

    const TCoordItem* coordinate(int level) const;

    void ConvertValue(int level, const QString& field, QString& lower, QString& upper) const;
    LevelValue LevelValues(const QString& field) const;
    bool BuildQuery(int level);
    bool CheckFromTables(int level, const QString& line) const;
    bool UsesTemplatedTable(int level) const;
    QString TemplatedTableName(int level) const;
    int KeyLevel() const;
    QString KeyValue() const;

private:
    struct SexCodes {
        QString men;
        QString women;
    };
    SexCodes sexCodes() const;
    void convertRegion(const TCoordItem& c, const QString& field, QString& lower, QString& upper) const;
    void convertTime(const TCoordItem& c, const QString& field, QString& lower, QString& upper) const;
    void convertSexAge(const QString& field, QString& lower, QString& upper) const;
    const TAliaseType* aliasOf(const TCoordItem& c) const;
    QString convertedLower(const QString& field) const;

    FormatSettings m_format;
    Feedback& m_feedback;
};

} // namespace verola
