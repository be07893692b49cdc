#pragma once

#include "core/coreexport.h"

#include <QList>
#include <QString>

namespace verola {

enum class TFieldType {
    ftString,  // character
    ftFloat,   // numeric with decimals, float
    ftInteger, // numeric without decimals
    ftBCD,     // numeric of fixed decimals (dBase "N" with Size decimal places)
    ftDate,
    ftBoolean,
    ftMemo,    // read as empty text
};

// One field of a table. For ftString Size is the width; for ftBCD, ftFloat and
// ftInteger Size is the number of decimals and Precision the total width
// (0: the driver's default).
struct VEROLA_CORE_EXPORT TFieldDef {
    QString Name;
    TFieldType DataType = TFieldType::ftString;
    int Size = 0;
    int Precision = 0;
};

class VEROLA_CORE_EXPORT TFieldDefs {
public:
    void Add(const QString& name, TFieldType dataType, int size = 0, bool required = false);
    void Clear() { m_defs.clear(); }
    int Count() const { return static_cast<int>(m_defs.size()); }
    const TFieldDef& operator[](int i) const { return m_defs.at(i); }
    TFieldDef& operator[](int i) { return m_defs[i]; }
    // Index of the field named so, ignoring letter case; -1 when absent.
    int IndexOf(const QString& name) const;
    const QList<TFieldDef>& list() const { return m_defs; }
    void setList(const QList<TFieldDef>& defs) { m_defs = defs; }
    void append(const TFieldDef& def) { m_defs.append(def); }

private:
    QList<TFieldDef> m_defs;
};

bool isNumericField(TFieldType type);

} // namespace verola
