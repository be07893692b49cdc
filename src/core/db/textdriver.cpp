#include "core/db/textdriver.h"

#include "core/db/dberrors.h"
#include "core/db/filecache.h"
#include "core/db/memorytable.h"
#include "core/platform/conversions.h"
#include "core/platform/privateprofile.h"
#include "core/platform/textfile.h"

#include <QDateTime>
#include <QFileInfo>

namespace verola {

namespace {

// A source table is read whole into memory: far more than a list, but bounded all the same.
constexpr qint64 kTextTableByteLimit = qint64(1) << 30;

struct TextSchema {
    bool present = false;
    bool fixed = false;
    QChar delimiter = u',';
    QChar quote = u'"';
    TFieldDefs defs;
    std::vector<int> offsets;
};

QChar detectDelimiter(const QString& header)
{
    const QChar candidates[] = {u'\t', u';', u','};
    QChar best = u',';
    qsizetype bestCount = 0;
    for (const QChar c : candidates) {
        const qsizetype count = header.count(c);
        if (count > bestCount) {
            best = c;
            bestCount = count;
        }
    }
    return best;
}

QChar schemaCharacter(QString text, QChar fallback)
{
    text = text.trimmed();
    if (text.compare(QStringLiteral("TAB"), Qt::CaseInsensitive) == 0 || text == QStringLiteral("\\t"))
        return u'\t';
    if (text.size() >= 3 && text.startsWith(u'"') && text.endsWith(u'"'))
        return text.at(1);
    return text.isEmpty() ? fallback : text.at(0);
}

TFieldType schemaType(const QString& name)
{
    const QString type = name.trimmed().toUpper();
    if (type == QStringLiteral("CHAR") || type == QStringLiteral("ALPHA"))
        return TFieldType::ftString;
    if (type == QStringLiteral("DATE") || type == QStringLiteral("TIMESTAMP"))
        return TFieldType::ftDate;
    if (type == QStringLiteral("BOOL") || type == QStringLiteral("LOGICAL"))
        return TFieldType::ftBoolean;
    if (type == QStringLiteral("LONGINT") || type == QStringLiteral("SHORT") || type == QStringLiteral("INTEGER"))
        return TFieldType::ftInteger;
    return TFieldType::ftFloat;
}

QString schemaPath(const QString& tablePath)
{
    const QFileInfo info(tablePath);
    return info.path() + u'/' + info.completeBaseName() + QStringLiteral(".sch");
}

// The schema file: a section with FILETYPE, SEPARATOR, DELIMITER and
// Field1 = NAME,TYPE,WIDTH,DECIMALS,OFFSET lines.
TextSchema readSchema(const QString& tablePath)
{
    TextSchema schema;
    const QString path = schemaPath(tablePath);
    if (!QFileInfo::exists(path))
        return schema;
    refuseIrregularTable(path);
    // One read of the file for all its keys: a schema lists one key per field.
    const PrivateProfileDocument profile(path);
    const QStringList sections = profile.sections();
    if (sections.isEmpty())
        throw EDatabaseError(QStringLiteral("В схеме \"%1\" нет ни одного раздела").arg(path));
    const QString section = sections.first();
    schema.present = true;
    schema.fixed = profile.readString(section, QStringLiteral("FILETYPE"), QString()).trimmed()
                       .compare(QStringLiteral("FIXED"), Qt::CaseInsensitive) == 0;
    schema.delimiter = schemaCharacter(profile.readString(section, QStringLiteral("SEPARATOR"), QStringLiteral(",")), u',');
    schema.quote = schemaCharacter(profile.readString(section, QStringLiteral("DELIMITER"), QStringLiteral("\"")), u'"');
    for (int n = 1;; ++n) {
        const QString line = profile.readString(section, QStringLiteral("Field%1").arg(n), QString());
        if (line.isEmpty())
            break;
        const QStringList parts = line.split(u',');
        if (parts.size() < 3 || parts.first().trimmed().isEmpty())
            throw EDatabaseError(QStringLiteral("Схема \"%1\": строка поля %2 испорчена").arg(path).arg(n));
        TFieldDef def;
        def.Name = parts.at(0).trimmed();
        def.DataType = schemaType(parts.at(1));
        const int width = parts.at(2).trimmed().toInt();
        if (width < 0)
            throw EDatabaseError(QStringLiteral("Схема \"%1\": у поля %2 отрицательная ширина").arg(path).arg(n));
        const int decimals = parts.size() > 3 ? parts.at(3).trimmed().toInt() : 0;
        def.Size = def.DataType == TFieldType::ftString ? width : decimals;
        def.Precision = width;
        schema.defs.append(def);
        schema.offsets.push_back(parts.size() > 4 ? parts.at(4).trimmed().toInt() : -1);
    }
    if (schema.defs.Count() == 0)
        throw EDatabaseError(QStringLiteral("В схеме \"%1\" не указано ни одного поля").arg(path));
    return schema;
}

MemoryValue typedValue(const QString& text, const TFieldDef& def, const FormatSettings& format, const QString& path,
    int lineNumber)
{
    MemoryValue value;
    const QString trimmed = text.trimmed();
    if (def.DataType == TFieldType::ftString || def.DataType == TFieldType::ftMemo) {
        value.kind = MemoryValue::Text;
        value.text = text;
        return value;
    }
    if (trimmed.isEmpty())
        return value;
    bool ok = true;
    double number = 0;
    if (def.DataType == TFieldType::ftDate) {
        ok = tryStrToDateTime(trimmed, format, number);
    } else if (def.DataType == TFieldType::ftBoolean) {
        const QChar c = trimmed.at(0).toUpper();
        number = c == u'T' || c == u'Y' || c == u'1' ? 1.0 : 0.0;
    } else {
        QString plain = trimmed;
        plain.replace(format.decimalSeparator, u'.');
        number = plain.toDouble(&ok);
    }
    if (!ok)
        throw EDatabaseError(QStringLiteral("Таблица \"%1\", строка %2: \"%3\" не годится как значение поля %4")
                                 .arg(path).arg(lineNumber).arg(text, def.Name));
    value.kind = MemoryValue::Number;
    value.number = number;
    return value;
}

QStringList fixedValues(const QString& line, const TextSchema& schema)
{
    QStringList values;
    // Offsets and widths come from the schema as written: their sums may pass the range of int.
    qsizetype offset = 0;
    for (int i = 0; i < schema.defs.Count(); ++i) {
        const qsizetype start = schema.offsets[static_cast<size_t>(i)] >= 0 ? schema.offsets[static_cast<size_t>(i)] : offset;
        const qsizetype width = schema.defs[i].Precision;
        values.append(line.mid(start, width).trimmed());
        offset = start + width;
    }
    return values;
}

bool sameNames(const QStringList& values, const TFieldDefs& defs)
{
    if (values.size() != defs.Count())
        return false;
    for (int i = 0; i < defs.Count(); ++i)
        if (values.at(i).trimmed().compare(defs[i].Name, Qt::CaseInsensitive) != 0)
            return false;
    return true;
}

} // namespace

QStringList splitDelimited(const QString& line, QChar delimiter, QChar quote)
{
    QStringList values;
    QString current;
    bool blank = true; // current holds only white space: a quote there opens a quoted value
    const auto append = [&](QChar c) {
        current += c;
        blank = blank && c.isSpace();
    };
    const auto restart = [&] {
        current.clear();
        blank = true;
    };
    bool quoted = false;
    bool wasQuoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == quote) {
                if (i + 1 < line.size() && line.at(i + 1) == quote) {
                    append(quote);
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                append(c);
            }
        } else if (c == quote && blank) {
            quoted = true;
            wasQuoted = true;
            restart();
        } else if (c == delimiter) {
            values.append(wasQuoted ? current : current.trimmed());
            restart();
            wasQuoted = false;
        } else {
            append(c);
        }
    }
    values.append(wasQuoted ? current : current.trimmed());
    return values;
}

