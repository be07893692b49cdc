#pragma once

// The per-record step of the selection: the current record of the query and of the table is
// tested against the positions of all levels and, when it matches, its value is written into
// the primary table or accumulated for a mean. Also the tests by value type, time and sex-age,
// the weights that divide values, the date and group ranges of the time and sex-age positions
// and the record-driven walk of hashed levels.

#include "core/coreexport.h"
#include "core/astro/horoscope.h"
#include "core/db/hashlist.h"
#include "core/db/querybuilder.h"
#include "core/db/specialcoords.h"
#include "core/platform/formatsettings.h"
#include "core/tables/ttab.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace verola {

class Feedback;
class TDataSet;
class TSession;

// A quarter of an hour after day 0: the bounds of a time position that has no date.
constexpr double kNoDate = 1.0 / 96.0;
// The bounds of a sex-age position that has no group.
constexpr std::int16_t kNoGroup = 101;

struct VEROLA_CORE_EXPORT TDateType {
    double Lower = kNoDate;
    double Upper = kNoDate;
};
struct VEROLA_CORE_EXPORT TGroupItem {
    std::int16_t Lower = kNoGroup;
    std::int16_t Upper = kNoGroup;
};
using TDateList = std::vector<TDateType>;
using TGroupList = std::vector<TGroupItem>;

// The date range of every position of a time axis, and the group codes of every position of a
// sex-age axis, group positions included.
TDateList BuildDateList(const TTab& table, int axis, const FormatSettings& format);
TGroupList BuildGroupList(const TTab& table, int axis);
// Item p, or the no-date / no-group bounds when the list is missing or has no item p.
TDateType DateRangeOf(const TDateList* list, int p);
TGroupItem GroupRangeOf(const TGroupList* list, int p);

// Does a record value fit a position text of the given format?
bool MatchValue(const QString& format, const QString& value, const QString& positionText, const TDateType& range,
                const FormatSettings& formatSettings);
// Does a record's time text fit the day numbers lower ... upper?
bool MatchTime(const QString& spec, double lower, double upper, const FormatSettings& format);
// Years from a birth text to an event text; each a year (two digits: 19xx) or a date.
double AgeFromDates(const QString& birth, const QString& event, const FormatSettings& format);

// The age band table: band 0 ... 9 -> lower and upper age in years.
int bandLowerAge(int band);
int bandUpperAge(int band);

struct VEROLA_CORE_EXPORT SexAgeResult {
    bool ok = false;
    int part = 0; // 1: the time test failed, 2: the sex or the age
    bool ageUnknown = false; // no birth year, or no age, could be read (part 2, not ok)
};
// sex: 1 man, 2 woman, 0 neither. A blank or unreadable age or birth year, or a birth after the
// event, leaves the age unknown: the record matches no group.
SexAgeResult MatchSexAge(int sex, const QString& age, const QString& event, const TDateType& timeRange,
                         const TGroupItem& groups, const FormatSettings& format);

// The value of the first record whose key field equals key (ignoring letter case), read as a
// number; -1 when there is none or anything fails.
double LookupWeight(TSession& session, const QString& database, const QString& table, const QString& keyField,
                    const QString& key, const QString& valueField);
// The weight of a position: looked up by the node's caption, else by its parents', spread over
// the leaves below the node it was found for, and divided by the divisor of the weight text.
// 1 when the text is empty or nothing is found. Throws EConvertError for a bad divisor.
double WeightOf(TSession& session, const QStringList& tree, int line, const QString& weightText,
                const FormatSettings& format);

// A line of a coordinate list as a tree node.
bool nodeHasChildren(const QStringList& tree, int line);
// The text after the first "|" of a line, or the whole line without its tabs.
QString codesPart(const QString& line);

// Accumulators of one database level and what it wrote.
struct VEROLA_CORE_EXPORT TLevelAccumulators {
    std::unique_ptr<TTempList> list;
    int size = 0;
    int direct = 0;  // values written straight into cells
    int directInTotal = 0; // the part of direct the run's total already holds
    int flushed = 0; // means written by FlushAccumulators
};

// The field names a database level's entries give the time and sex-age tests.
struct VEROLA_CORE_EXPORT TDatabaseFields {
    QString time;
    QString sexAge;
    QString sex;
    QString ageOrBirth;
    QString event;
};
TDatabaseFields databaseFieldsOf(const QStringList& items);
// A level whose entries name no "Title" and no "Result" adds to its cells per matching record.
bool isCountMode(const QStringList& items);

// One Items entry, taken apart once when the model is loaded, with the comparisons the
// per-record step makes of it answered in advance.
struct VEROLA_CORE_EXPORT TRecordEntry {
    QString field;
    QString coordinate;
    QString role;
    QString name;      // the coordinate it maps to; "Complex" for a composite such as Raion+Year
    int level = -1;    // the level of that coordinate
    QString format;    // its FormatCoord
    QStringList parts; // the parts of a composite

    bool isValue = false;     // role "Value"
    bool isTitle = false;     // role "Title"
    bool isResult = false;    // maps to "Result"
    bool isComplex = false;
    bool isTime = false;      // maps to "Time"
    bool isSexAge = false;    // maps to "SexAgeGroup"
    bool isBirthDate = false; // coordinate "BirthDate"
    bool isCallDate = false;  // coordinate "CallDate"
    bool namesSexAgeGroup = false; // coordinate "SexAgeGroup" itself
};
std::vector<TRecordEntry> recordEntriesOf(const TPanelInfoStruct& description, const QStringList& items);

