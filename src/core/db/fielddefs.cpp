#include "core/db/fielddefs.h"

namespace verola {

void TFieldDefs::Add(const QString& name, TFieldType dataType, int size, bool)
{
    TFieldDef def;
    def.Name = name;
    def.DataType = dataType;
    def.Size = size;
    m_defs.append(def);
}

int TFieldDefs::IndexOf(const QString& name) const
{
    for (int i = 0; i < m_defs.size(); ++i)
        if (m_defs.at(i).Name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool isNumericField(TFieldType type)
{
    return type == TFieldType::ftFloat || type == TFieldType::ftInteger || type == TFieldType::ftBCD;
}

} // namespace verola
