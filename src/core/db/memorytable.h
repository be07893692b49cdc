#pragma once

#include "core/coreexport.h"
#include "core/db/fielddefs.h"
#include "core/db/recordsource.h"

#include <QString>
#include <memory>
#include <vector>

namespace verola {

// One stored value: null, a number (dates as day numbers, logical 1/0) or a text.
struct VEROLA_CORE_EXPORT MemoryValue {
    enum Kind : unsigned char { Null, Number, Text } kind = Null;
    double number = 0;
    QString text;
};

// The fields and records of a table read whole.
struct VEROLA_CORE_EXPORT MemoryTableData {
    TFieldDefs defs;
    std::vector<std::vector<MemoryValue>> rows;
};

// Records held in memory: text tables and Paradox tables are read whole. The records are
// shared, read-only, between every table opened on the same data.
class VEROLA_CORE_EXPORT MemoryTable : public RecordSource {
public:
    MemoryTable(QString origin, std::shared_ptr<const MemoryTableData> data)
        : m_origin(std::move(origin)), m_data(std::move(data))
    {
    }

    QString origin() const override { return m_origin; }
    const TFieldDefs& fieldDefs() const override { return m_data->defs; }
    int recordCount() const override { return static_cast<int>(m_data->rows.size()); }
    void readRecord(int record) override;
    bool isNull(int field) const override;
    double number(int field) const override;
    QString text(int field) const override;

private:
    const MemoryValue& value(int field) const;

    QString m_origin;
    std::shared_ptr<const MemoryTableData> m_data;
    int m_current = -1;
};

} // namespace verola
