// verola-cli commands over the table engine: local SQL and table dumps as CSV.
#include "cli.h"

#include "core/db/dataset.h"
#include "core/db/session.h"
#include "core/db/tquery.h"
#include "core/db/ttable.h"

namespace verola::cli {

namespace {

void printCsv(TDataSet& data)
{
    QStringList header;
    for (const QString& name : data.FieldNames())
        header.append(csvField(name));
    QString out = header.join(u',') + u'\n';
    for (data.First(); !data.Eof(); data.Next()) {
        QStringList values;
        for (int f = 0; f < data.FieldCount(); ++f)
            values.append(csvField(data.Fields(f).AsString()));
        out += values.join(u',') + u'\n';
        if (out.size() > 65536) {
            writeOut(out);
            out.clear();
        }
    }
    writeOut(out);
}

} // namespace

int runSql(Context& context, Arguments& args)
{
    const QString folder = args.requiredOption(QStringLiteral("--db"));
    const QStringList lines = args.positionals();
    if (lines.isEmpty())
        throw UsageError(QStringLiteral("команде sql нужен оператор SQL"));
    TSession session(context.format);
    TQuery query(session);
    query.SetDatabaseName(folder);
    query.SQL() = lines;
    query.Open();
    printCsv(query);
    return 0;
}

int runTable(Context& context, Arguments& args)
{
    const QString folder = args.requiredOption(QStringLiteral("--db"));
    const QStringList names = args.positionals();
    if (names.size() != 1)
        throw UsageError(QStringLiteral("команде table нужно ровно одно имя таблицы"));
    TSession session(context.format);
    TTable table(session);
    table.SetDatabaseName(folder);
    table.SetTableName(names.first());
    table.Open();
    printCsv(table);
    return 0;
}

} // namespace verola::cli
