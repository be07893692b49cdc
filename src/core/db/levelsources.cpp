// Opening, walking and closing a selection level's query or table.
#include "core/db/dberrors.h"
#include "core/db/querybuilder.h"
#include "core/platform/feedback.h"

#include <QDir>
#include <QRegularExpression>
#include <algorithm>

namespace verola {

namespace {

const QString kLineBreak = QStringLiteral("\r\n");

bool isTableType(std::int32_t type)
{
    return type == kTableSource || type == kKeyedTable;
}

// An index created for a level is named by its field list: first character kept, the rest in lower case.
QString createdIndexName(const QString& index)
{
    return index.left(1) + index.mid(1).toLower();
}

} // namespace

bool TSelectionSources::PositionByKey(int level)
{
    if (level == -1)
        return false;
    if (queryLevel >= 0)
        return true;
    const TCoordItem* tableCoord = coordinate(tableLevel);
    if (!tableCoord || tableCoord->Type != kKeyedTable)
        return true;
    if (keyLevel == -1 || keyLevel != level || keyLevel < tableLevel)
        return true;
    return table.FindKey({KeyValue()});
}

void TSelectionSources::PrepareLevel(int level)
{
    const TCoordItem* c = coordinate(level);
    if (!c)
        return;
    if (c->Type == kQuerySource) {
        query.Close();
        query.SetDatabaseName(c->Path);
        query.SQL().clear();
        dataSource.SetDataSet(&query);
    } else if (isTableType(c->Type)) {
        SetupTable(level, c->File);
    }
}

void TSelectionSources::PrepareTemplatedLevel(int level)
{
    SetupTable(level, TemplatedTableName(level));
}

void TSelectionSources::SetupTable(int level, const QString& tableName)
{
    const TCoordItem* c = coordinate(level);
    if (!c)
        return;
    table.Close();
    table.SetDatabaseName(c->Path);
    table.SetTableName(tableName);
    if (c->Index.isEmpty()) {
        table.SetMasterSource(nullptr);
        table.SetMasterFields(QString());
        table.SetIndexName(QString());
        return;
    }
    try {
        table.SetIndexName(c->Index);
    } catch (const EDatabaseError&) {
        try {
            table.AddIndex(createdIndexName(c->Index), c->Index, static_cast<TIndexOptions>(TIndexOption::ixPrimary));
            // The engine keeps indexes only while the table object lives, so the new index is selected
            // at once; left unselected, the level's first key search would fail.
            table.SetIndexName(createdIndexName(c->Index));
        } catch (const EDatabaseError&) {
            return; // no such table: OpenLevel reports it
        }
    }
    if (!masterLink)
        return;
    try {
        table.SetMasterSource(&dataSource);
        table.SetMasterFields(c->MasterField);
    } catch (const EDatabaseError&) {
        table.SetMasterSource(nullptr);
        m_feedback.message(QStringLiteral("Не могу установить соответствие по полю ") + c->MasterField);
    }
}

int TSelectionSources::openQuery(int level, const TCoordItem& c)
{
    // New SQL text closes an open query, as the engine only takes lines while closed.
    query.Close();
    m_missingTable.clear();
    if (!BuildQuery(level)) {
        if (!m_missingTable.isEmpty())
            m_feedback.message(missingSourceText(level, c));
        return 0;
    }
    try {
        query.Open();
    } catch (const EPlatformError& error) {
        QString text = QStringLiteral("Ошибка при открытии SQL-запроса для БД ") + c.Path + kLineBreak;
        for (const QString& line : query.SQL())
            text += line + kLineBreak;
        // The engine's reason without the statement it repeats.
        const QString reason = error.message().section(QStringLiteral(". SQL-запрос:"), 0, 0);
        m_feedback.message(text + levelText(level) + reason);
        return -1;
    }
    int count = query.RecordCount();
    if (review) {
        if (reviewCount)
            reviewCount(count);
        query.Close();
        return 0;
    }
    query.First();
    return count;
}

// When a level's table opens but its "Index" entry is no list of its fields, the entry is
// most likely the tag of an index file, which the engine does not read: says so, naming the
// fields to write instead. Empty otherwise.
QString TSelectionSources::indexEntryFault(const TCoordItem& c) const
{
    if (c.Index.isEmpty())
        return QString();
    TTable probe(m_session);
    probe.SetDatabaseName(c.Path);
    probe.SetTableName(table.TableName());
    try {
        probe.Open();
    } catch (const EPlatformError&) {
        return QString(); // the table itself cannot be opened
    }
    const QStringList fields = probe.FieldNames();
    static const QRegularExpression separators(QStringLiteral("[;+,]"));
    const QStringList parts = c.Index.split(separators, Qt::SkipEmptyParts);
    const bool fieldList = std::all_of(parts.begin(), parts.end(),
        [&](const QString& part) { return fields.contains(part.trimmed(), Qt::CaseInsensitive); });
    if (fieldList)
        return QString();
    return QStringLiteral("Индекс \"%1\" - не список полей таблицы, а, видимо, тег индексного файла; такие теги не "
                          "читаются. Укажите в \"Index\" поля ключа через \";\" (поля таблицы: %2)")
        .arg(c.Index, fields.join(u';'));
}

QString TSelectionSources::missingSourceText(int level, const TCoordItem& c) const
{
    const QString folder = m_session.databaseFolder(c.Path);
    if (!QDir(folder).exists())
        return levelText(level) + QStringLiteral("нет папки базы данных «%1»").arg(folder.isEmpty() ? c.Path : folder);
    return levelText(level) + QStringLiteral("в папке «%1» нет таблицы «%2»").arg(folder, m_missingTable);
}

int TSelectionSources::openTable(int level, const TCoordItem& c)
{
    try {
        table.Open();
    } catch (const EPlatformError& error) {
        QString text = QStringLiteral("Невозможно открыть базу данных для:") + kLineBreak + c.Path + QDir::separator()
            + table.TableName() + kLineBreak + c.Index + kLineBreak + table.MasterFields();
        if (const QString fault = indexEntryFault(c); !fault.isEmpty())
            text += kLineBreak + fault;
        m_feedback.message(text + kLineBreak + levelText(level) + error.message());
        return -1;
    }
    if (!c.Index.isEmpty() && !masterLink)
        return 1; // the record is found by PositionByKey
    table.First();
    return table.RecordCount();
}

int TSelectionSources::OpenLevel(int level)
{
    const TCoordItem* c = coordinate(level);
    if (!c)
        return 0;
    int count = 0;
    if (c->Type == kQuerySource)
        count = openQuery(level, *c);
    else if (isTableType(c->Type))
        count = openTable(level, *c);
    else if (c->Type == kNoDatabase)
        count = 1;
    if (count < 0)
        return 0; // an open failure: its message was shown and the caption stays
    if (level == std::max(queryLevel, tableLevel) && !review)
        showFoundCaption(level, count);
    return count;
}

void TSelectionSources::showFoundCaption(int level, int count)
{
    QString caption;
    for (int l = 0; l <= level && l < kLevelCount; ++l)
        caption += u' ' + coordinate(l)->AxisCaption + QStringLiteral(" : ") + currentCodes[static_cast<size_t>(l)];
    m_feedback.progressCaption(caption + QStringLiteral(" Найдено: ") + QString::number(count));
}

void TSelectionSources::NextRecord(int level)
{
    const TCoordItem* c = coordinate(level);
    if (!c)
        return;
    if (c->Type == kQuerySource)
        query.Next();
    else if (isTableType(c->Type))
        table.Next();
}

void TSelectionSources::CloseLevel(int level)
{
    const TCoordItem* c = coordinate(level);
    if (!c)
        return;
    if (c->Type == kQuerySource) {
        if (!review)
            query.Close();
    } else if (isTableType(c->Type)) {
        table.Close();
    }
}

} // namespace verola
