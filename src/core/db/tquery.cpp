#include "core/db/tquery.h"

#include "core/db/dberrors.h"
#include "core/db/internal/sqlcache.h"

namespace verola {

TQuery::TQuery(TSession& session) : TDataSet(session) {}

TQuery::~TQuery() = default;

void TQuery::SetDatabaseName(const QString& name)
{
    if (Active())
        throw EDatabaseError(QStringLiteral("Базу данных запроса нельзя сменить, пока запрос открыт"));
    m_databaseName = name;
}

std::unique_ptr<RecordSource> TQuery::openSource()
{
    return session().sqlCache().run(statementText(), m_databaseName, session());
}

} // namespace verola
