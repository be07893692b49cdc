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

// SQLite's text of a statement: the statement itself, then the order of the files
// when it gives no order of its own.
struct SqlTranslation {
    QString statement;
    QString naturalOrder;
    // For "SELECT * FROM table ..." that neither merges nor orders rows by their columns: the
    // same rows as record numbers of the table, so that the records are read in place.
    // Empty for any other statement.
    QString recordNumbers;
    QString text() const { return statement + naturalOrder; }
};

// Turns the local SQL the system writes into SQLite's: FROM names become the
// loaded copies, double-quoted text that names no field becomes a string,
// a date field compared with quoted dates (by an operator, BETWEEN or IN)
// compares day numbers.
class SqlTranslator {
public:
    // The tables of the statement's FROM clause. Throws EDatabaseError with the
    // statement when it is not a SELECT, names no table or is followed by another.
    static QList<SqlTableRef> tablesOf(const QString& statement);

    // SQLite's text of the statement, its rows in the order of the files unless it orders them.
    static SqlTranslation translate(const QString& statement, const QList<SqlBoundTable>& tables, const FormatSettings& format);
};

} // namespace verola
