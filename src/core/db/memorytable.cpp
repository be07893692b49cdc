#include "core/db/memorytable.h"

#include "core/db/dberrors.h"

namespace verola {

void MemoryTable::readRecord(int record)
{
    if (record < 0 || record >= recordCount())
        throw EDatabaseError(QStringLiteral("Записи %1 нет в %2").arg(record + 1).arg(m_origin));
    m_current = record;
}

const MemoryValue& MemoryTable::value(int field) const
{
    static const MemoryValue null;
    const auto& row = m_data->rows[static_cast<size_t>(m_current)];
    return field < static_cast<int>(row.size()) ? row[static_cast<size_t>(field)] : null;
}

bool MemoryTable::isNull(int field) const
{
    const MemoryValue& v = value(field);
    return v.kind == MemoryValue::Null || (v.kind == MemoryValue::Text && v.text.isEmpty());
}

double MemoryTable::number(int field) const
{
    const MemoryValue& v = value(field);
    return v.kind == MemoryValue::Number ? v.number : 0.0;
}

QString MemoryTable::text(int field) const
{
    const MemoryValue& v = value(field);
    return v.kind == MemoryValue::Text ? v.text : QString();
}

} // namespace verola
