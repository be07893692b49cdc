#include "core/db/querybuilder.h"

#include "core/platform/conversions.h"
#include "core/platform/errors.h"
#include "core/platform/feedback.h"
#include "core/tables/lineutils.h"

#include <QDir>
#include <algorithm>

namespace verola {

namespace {

const QString kString = QStringLiteral("String");

struct AgeBand {
    int lower;
    int upper;
};
constexpr AgeBand kAgeBands[] = {{0, 1}, {0, 3}, {4, 7}, {8, 15}, {16, 20}, {21, 30}, {31, 40}, {41, 50},
    {51, 60}, {61, 150}};
constexpr int kLastBand = 9;

QString quoted(const QString& text)
{
    return u'\'' + text + u'\'';
}

QString quotedFor(SqlQuoting quoting, const QString& text)
{
    return quoting == SqlQuoting::Quoted ? quoted(text) : text;
}

void quoteBounds(SqlQuoting quoting, QString& lower, QString& upper)
{
    lower = quotedFor(quoting, lower);
    if (!upper.isEmpty())
        upper = quotedFor(quoting, upper);
}

// An age code n: for n up to 100 the band is its last digit plus one; a last digit of 9
// (band 10, which does not exist) takes the last band.
const AgeBand& bandOfCode(int n)
{
    return kAgeBands[std::clamp(n % 10 + 1, 0, kLastBand)];
}

QString lowerAge(const QString& code)
{
    const int n = strToInt(code);
    return QString::number(n <= 100 ? bandOfCode(n).lower : n % 100 + 1);
}

QString upperAge(const QString& code)
{
    const int n = strToInt(code);
    return QString::number(n <= 100 ? bandOfCode(n).upper : n % 100 + 1);
}

struct DateParts {
    bool isDate = false;
    double dayNumber = 0;
    int year = 0;
    int month = 0;
    int day = 0;
};

// A time code read as a date, or as a bare year when it is not a date.
DateParts readTimeCode(const QString& text, const FormatSettings& format)
{
    DateParts parts;
    try {
        parts.dayNumber = strToDate(text, format);
        parts.isDate = true;
        decodeDate(parts.dayNumber, parts.year, parts.month, parts.day);
    } catch (const EConvertError&) {
        parts.year = strToInt(text);
    }
    return parts;
}

void requireDate(const DateParts& parts, const QString& text)
{
    if (!parts.isDate)
        throw EConvertError(QStringLiteral("\"%1\" не является датой").arg(text));
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QChar(u'0'));
}

QString timeFieldValue(const QString& field, const QString& text, const DateParts& parts, const TCoordItem& c,
                       const FormatSettings& format, SqlQuoting quoting)
{
    if (field == kTime) {
        requireDate(parts, text);
        return quotedFor(quoting, dateToStr(parts.dayNumber, format));
    }
    if (field == QStringLiteral("Year"))
        return QString::number(c.UseYear == 1 ? parts.year - 1900 : parts.year);
    if (field == QStringLiteral("Month")) {
        requireDate(parts, text);
        return twoDigits(parts.month);
    }
    if (field == QStringLiteral("Day")) {
        requireDate(parts, text);
        return twoDigits(parts.day);
    }
    return text;
}

QString sexCode(const QString& code, const QString& men, const QString& women)
{
    const int n = strToInt(code);
    int sex = n / 100;
    if (sex == 0)
        sex = n / 10;
    if (sex == 1)
        return men;
    if (sex == 2)
        return women;
    return code;
}

// Index of the n-th space counted from the end of s (n from 1), or -1.
qsizetype nthSpaceFromEnd(const QString& s, int n)
{
    qsizetype at = s.size();
    for (int k = 0; k < n; ++k) {
        at = at == 0 ? -1 : s.lastIndexOf(u' ', at - 1);
        if (at < 0)
            return -1;
    }
    return at;
}

// Rewrites "... N = " followed by a range parameter into "... N >= L and N <= U ".
QString rangeComparison(const QString& out, const QString& lower, const QString& upper)
{
    qsizetype cut = nthSpaceFromEnd(out, 3);
    // With fewer than three spaces the whole text is the comparison: its first word is the field.
    const QString tail = cut < 0 ? out.trimmed() : out.mid(cut + 1);
    const QString field = tail.left(tail.indexOf(u' ') < 0 ? tail.size() : tail.indexOf(u' '));
    const QString head = cut < 0 ? QString() : out.left(cut);
    return head + u' ' + field + QStringLiteral(" >= ") + lower + QStringLiteral(" and ") + field
        + QStringLiteral(" <= ") + upper + u' ';
}

bool isExcluded(const QStringList& excluded, const QString& word)
{
    return excluded.contains(word, Qt::CaseInsensitive);
}

// Words of "-(a,b)" in a template line; the line is cut before "-(".
QStringList takeExcludedWords(QString& line)
{
    QStringList words;
    const qsizetype start = line.indexOf(QStringLiteral("-("));
    if (start < 0)
        return words;
    const qsizetype close = line.indexOf(u')', start + 2);
    QString list = close < 0 ? line.mid(start + 2) : line.mid(start + 2, close - start - 2);
    line.truncate(start);
    while (!list.isEmpty()) {
        const QString word = FirstItem(list).trimmed();
        if (!word.isEmpty())
            words.append(word);
        list = RestItems(list);
    }
    return words;
}

// Where "and" stands as a word of its own among the last five characters (not inside a
// value such as 'Holland'); -1 when it does not.
qsizetype danglingAndPosition(const QString& s)
{
    const qsizetype from = std::max<qsizetype>(0, s.size() - 5);
    for (qsizetype at = s.indexOf(QStringLiteral("and"), from, Qt::CaseInsensitive); at >= 0;
         at = s.indexOf(QStringLiteral("and"), at + 1, Qt::CaseInsensitive)) {
        const bool wordStart = at == 0 || s.at(at - 1) == u' ';
        const bool wordEnd = at + 3 == s.size() || s.at(at + 3) == u' ';
        if (wordStart && wordEnd)
            return at;
    }
    return -1;
}

// Tables in a folder, matched without regard to letter case as the desktop's file system did.
bool tableFileExists(const QString& directory, const QString& name)
{
    const QStringList candidates = {name + QStringLiteral(".dbf"), name + QStringLiteral(".db"), name,
        name + QStringLiteral(".txt")};
    const QStringList files = QDir(directory).entryList(QDir::Files);
    return std::any_of(candidates.begin(), candidates.end(),
        [&](const QString& candidate) { return files.contains(candidate, Qt::CaseInsensitive); });
}

QStringList tableNamesAfterFrom(const QString& lowerLine, qsizetype fromAt)
{
    QStringList names;
    QString rest = lowerLine.mid(fromAt + 4);
    for (;;) {
        qsizetype blanks = 0;
        while (blanks < rest.size() && rest.at(blanks) == u' ')
            ++blanks;
        rest = rest.mid(blanks);
        if (rest.isEmpty())
            return names;
        QString name;
        const qsizetype quote = rest.indexOf(u'"');
        if (quote >= 0) {
            const qsizetype closing = rest.indexOf(u'"', quote + 1);
            name = closing < 0 ? rest.mid(quote + 1) : rest.mid(quote + 1, closing - quote - 1);
            const qsizetype comma = closing < 0 ? -1 : rest.indexOf(u',', closing);
            rest = comma < 0 ? QString() : rest.mid(comma + 1);
        } else {
            const qsizetype blank = rest.indexOf(u' ');
            name = blank < 0 ? rest : rest.left(blank);
            rest = blank < 0 ? QString() : rest.mid(blank + 1);
            // "FROM a, b": the comma separates the tables, it is no part of the name.
            if (name.endsWith(u','))
                name.chop(1);
        }
        if (!name.isEmpty())
            names.append(name);
    }
}

QString extensionOf(const QString& file)
{
    const qsizetype dot = file.lastIndexOf(u'.');
    const qsizetype separator = std::max(file.lastIndexOf(u'/'), file.lastIndexOf(u'\\'));
    return dot > separator ? file.mid(dot) : QStringLiteral(".");
}

QString templatePrefix(const QString& code)
{
    const qsizetype open = code.indexOf(u'<');
    return open < 0 ? QString() : code.left(open);
}

} // namespace

