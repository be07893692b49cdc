#pragma once

#include "core/coreexport.h"
#include "core/db/fielddefs.h"
#include "core/db/recordsource.h"

#include <QString>
#include <memory>

namespace verola {

// dBase III/IV tables through shapelib. Character, numeric, float, date and
// logical fields are read; memo fields read as empty text. Texts are in the
// file's code page (language driver byte or ".cpg" file), code page 1251 when
// the file names none.
class VEROLA_CORE_EXPORT DbfTable : public RecordSource {
public:
    // Throws EDatabaseError naming the file when it is missing, unreadable or corrupt.
    static std::unique_ptr<DbfTable> open(const QString& path, bool forWriting = false);
    // Creates an empty table (code page 1251 marked) with the given fields.
    static void create(const QString& path, const TFieldDefs& fields);

    ~DbfTable() override;

    QString origin() const override;
    const TFieldDefs& fieldDefs() const override;
    int recordCount() const override;
    void readRecord(int record) override;
    void prefetch(int record) const override;
    bool isNull(int field) const override;
    double number(int field) const override;
    QString text(int field) const override;
    QString displayText(int field, const FormatSettings& format) const override;
    void utf8Text(int field, std::string& out) const override;

    // Appends one record; texts are given per field, an empty optional text
    // leaves the field blank. Throws EDatabaseError when a value cannot be stored.
    void appendRecord(const QStringList& texts, const std::vector<bool>& given, const FormatSettings& format);

    struct Impl;

private:
    explicit DbfTable(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

// Day number of a dBase date text "YYYYMMDD"; false when it is blank or no date.
bool dbfDateToDayNumber(const char* text, int length, double& dayNumber);
// A date in the user's short date format, without going through QDate for the usual formats.
QString formatShortDate(int year, int month, int day, const FormatSettings& format);

} // namespace verola
