#pragma once

// The selection from the databases: fills a block's primary table by walking its coordinates
// as nested levels, opening each level's query or table for the current outer positions and
// handing the innermost records to the per-record step. The database review runs the same
// walk only to count the records the query level finds for each of its positions.

#include "core/coreexport.h"
#include "core/platform/formatsettings.h"

#include <QString>
#include <QStringList>

namespace verola {

class Feedback;
class TSession;
class TTab;

// The list the main window shows during a database review: one entry per query position,
// "<axis caption> <code>,<count>".
struct VEROLA_CORE_EXPORT TReviewList {
    QStringList entries;
    bool visible = true;
};

struct VEROLA_CORE_EXPORT SelectionRequest {
    TTab* primary = nullptr;    // the block's kind 0 table
    QString panelKind;          // "PolPanel", "ConcPanel", "DesPanel" or "DeathPanel"
    Feedback* feedback = nullptr;
    FormatSettings format;
    QString dataDirectory;      // where "Planets.orb" is read
    bool showSql = false;
    bool review = false;
    TReviewList* reviewList = nullptr;
    TSession* session = nullptr; // the default session when none is given
};

enum class SelectionOutcome {
    Completed,       // every region position was walked
    StoppedByUser,   // the continue flag was found off
    StoppedAtModel,  // "Yes" to the question about a missing model
    HeadingMissing,  // an axis caption is not in the caption list
};

struct VEROLA_CORE_EXPORT SelectionResult {
    SelectionResult() = default;
    SelectionResult(SelectionOutcome how) : outcome(how) {} // NOLINT: an outcome alone is a result
    SelectionOutcome outcome = SelectionOutcome::Completed;
    int total = 0;    // records accepted since the last model was loaded (counted, in a review)
    int accepted = 0; // records accepted over the whole run, every model
};

// One run. Errors raised inside (a conversion error in a record, a missing orbit file, ...)
// end the run and propagate once everything the run opened is closed and freed.
SelectionResult RunSelection(const SelectionRequest& request);

} // namespace verola