// The record-level state of one selection run.
class VEROLA_CORE_EXPORT TRecordReader {
public:
    TRecordReader(TSelectionSources& sources, Feedback& feedback, const FormatSettings& format, TSession& session);

    TSelectionSources& sources;
    Feedback& feedback;
    FormatSettings format;
    TSession& session;
    TTab* primary = nullptr;
    QString dataDirectory;

    int coords = 0;
    std::array<int, kLevelCount> positions{};
    std::array<int, kLevelCount> axes{1, 0, 0, 0};
    std::array<bool, kLevelCount> stopFlags{};
    int timeLevel = -1;
    int sexAgeLevel = -1;
    bool queryCountMode = false;
    bool tableCountMode = false;
    TDatabaseFields queryFields;
    TDatabaseFields tableFields;
    std::array<std::vector<TRecordEntry>, kLevelCount> entries;

    THashListPtr timeHash;
    THashListPtr sexAgeHash;
    std::unique_ptr<TDateList> dateList;
    std::unique_ptr<TGroupList> groupList;

    TLevelAccumulators queryAccumulators;
    TLevelAccumulators tableAccumulators;

    THoroscopeState horoscope;
    QString lastBirthDate;
    QString lastEventDate;
    // Records whose age could not be known, left out of the sex-age tests, each counted once.
    int unknownAgeCount() const { return static_cast<int>(m_unknownAgeRecords.size()); }
    // Cells that, with averaging off, received more than one value: the last one stayed.
    // The last record processed failed a test of a level outside the one its records are
    // walked at: only that record is left, the others of the position still count.
    bool recordLeftOut() const { return m_recordLeftOut; }
    int overwrittenCellCount() const { return static_cast<int>(m_overwrittenCells.size()); }
    // The codes part of the node of the level entered most recently; it lives in the run's trees.
    const QString* innermostCodes = nullptr;
    // False when no node of the run's trees asks the horoscope test: the birth and event dates
    // then need not be read for it.
    bool horoscopeInTrees = true;

    // The query entry that first tests the innermost level's position, when the driver picks
    // that level's positions by the code a record holds (-1 otherwise), and what the query's
    // latest ProcessRecord found there: whether the record came to the entry still matching,
    // and the entry's field text. The driver clears `reached` before each call.
    struct PlainCodeProbe {
        int entry = -1;
        bool reached = false;
        QString value;
    };
    PlainCodeProbe plainCode;

    bool anyCountMode() const { return queryCountMode || tableCountMode; }
    bool dataType() const { return sources.description.DataType; }

    void ProcessRecord(TDataSet& source, int level, TLevelAccumulators& accumulators, double w3, double w2,
                       double w1, double w0);

    int RecordTimeIndex();
    int RecordSexAgeIndex();
    struct HashedCount {
        int index = -1;
        int count = 0;
    };
    HashedCount HashedPositionCount(int level, int count);
    int HashedPosition(int level, int index, int k) const;

    CoordIndex currentIndex() const;
    void AddToCell(float x);
    void SetCurrentCell(float x);
    void SumAccumulate(TTempList* list, int n, float x);
    void FlushAccumulators(TTempList* list, int p, int& counter);

private:
    enum class Step { Next, Finished, Value };
    Step testValue(TDataSet& source, int level, size_t e, const QString& positionText, int position, bool& match);
    Step testSexAge(int level, bool& match);
    void stopLevel(int flagged, int level);
    QString compositeText(const TRecordEntry& entry) const;
    QString ReadField(const QString TDatabaseFields::*field);
    void readValue(TDataSet& source, const TRecordEntry& entry, const QString& positionText, double weight, int n,
                   TLevelAccumulators& accumulators);
    void readWindOrTemperature(TDataSet& source, const QString& field, double weight, int n,
                               TLevelAccumulators& accumulators);
    double regionWeight(const std::array<double, kLevelCount>& weights) const;
    const QString& entryValue(TDataSet& source, int level, size_t entry);
    int sexAgeIndexOf(int base, double age) const;
    void noteUnknownAge();
    void noteMissingField(TDataSet& source, const QString& name);
    void writeValue(float x);
    int yearOfField(const QString TDatabaseFields::*field);

    // A field found by name, kept while its dataset stays open: records are read by the
    // thousand between two openings.
    struct FieldSlot {
        const TDataSet* dataSet = nullptr;
        quint64 opening = 0;
        QString name;
        TField* field = nullptr;
    };
    TField* findField(TDataSet& source, const QString& name, FieldSlot& slot);
    // A field of the time and sex-age tests: the table's when it names one, else the query's.
    TField* databaseField(const QString TDatabaseFields::*field);
    std::array<FieldSlot, 5> m_databaseFieldSlots;
    std::array<std::vector<FieldSlot>, kLevelCount> m_entryFieldSlots;

    int m_lastSexAgePart = 0;
    bool m_recordLeftOut = false;
    QSet<QString> m_unknownAgeRecords;
    QSet<QString> m_missingFields;
    QSet<std::int64_t> m_writtenCells;
    QSet<std::int64_t> m_overwrittenCells;
    // Field texts of the record being processed, per entry, read once however many positions
    // test the record.
    struct ValueCache {
        const TDataSet* source = nullptr;
        int level = -1;
        quint64 stamp = 0;
        quint64 masterStamp = 0;
        std::vector<std::optional<QString>> values;
    };
    ValueCache m_values;
};

} // namespace verola
