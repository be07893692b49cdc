#pragma once

// The dose and risk calculation of the dose block: exposure doses and health-risk indicators
// for every pollutant, region, time period, exposure group and risk type, computed from the
// concentration block's selected summary and three reference tables of the risk database.

#include "core/coreexport.h"
#include "core/db/session.h"
#include "core/db/ttable.h"

#include <QString>

namespace verola {

class ProgressFeedback;
class TTab;
class TWorkspace;

inline const QString kDoseResponseTable = QStringLiteral("condrisk.dbf"); // NAME, ANOV, BNOV
inline const QString kToxicityTable = QStringLiteral("subs.dbf");         // NAME, RFD, SF
inline const QString kExposureTable = QStringLiteral("expf.dbf");         // ID_EXP, EXP_FL, EXP_FC

// Reference values of one pollutant; each may be missing (-999).
struct VEROLA_CORE_EXPORT PollutantReference {
    double A = -999;   // dose-response constants
    double B = -999;
    double RFD = -999; // reference dose
    double SF = -999;  // slope factor
};

// Exposure factors of one exposure group; each may be missing (-999).
struct VEROLA_CORE_EXPORT ExposureReference {
    double lifetime = -999; // EXP_FL
    double chronic = -999;  // EXP_FC
};

// The reference tables of the risk database in one folder, read through the table engine.
// Every lookup scans its table from the first record; a table that cannot be opened raises
// the engine's error.
class VEROLA_CORE_EXPORT DoseReferenceTables {
public:
    DoseReferenceTables(const QString& folder, const FormatSettings& format);

    // The pollutant whose NAME is the key, or the key with its two words swapped.
    PollutantReference pollutant(const QString& key);
    // The first record whose ID_EXP equals the identifier as integers. A record whose ID_EXP
    // cannot be read is passed over; an identifier that is not an integer finds nothing.
    ExposureReference exposureGroup(const QString& identifier);

private:
    TSession m_session;
    TTable m_pollutantTable;
    TTable m_exposureTable;
};

enum class DoseOutcome {
    Computed,
    NoPollutantInSource, // no pollutant of the dose table maps onto the concentration table
    AxisWithoutValues,   // axis 1, 2, 6 or 8 has no position
};

// Fills the dose table from the concentration table (read plainly through the dose table's
// position maps of axes 0, 1 and 2) and writes each indicator of axis 8 for each exposure group
// of axis 6. The dose table is dimensioned anew; cells that are not computed stay missing. When
// axis 1, 2, 6 or 8 has no position nothing is computed or read. The reference values are read
// once per mapped pollutant and per group; the groups' also when no pollutant is mapped. An
// arithmetic fault throws EFloatingPointError naming the cell (its axes' positions) and why,
// and leaves the cells written so far.
DoseOutcome ComputeDoses(TTab& dose, TTab& concentration, DoseReferenceTables& references,
    ProgressFeedback& progress);

// The dose block's calculation: the dose block becomes active, its Calc table is computed
// from the concentration block's selected summary (Est when its switch takes input 1, else
// Extr) with the reference tables of the risk data directory, then summarized. When the
// calculation throws, the table is not summarized.
DoseOutcome CalculateDoseBlock(TWorkspace& workspace);

} // namespace verola