QString MapFieldToCoord(const QString& field)
{
    static const QStringList sexAge = {QStringLiteral("Age"), QStringLiteral("CallDate"),
        QStringLiteral("BirthDate"), QStringLiteral("DeathDate"), QStringLiteral("Sex"), kSexAgeGroup};
    static const QStringList time = {QStringLiteral("Year"), QStringLiteral("Month"), QStringLiteral("Day"), kTime};
    static const QStringList region = {QStringLiteral("City"), QStringLiteral("Raion"), kRegion};
    if (sexAge.contains(field))
        return kSexAgeGroup;
    if (time.contains(field))
        return kTime;
    if (region.contains(field))
        return kRegion;
    return field;
}

QString TrimDanglingClause(const QString& line)
{
    QString s = line;
    for (;;) {
        if (s.toLower().contains(QStringLiteral("where")) && s.size() >= 5 && s.size() <= 7)
            return QString();
        // Cut at the dangling word itself: the five characters may reach into a value.
        if (qsizetype at = danglingAndPosition(s); at >= 0) {
            while (at > 0 && s.at(at - 1) == u' ')
                --at;
            return s.left(at);
        }
        if (!s.endsWith(QStringLiteral(" = ")))
            return s;
        s.chop(3);
        while (!s.isEmpty() && !s.endsWith(u' '))
            s.chop(1);
    }
}

