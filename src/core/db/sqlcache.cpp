#include "db/sqlcache.h"

#include "db/dberrors.h"
#include "db/session.h"

namespace verola {

struct SqlCache::Impl {
};

SqlCache::SqlCache() : d(std::make_unique<Impl>()) {}

SqlCache::~SqlCache() = default;

void SqlCache::clear() {}

int SqlCache::loadedTableCount() const
{
    return 0;
}

std::unique_ptr<RecordSource> SqlCache::run(const QString& statement, const QString&, TSession&)
{
    throw EDatabaseError(QStringLiteral("SQL is not available yet:\n%1").arg(statement));
}

} // namespace verola