namespace {

std::shared_ptr<const MemoryTableData> readTextRecords(const QString& path, const FormatSettings& format)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw EDatabaseError(QStringLiteral("Таблица \"%1\" не найдена").arg(path));
    refuseIrregularTable(path);
    QStringList lines;
    try {
        lines = readTextFile(path, kTextTableByteLimit).lines;
    } catch (const EPlatformError& error) {
        throw EDatabaseError(QStringLiteral("Таблицу \"%1\" не удаётся прочитать: %2").arg(path, error.message()));
    }
    const TextSchema schema = readSchema(path);
    TFieldDefs defs = schema.defs;
    QChar delimiter = schema.delimiter;
    int first = 0;
    while (first < lines.size() && lines.at(first).trimmed().isEmpty())
        ++first;
    if (!schema.present) {
        if (first >= lines.size())
            throw EDatabaseError(QStringLiteral("В таблице \"%1\" нет строки заголовка с именами полей").arg(path));
        delimiter = detectDelimiter(lines.at(first));
        const QStringList names = splitDelimited(lines.at(first), delimiter);
        for (int i = 0; i < names.size(); ++i) {
            if (names.at(i).isEmpty())
                throw EDatabaseError(QStringLiteral("Таблица \"%1\": у поля %2 заголовка нет имени").arg(path).arg(i + 1));
            defs.Add(names.at(i), TFieldType::ftString, 0);
        }
        ++first;
    } else if (first < lines.size()) {
        const QStringList head = schema.fixed ? fixedValues(lines.at(first), schema) : splitDelimited(lines.at(first), delimiter, schema.quote);
        if (sameNames(head, defs))
            ++first;
    }