TSelectionSources::TSelectionSources(const FormatSettings& format, Feedback& feedback, TSession& session)
    : query(session), table(session), dataSource(&query), m_format(format), m_feedback(feedback), m_session(session)
{
}

void TSelectionSources::resetLevels()
{
    queryLevel = -1;
    tableLevel = -1;
    keyLevel = -1;
    masterLink = false;
}

void TSelectionSources::setLevelsFromDescription(int coordCount)
{
    resetLevels();
    const int count = std::min(coordCount, static_cast<int>(description.CoordItems.size()));
    for (int i = 0; i < count; ++i) {
        const std::int32_t type = description.CoordItems[static_cast<size_t>(i)].Type;
        if (type == kQuerySource)
            queryLevel = i;
        else if (type == kTableSource || type == kKeyedTable)
            tableLevel = i;
    }
    keyLevel = KeyLevel();
    masterLink = queryLevel >= 0 && tableLevel >= 0 && queryLevel < tableLevel
        && !coordinate(tableLevel)->MasterField.isEmpty();
}

const TCoordItem* TSelectionSources::coordinate(int level) const
{
    if (level < 0 || level >= static_cast<int>(description.CoordItems.size()))
        return nullptr;
    return &description.CoordItems[static_cast<size_t>(level)];
}

TSelectionSources::SexCodes TSelectionSources::sexCodes() const
{
    const TCoordItem* c = coordinate(IndexOfCoord(description, kSexAgeGroup));
    const TCoordItem defaults;
    const QString men = c ? c->Man : defaults.Man;
    const QString women = c ? c->Woman : defaults.Woman;
    if (men.contains(QStringLiteral("Grp")))
        return {QStringLiteral("1"), QStringLiteral("2")};
    return {men, women};
}

void TSelectionSources::ConvertValue(int level, const QString& field, QString& lower, QString& upper) const
{
    convertValue(level, field, lower, upper, SqlQuoting::Quoted);
}

void TSelectionSources::convertValue(int level, const QString& field, QString& lower, QString& upper,
                                     SqlQuoting quoting) const
{
    const TCoordItem* c = coordinate(level);
    if (lower.isEmpty() || !c)
        return;
    const bool timeAsDate = field == kTime && c->FormatCoord != kString;
    if (c->NameCoord.toLower() == field.toLower() && field != kRegion && !timeAsDate) {
        if (c->FormatCoord == kString)
            quoteBounds(quoting, lower, upper);
        return;
    }
    try {
        if (c->NameCoord == kRegion)
            convertRegion(*c, field, lower, upper, quoting);
        else if (c->NameCoord == kTime)
            convertTime(*c, field, lower, upper, quoting);
        else if (c->NameCoord == kSexAgeGroup)
            convertSexAge(field, lower, upper);
    } catch (const EConvertError& error) {
        throw EConvertError(QStringLiteral("Уровень %1 (%2), поле %3: %4")
                                .arg(level).arg(c->NameCoord, field, error.message()));
    }
}

