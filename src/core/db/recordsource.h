#pragma once

#include "core/coreexport.h"
#include "core/db/fielddefs.h"
#include "core/platform/formatsettings.h"

#include <QString>
#include <string>

namespace verola {

// Records of one table file or one query result, reached by number. Each file
// kind has its driver (dBase, Paradox, text); query results are held in memory.
class VEROLA_CORE_EXPORT RecordSource {
public:
    virtual ~RecordSource() = default;

    // Where the records come from (a file path or the statement), for messages.
    virtual QString origin() const = 0;
    virtual const TFieldDefs& fieldDefs() const = 0;
    virtual int recordCount() const = 0;
    // Makes a record current; throws EDatabaseError naming the origin when it cannot be read.
    virtual void readRecord(int record) = 0;
    // A hint that the record will be read soon, so that its bytes can be on their way; it
    // changes nothing else.
    virtual void prefetch(int /*record*/) const {}

    // Values of the current record.
    virtual bool isNull(int field) const = 0;
    // Numbers as stored; dates as day numbers; logical fields 1 or 0.
    virtual double number(int field) const = 0;
    // Text of character fields; for other fields the stored text, as the file has it.
    virtual QString text(int field) const = 0;
    // The field as the user sees it: numbers in general format with the user's
    // decimal separator, dates in the user's short date format, "True"/"False".
    virtual QString displayText(int field, const FormatSettings& format) const;
    // Text as UTF-8, for loading into SQL tables.
    virtual void utf8Text(int field, std::string& out) const;
};

} // namespace verola
