#pragma once

#include "core/coreexport.h"
#include "core/db/fielddefs.h"
#include "core/db/recordsource.h"

#include <QString>
#include <vector>

namespace verola {

// One stored value: null, a number (dates as day numbers, logical 1/0) or a text.
struct VEROLA_CORE_EXPORT MemoryValue {
    enum Kind : unsigned char { Null, Number, Text } kind = Null;
    double number = 0;
    QString text;
};

// Records held in memory: text tables and Paradox tables are read whole.
class VEROLA_CORE_EXPORT MemoryTable : public RecordSource {
public:
    MemoryTable(QString origin, TFieldDefs defs) : m_origin(std::move(origin)), m_defs(std::move(defs)) {}

    void appendRow(std::vector<MemoryValue> row) { m_rows.push_back(std::move(row)); }

    QString origin() const override { return m_origin; }
    const TFieldDefs& fieldDefs() const override { return m_defs; }
    int recordCount() const override { return static_cast<int>(m_rows.size()); }
    void readRecord(int record) override;
    bool isNull(int field) const override;
    double number(int field) const override;
    QString text(int field) const override;

private:
    const MemoryValue& value(int field) const;

    QString m_origin;
    TFieldDefs m_defs;
    std::vector<std::vector<MemoryValue>> m_rows;
    int m_current = -1;
};

} // namespace verola