void TSelectionSources::convertRegion(const TCoordItem& c, const QString& field, QString& lower, QString& upper,
                                      SqlQuoting quoting) const
{
    const int r = c.SetRegionType;
    const int u = c.UseRegionType;
    if (r == u && r < 2) {
        if (c.FormatCoord == kString)
            quoteBounds(quoting, lower, upper);
        return;
    }
    if (r != 0 && u == 0 && field == kRegion) {
        if (r == 2) {
            lower = FirstItem(lower);
            upper = FirstItem(upper);
        }
        lower.chop(std::min<qsizetype>(3, lower.size()));
        if (!upper.isEmpty())
            upper.chop(std::min<qsizetype>(3, upper.size()));
    }
    if (r == 2) {
        if (field == QStringLiteral("City") || field == kRegion) {
            lower = FirstItem(lower);
            upper = FirstItem(upper);
        } else if (field == QStringLiteral("Raion")) {
            lower = LastItem(lower);
            upper = LastItem(upper);
        }
    }
}

void TSelectionSources::convertTime(const TCoordItem& c, const QString& field, QString& lower, QString& upper,
                                    SqlQuoting quoting) const
{
    const DateParts first = readTimeCode(lower, m_format);
    if (!upper.isEmpty()) {
        const DateParts second = readTimeCode(upper, m_format);
        upper = timeFieldValue(field, upper, second, c, m_format, quoting);
    }
    lower = timeFieldValue(field, lower, first, c, m_format, quoting);
}

void TSelectionSources::convertSexAge(const QString& field, QString& lower, QString& upper) const
{
    if (field == QStringLiteral("Sex")) {
        const SexCodes codes = sexCodes();
        lower = sexCode(lower, codes.men, codes.women);
        if (!upper.isEmpty())
            upper = sexCode(upper, codes.men, codes.women);
    } else if (field == QStringLiteral("Age")) {
        lower = lowerAge(lower);
        if (!upper.isEmpty())
            upper = upperAge(upper);
    }
}

LevelValue TSelectionSources::LevelValues(const QString& field) const
{
    LevelValue value;
    value.level = IndexOfCoord(description, MapFieldToCoord(field));
    if (value.level >= 0 && value.level < kLevelCount) {
        const ValueRange range = SplitRange(currentCodes[static_cast<size_t>(value.level)]);
        value.lower = range.lower;
        value.upper = range.upper;
    }
    return value;
}

bool TSelectionSources::BuildQuery(int level)
{
    QStringList& sqlLines = query.SQL();
    sqlLines.clear();
    const TCoordItem* c = coordinate(level);
    QStringList excluded;
    QString display;
    qsizetype total = 0;
    bool result = true;
    const QStringList templates = c ? c->SqlItems : QStringList();
    for (QString t : templates) {
        excluded += takeExcludedWords(t);
        QString out;
        int joins = 0;
        for (qsizetype colon = t.indexOf(u':'); colon >= 0; colon = t.indexOf(u':')) {
            out += joins > 0 ? t.left(colon) : u' ' + t.left(colon);
            t.remove(0, colon + 1);
            QString parameter;
            if (const qsizetype blank = t.indexOf(u' '); blank >= 0) {
                parameter = t.left(blank);
                t.remove(0, blank + 1);
            } else if (const qsizetype plus = t.indexOf(u'+'); plus >= 0) {
                parameter = t.left(plus);
                t.remove(0, plus + 1);
                ++joins;
            } else {
                parameter = t;
                t.clear();
            }
            if (isExcluded(excluded, parameter))
                continue;
            LevelValue value = LevelValues(parameter);
            ConvertValue(value.level, parameter, value.lower, value.upper);
            if (isExcluded(excluded, value.lower) || isExcluded(excluded, value.upper))
                continue;
            if (!value.upper.isEmpty() && value.upper.compare(value.lower, Qt::CaseInsensitive) != 0)
                out = rangeComparison(out, value.lower, value.upper);
            else
                out += joins == 0 ? value.lower + u' ' : value.lower;
        }
        if (!isExcluded(excluded, t))
            out += t;
        if (joins > 0) {
            if (const qsizetype equals = out.indexOf(QStringLiteral("= ")); equals >= 0) {
                const qsizetype start = equals + 2;
                const qsizetype blank = out.indexOf(u' ', start);
                const qsizetype end = blank < 0 ? out.size() : blank;
                out = out.left(start) + quoted(out.mid(start, end - start)) + out.mid(end);
            }
        }
        out = TrimDanglingClause(out);
        while (out.endsWith(u' '))
            out.chop(1);
        if (out.isEmpty())
            continue;
        if (!CheckFromTables(level, out)) {
            result = false;
            break;
        }
        sqlLines.append(out);
        display += QStringLiteral("\r\n") + out;
        total += out.size();
    }
    if (display.isEmpty())
        return false;
    if (showSql)
        m_feedback.message(QStringLiteral("Текст SQL-запроса:\r\n") + display + QStringLiteral("\r\nLen ")
                           + QString::number(total));
    return result;
}

