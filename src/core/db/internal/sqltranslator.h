#pragma once

#include "core/db/fielddefs.h"
#include "core/platform/formatsettings.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace verola {

// A table as a statement's FROM names it: plainly or as a double-quoted path,
// with an optional alias.
struct SqlTableRef {
    QString name;
    QString alias;
};

// A FROM table once loaded: the name of its SQLite copy and its fields.
struct SqlBoundTable {
    QString alias;   // the name the statement uses for it
    QString sqlName; // the SQLite table holding its records
    TFieldDefs fields;
};

// Turns the local SQL the system writes into SQLite's: FROM names become the
// loaded copies, double-quoted text that names no field becomes a string,
// a date field compared with a quoted date compares day numbers.
class SqlTranslator {
public:
    // The tables of the statement's FROM clause. Throws EDatabaseError with the
    // statement when it is not a SELECT or names no table.
    static QList<SqlTableRef> tablesOf(const QString& statement);

    // SQLite's text of the statement, its rows in the order of the files unless it orders them.
    static QString translate(const QString& statement, const QList<SqlBoundTable>& tables, const FormatSettings& format);
};

} // namespace verola