    std::vector<std::vector<MemoryValue>> rows;
    std::vector<int> widths(static_cast<size_t>(defs.Count()), 1);
    for (int n = first; n < lines.size(); ++n) {
        const QString& line = lines.at(n);
        if (line.trimmed().isEmpty())
            continue;
        const QStringList values = schema.fixed ? fixedValues(line, schema) : splitDelimited(line, delimiter, schema.quote);
        if (values.size() != defs.Count())
            throw EDatabaseError(QStringLiteral("Таблица \"%1\", строка %2: значений %3, а полей в заголовке %4")
                                     .arg(path).arg(n + 1).arg(values.size()).arg(defs.Count()));
        std::vector<MemoryValue> row;
        row.reserve(static_cast<size_t>(values.size()));
        for (int i = 0; i < values.size(); ++i) {
            row.push_back(typedValue(values.at(i), defs[i], format, path, n + 1));
            widths[static_cast<size_t>(i)] = std::max(widths[static_cast<size_t>(i)], static_cast<int>(values.at(i).size()));
        }
        rows.push_back(std::move(row));
    }
    if (!schema.present)
        for (int i = 0; i < defs.Count(); ++i)
            defs[i].Size = widths[static_cast<size_t>(i)];

    auto data = std::make_shared<MemoryTableData>();
    data->defs = std::move(defs);
    data->rows = std::move(rows);
    return data;
}

// What decodes a text table besides its own bytes: the formats of its numbers and dates, and its
// schema file.
QString decodingVariant(const QString& path, const FormatSettings& format)
{
    const QFileInfo schema(schemaPath(path));
    return QStringList{format.shortDateFormat, format.dateSeparator, format.decimalSeparator,
        format.thousandSeparator, format.timeSeparator, QString::number(schema.exists() ? schema.size() : -1),
        schema.exists() ? schema.lastModified().toString(Qt::ISODateWithMs) : QString()}
        .join(u'\x1f');
}

} // namespace

std::unique_ptr<RecordSource> openTextTable(const QString& path, const FormatSettings& format)
{
    const auto records = readTableFileRecords(
        path, [&] { return decodingVariant(path, format); }, [&] { return readTextRecords(path, format); });
    return std::make_unique<MemoryTable>(path, records);
}

} // namespace verola