bool TSelectionSources::CheckFromTables(int level, const QString& line) const
{
    const QString lowerLine = line.toLower();
    const qsizetype from = lowerLine.indexOf(QStringLiteral("from"));
    if (from < 0)
        return true;
    const TCoordItem* c = coordinate(level);
    const QString directory = c ? m_session.databaseFolder(c->Path) : QString();
    const QStringList names = tableNamesAfterFrom(lowerLine, from);
    for (const QString& name : names) {
        if (!tableFileExists(directory, name)) {
            m_missingTable = name;
            return false;
        }
    }
    return true;
}

QString TSelectionSources::levelText(int level) const
{
    const TCoordItem* c = coordinate(level);
    return QStringLiteral("Модель «%1», уровень %2 (%3): ").arg(model).arg(level).arg(c ? c->NameCoord : QString());
}

const TAliaseType* TSelectionSources::aliasOf(const TCoordItem& c) const
{
    for (const TAliaseType& alias : description.Aliases)
        if (alias.Path.compare(c.Path, Qt::CaseInsensitive) == 0)
            return &alias;
    return nullptr;
}

bool TSelectionSources::UsesTemplatedTable(int level) const
{
    const TCoordItem* c = coordinate(level);
    if (!c || c->Type == kQuerySource || c->Type == kNoDatabase)
        return false;
    const TAliaseType* alias = aliasOf(*c);
    if (!alias)
        return false;
    return std::any_of(alias->Codes.begin(), alias->Codes.end(), [&](const QString& code) {
        const QString prefix = templatePrefix(code);
        return !prefix.isEmpty() && c->File.startsWith(prefix, Qt::CaseInsensitive);
    });
}

QString TSelectionSources::convertedLower(const QString& field, SqlQuoting quoting) const
{
    LevelValue value = LevelValues(field);
    convertValue(value.level, field, value.lower, value.upper, quoting);
    return value.lower;
}

QString TSelectionSources::TemplatedTableName(int level) const
{
    const TCoordItem* c = coordinate(level);
    if (!c)
        return QString();
    const TAliaseType* alias = aliasOf(*c);
    if (!alias)
        return c->File;
    for (const QString& code : alias->Codes) {
        const QString prefix = templatePrefix(code);
        if (prefix.isEmpty() || !c->File.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        QString name = prefix;
        for (qsizetype open = code.indexOf(u'<'); open >= 0; open = code.indexOf(u'<', open + 1)) {
            const qsizetype close = code.indexOf(u'>', open + 1);
            if (close < 0)
                break;
            name += convertedLower(code.mid(open + 1, close - open - 1), SqlQuoting::Quoted);
            open = close;
        }
        return name + extensionOf(c->File);
    }
    // No template fits the level's file: the plain table is read.
    return c->File;
}

int TSelectionSources::KeyLevel() const
{
    const TCoordItem* table = coordinate(tableLevel);
    if (!table || table->Type != kKeyedTable || table->Key.isEmpty() || table->Index.isEmpty())
        return -1;
    int level = -1;
    for (const QString& part : table->Key.split(u'+'))
        level = std::max(level, IndexOfCoord(description, MapFieldToCoord(part)));
    return level;
}

QString TSelectionSources::KeyValue() const
{
    const TCoordItem* table = coordinate(tableLevel);
    if (!table)
        return QString();
    // The key is searched in the index as the codes themselves, not as SQL text.
    QString key;
    for (const QString& part : table->Key.split(u'+'))
        key += convertedLower(part, SqlQuoting::Bare);
    return key;
}

} // namespace verola
