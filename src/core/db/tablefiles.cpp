#include "core/db/tablefiles.h"

#include "core/db/dbfdriver.h"
#include "core/db/paradoxdriver.h"
#include "core/db/textdriver.h"

#include <QFileInfo>

namespace verola {

std::unique_ptr<RecordSource> openTableFile(const QString& path, const FormatSettings& format)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QStringLiteral("db"))
        return openParadoxTable(path);
    if (suffix == QStringLiteral("txt"))
        return openTextTable(path, format);
    return DbfTable::open(path);
}

} // namespace verola
