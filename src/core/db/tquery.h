#pragma once

#include "core/coreexport.h"
#include "core/db/dataset.h"
#include "core/db/session.h"

#include <QString>
#include <QStringList>

namespace verola {

// A local SQL SELECT over the tables of a database folder or alias.
//
// The statement's lines are joined with blanks. Tables are named plainly
// (found in the database folder as TTable finds them) or as a double-quoted
// path. Double-quoted text that names no field of those tables is a string
// literal; a date field compared with a quoted date in the user's short date
// format compares dates; string comparison is exact. Opening runs the whole
// statement, so RecordCount is known at once. A bad statement or a missing
// table raises EDatabaseError with the statement's text.
class VEROLA_CORE_EXPORT TQuery : public TDataSet {
public:
    explicit TQuery(TSession& session = TSession::Default());
    ~TQuery() override;

    QString DatabaseName() const { return m_databaseName; }
    void SetDatabaseName(const QString& name);
    // The statement's lines: clear and add to them while the query is closed.
    QStringList& SQL() { return m_sql; }
    const QStringList& SQL() const { return m_sql; }
    QString statementText() const { return m_sql.join(u' '); }

protected:
    std::unique_ptr<RecordSource> openSource() override;

private:
    QString m_databaseName;
    QStringList m_sql;
};

} // namespace verola
