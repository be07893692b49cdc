#include "core/db/fieldlookup.h"

#include "core/db/dataset.h"
#include "core/db/ttable.h"
#include "core/platform/conversions.h"
#include "core/platform/errors.h"
#include "core/tables/lineutils.h"

namespace verola {

double FieldAsNumber(const QString& fieldName, TDataSet& table)
{
    try {
        const QString text = table.FieldByName(fieldName).AsString().trimmed();
        double value = 0;
        if (text.isEmpty() || !tryStrToFloat(text, table.formatSettings(), value))
            return kMissingValue;
        return value;
    } catch (const EPlatformError&) {
        return kMissingValue;
    }
}

std::pair<double, double> LookupPair(TTable& table, const QString& tableName, const QString& key,
    const QString& firstField, const QString& secondField, const QString& keyField)
{
    table.Close();
    table.SetTableName(tableName);
    table.Open();
    const QString swapped = SwapWords(key);
    for (table.First(); !table.Eof(); table.Next()) {
        const QString text = table.FieldByName(keyField).AsString();
        if (text == key || text == swapped)
            return {FieldAsNumber(firstField, table), FieldAsNumber(secondField, table)};
    }
    return {kMissingValue, kMissingValue};
}

} // namespace verola
