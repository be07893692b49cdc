#include "core/db/dbfdriver.h"

#include "core/db/internal/codepage.h"
#include "core/db/dberrors.h"
#include "core/db/filecache.h"
#include "core/platform/conversions.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <shapefil.h>

namespace verola {

namespace {

// --- shapelib file hooks over the file read into memory.

// The whole file read at open: reading a record is a copy, not a system call, and a file cut
// short by another program while it is open cannot bring the process down as a mapping would.
struct InMemoryFile {
    QByteArray bytes;
    const char* data = nullptr;
    qint64 size = 0;
    qint64 pos = 0;
};

thread_local QString lastShapelibError;

InMemoryFile* inMemory(SAFile file)
{
    return reinterpret_cast<InMemoryFile*>(file);
}

SAFile memoryOpen(const char* name, const char* access)
{
    if (std::strchr(access, 'w') || std::strchr(access, '+') || std::strchr(access, 'a'))
        return nullptr;
    QByteArray bytes;
    if (!readTableFileBytes(QFile::decodeName(name), bytes))
        return nullptr;
    auto* m = new InMemoryFile;
    m->bytes = bytes;
    m->data = m->bytes.constData();
    m->size = m->bytes.size();
    return reinterpret_cast<SAFile>(m);
}

SAOffset memoryRead(void* p, SAOffset size, SAOffset count, SAFile file)
{
    InMemoryFile* m = inMemory(file);
    if (size == 0 || m->pos >= m->size)
        return 0;
    // Like fread: a partial last item is copied too, but not counted.
    const SAOffset available = static_cast<SAOffset>(m->size - m->pos);
    const SAOffset bytes = count * size < available ? count * size : available;
    std::memcpy(p, m->data + m->pos, bytes);
    m->pos += static_cast<qint64>(bytes);
    return bytes / size;
}

SAOffset memoryWrite(void*, SAOffset, SAOffset, SAFile)
{
    return 0;
}

SAOffset memorySeek(SAFile file, SAOffset offset, int whence)
{
    InMemoryFile* m = inMemory(file);
    const qint64 delta = static_cast<qint64>(static_cast<long>(offset));
    qint64 target = whence == SEEK_SET ? static_cast<qint64>(offset) : whence == SEEK_CUR ? m->pos + delta : m->size + delta;
    if (target < 0)
        return static_cast<SAOffset>(-1);
    m->pos = target;
    return 0;
}

SAOffset memoryTell(SAFile file)
{
    return static_cast<SAOffset>(inMemory(file)->pos);
}

int memoryFlush(SAFile)
{
    return 0;
}

int memoryClose(SAFile file)
{
    delete inMemory(file);
    return 0;
}

void rememberError(const char* message)
{
    lastShapelibError = QString::fromLocal8Bit(message).trimmed();
}

SAHooks readingHooks()
{
    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.FOpen = memoryOpen;
    hooks.FRead = memoryRead;
    hooks.FWrite = memoryWrite;
    hooks.FSeek = memorySeek;
    hooks.FTell = memoryTell;
    hooks.FFlush = memoryFlush;
    hooks.FClose = memoryClose;
    hooks.Error = rememberError;
    return hooks;
}

SAHooks writingHooks()
{
    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.Error = rememberError;
    return hooks;
}

[[noreturn]] void damaged(const QString& path, const QString& what)
{
    throw EDatabaseError(QStringLiteral("Файл таблицы \"%1\" повреждён: %2").arg(path, what));
}

// Trims blanks (and the zero bytes some writers pad with) from both ends.
void trimField(const char*& text, int& length)
{
    while (length > 0 && (text[0] == ' ' || text[0] == '\0'))
        ++text, --length;
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\0'))
        --length;
}

bool parseNumber(const char* text, int length, double& value)
{
    trimField(text, length);
    if (length == 0)
        return false;
    if (text[0] == '+')
        ++text, --length;
    const auto result = std::from_chars(text, text + length, value);
    return result.ec == std::errc() && result.ptr == text + length;
}

// The display text of a stored number without converting it twice: "12.50" gives "12,5".
bool plainNumberText(const char* text, int length, QChar decimalSeparator, QString& out)
{
    trimField(text, length);
    if (length == 0 || length > 24)
        return false;
    char buffer[32];
    int n = 0;
    int i = 0;
    if (text[0] == '-')
        buffer[n++] = '-', ++i;
    if (i >= length || text[i] < '1' || text[i] > '9') {
        // Leading zero only as "0" or "0.xxx".
        if (!(i < length && text[i] == '0' && (i + 1 == length || text[i + 1] == '.')))
            return false;
    }
    int digits = 0;
    int dot = -1;
    for (; i < length; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            ++digits;
            buffer[n++] = c;
        } else if (c == '.' && dot < 0) {
            dot = n;
            buffer[n++] = '.';
        } else {
            return false;
        }
    }
    if (digits > 15 || digits == 0)
        return false;
    if (dot >= 0) {
        while (n > dot + 1 && buffer[n - 1] == '0')
            --n;
        if (n == dot + 1)
            --n;
        if (dot == n - 1)
            return false;
    }
    if (n == 2 && buffer[0] == '-' && buffer[1] == '0')
        n = 0, buffer[n++] = '0';
    if (n > 1 && buffer[0] == '-' && buffer[1] == '0' && dot < 0)
        return false;
    out = QString(n, Qt::Uninitialized);
    char16_t* chars = reinterpret_cast<char16_t*>(out.data());
    for (int k = 0; k < n; ++k)
        chars[k] = buffer[k] == '.' ? decimalSeparator.unicode() : static_cast<char16_t>(buffer[k]);
    if (n > 2 && buffer[0] == '-' && out.at(1) == u'0' && out.size() >= 2) {
        // "-0.000" trimmed to "-0": zero has no sign.
        bool allZero = true;
        for (int k = 1; k < n; ++k)
            if (buffer[k] != '0' && buffer[k] != '.')
                allZero = false;
        if (allZero)
            out = QStringLiteral("0");
    }
    return true;
}

TFieldType fieldTypeOf(char type, int width, int decimals)
{
    switch (type) {
    case 'C': return TFieldType::ftString;
    case 'N': return decimals == 0 && width < 10 ? TFieldType::ftInteger : TFieldType::ftFloat;
    case 'F': return TFieldType::ftFloat;
    case 'D': return TFieldType::ftDate;
    case 'L': return TFieldType::ftBoolean;
    default: return TFieldType::ftMemo;
    }
}

} // namespace

bool dbfDateToDayNumber(const char* text, int length, double& dayNumber)
{
    trimField(text, length);
    if (length != 8)
        return false;
    int parts[3] = {0, 0, 0};
    const int widths[3] = {4, 2, 2};
    int pos = 0;
    for (int p = 0; p < 3; ++p) {
        for (int k = 0; k < widths[p]; ++k, ++pos) {
            if (text[pos] < '0' || text[pos] > '9')
                return false;
            parts[p] = parts[p] * 10 + (text[pos] - '0');
        }
    }
    return tryEncodeDate(parts[0], parts[1], parts[2], dayNumber);
}

QString formatShortDate(int year, int month, int day, const FormatSettings& format)
{
    const QString& pattern = format.shortDateFormat;
    QString out;
    out.reserve(pattern.size() + 2);
    auto two = [&out](int value) {
        out += QChar(u'0' + value / 10 % 10);
        out += QChar(u'0' + value % 10);
    };
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern.at(i + run) == c)
            ++run;
        if (c == u'd' && run <= 2) {
            if (run == 2 || day >= 10)
                two(day);
            else
                out += QChar(u'0' + day);
        } else if (c == u'M' && run <= 2) {
            if (run == 2 || month >= 10)
                two(month);
            else
                out += QChar(u'0' + month);
        } else if (c == u'y' && (run == 2 || run == 4)) {
            if (run == 2)
                two(year % 100);
            else
                out += QString::number(year).rightJustified(4, u'0');
        } else if (c.isLetter() || c == u'\'') {
            return QDate(year, month, day).toString(pattern);
        } else {
            out += QString(run, c);
        }
        i += run;
    }
    return out;
}

struct DbfTable::Impl {
    QString path;
    DBFHandle handle = nullptr;
    TFieldDefs defs;
    std::vector<char> types;
    std::vector<int> offsets;
    std::vector<int> widths;
    std::vector<int> live; // record numbers of the records not marked deleted
    bool allLive = true;
    int fileRecords = 0;
    const char* record = nullptr;
    // The first record in the file read into memory; null when the file is open for writing.
    const char* records = nullptr;
    TextDecoder decoder;

    // The last date field read: a reader asks a date whether it is blank, then for its value.
    // Kept for records read where they lie, which their address names.
    mutable const char* dateRecord = nullptr;
    mutable int dateField = -1;
    mutable bool dateValid = false;
    mutable double dateValue = 0;

    const char* fieldText(int field, int& length) const
    {
        length = widths[static_cast<size_t>(field)];
        return record + offsets[static_cast<size_t>(field)];
    }

    bool date(int field, double& value) const
    {
        if (!records || record != dateRecord || field != dateField) {
            int length = 0;
            const char* text = fieldText(field, length);
            dateValid = dbfDateToDayNumber(text, length, dateValue);
            dateRecord = records ? record : nullptr;
            dateField = field;
        }
        value = dateValue;
        return dateValid;
    }
};

DbfTable::DbfTable(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

DbfTable::~DbfTable()
{
    if (d->handle)
        DBFClose(d->handle);
}

std::unique_ptr<DbfTable> DbfTable::open(const QString& path, bool forWriting)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw EDatabaseError(QStringLiteral("Таблица \"%1\" не найдена").arg(path));
    refuseIrregularTable(path);
    if (!info.isFile() || !info.isReadable())
        throw EDatabaseError(QStringLiteral("Таблицу \"%1\" не удаётся прочитать").arg(path));
    lastShapelibError.clear();
    SAHooks hooks = forWriting ? writingHooks() : readingHooks();
    const QByteArray encoded = QFile::encodeName(path);
    DBFHandle handle = DBFOpenLL(encoded.constData(), forWriting ? "rb+" : "rb", &hooks);
    if (!handle)
        damaged(path, lastShapelibError.isEmpty() ? QStringLiteral("это не таблица dBase")
                                                  : QStringLiteral("это не таблица dBase (%1)").arg(lastShapelibError));

    auto impl = std::make_unique<Impl>();
    impl->path = path;
    impl->handle = handle;
    auto table = std::unique_ptr<DbfTable>(new DbfTable(std::move(impl)));
    Impl& t = *table->d;

    if (handle->nRecords < 0 || handle->nRecordLength <= 0 || handle->nHeaderLength < 32)
        damaged(path, QStringLiteral("испорчен заголовок"));
    const qint64 needed = static_cast<qint64>(handle->nHeaderLength)
        + static_cast<qint64>(handle->nRecords) * handle->nRecordLength;
    if (info.size() < needed) {
        const qint64 held = (info.size() - handle->nHeaderLength) / handle->nRecordLength;
        damaged(path, QStringLiteral("записей по заголовку %1, а в файле %2")
                          .arg(handle->nRecords)
                          .arg(held < 0 ? 0 : held));
    }
    t.fileRecords = handle->nRecords;
    t.decoder = TextDecoder(codecForDbfCodePage(QString::fromLatin1(DBFGetCodePage(handle))));

    const int fieldCount = DBFGetFieldCount(handle);
    for (int i = 0; i < fieldCount; ++i) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {0};
        int width = 0;
        int decimals = 0;
        DBFGetFieldInfo(handle, i, name, &width, &decimals);
        const int offset = handle->panFieldOffset[i];
        if (width <= 0 || offset < 1 || offset + width > handle->nRecordLength)
            damaged(path, QStringLiteral("поле %1 выходит за пределы записи").arg(i + 1));
        const char type = DBFGetNativeFieldType(handle, i);
        TFieldDef def;
        def.Name = t.decoder.decode(name, static_cast<int>(std::strlen(name))).trimmed();
        if (def.Name.isEmpty())
            damaged(path, QStringLiteral("у поля %1 нет имени").arg(i + 1));
        def.DataType = fieldTypeOf(type, width, decimals);
        def.Size = def.DataType == TFieldType::ftString ? width : decimals;
        def.Precision = width;
        t.defs.append(def);
        t.types.push_back(type);
        t.offsets.push_back(offset);
        t.widths.push_back(width);
    }

    // Records marked deleted are not shown.
    if (!forWriting)
        t.records = inMemory(handle->fp)->data + handle->nHeaderLength;
    if (!forWriting && t.fileRecords > 0) {
        const char* base = t.records;
        for (int r = 0; r < t.fileRecords; ++r) {
            if (base[static_cast<qint64>(r) * handle->nRecordLength] == '*') {
                t.allLive = false;
                break;
            }
        }
        if (!t.allLive)
            for (int r = 0; r < t.fileRecords; ++r)
                if (base[static_cast<qint64>(r) * handle->nRecordLength] != '*')
                    t.live.push_back(r);
    }
    return table;
}

void DbfTable::create(const QString& path, const TFieldDefs& fields)
{
    if (fields.Count() == 0)
        throw EDatabaseError(QStringLiteral("Таблицу \"%1\" нельзя создать без полей").arg(path));
    lastShapelibError.clear();
    SAHooks hooks = writingHooks();
    const QByteArray encoded = QFile::encodeName(path);
    DBFHandle handle = DBFCreateLL(encoded.constData(), "LDID/201", &hooks);
    if (!handle)
        throw EDatabaseError(QStringLiteral("Не удалось создать таблицу \"%1\": %2").arg(path, lastShapelibError));
    const TextDecoder encoder;
    for (const TFieldDef& def : fields.list()) {
        const QByteArray name = encoder.encode(def.Name).left(XBASE_FLDNAME_LEN_WRITE);
        char type = 'C';
        int width = def.Size;
        int decimals = 0;
        switch (def.DataType) {
        case TFieldType::ftString: type = 'C'; width = def.Size > 0 ? def.Size : 20; break;
        case TFieldType::ftInteger: type = 'N'; width = def.Precision > 0 ? def.Precision : 11; break;
        case TFieldType::ftFloat:
        case TFieldType::ftBCD:
            type = 'N';
            decimals = def.Size;
            width = def.Precision > 0 ? def.Precision : std::min(decimals + 10, 32);
            break;
        case TFieldType::ftDate: type = 'D'; width = 8; break;
        case TFieldType::ftBoolean: type = 'L'; width = 1; break;
        case TFieldType::ftMemo:
            DBFClose(handle);
            QFile::remove(path);
            throw EDatabaseError(QStringLiteral("Поле примечаний %1 нельзя создать в \"%2\"").arg(def.Name, path));
        }
        if (DBFAddNativeFieldType(handle, name.constData(), type, width, decimals) < 0) {
            DBFClose(handle);
            QFile::remove(path);
            throw EDatabaseError(QStringLiteral("Не удалось создать поле %1 в \"%2\"").arg(def.Name, path));
        }
    }
    DBFClose(handle);
}

QString DbfTable::origin() const
{
    return d->path;
}

const TFieldDefs& DbfTable::fieldDefs() const
{
    return d->defs;
}

int DbfTable::recordCount() const
{
    return d->allLive ? d->fileRecords : static_cast<int>(d->live.size());
}

void DbfTable::readRecord(int record)
{
    if (record < 0 || record >= recordCount())
        throw EDatabaseError(QStringLiteral("Записи %1 нет в таблице \"%2\"").arg(record + 1).arg(d->path));
    const int fileRecord = d->allLive ? record : d->live[static_cast<size_t>(record)];
    // A record of a file in memory is read where it lies.
    d->record = d->records ? d->records + static_cast<qint64>(fileRecord) * d->handle->nRecordLength
                           : DBFReadTuple(d->handle, fileRecord);
    if (!d->record)
        throw EDatabaseError(QStringLiteral("Запись %1 таблицы \"%2\" не читается").arg(fileRecord + 1).arg(d->path));
}

void DbfTable::prefetch(int record) const
{
    if (!d->records || record < 0 || record >= recordCount())
        return;
    const int fileRecord = d->allLive ? record : d->live[static_cast<size_t>(record)];
    const char* bytes = d->records + static_cast<qint64>(fileRecord) * d->handle->nRecordLength;
    __builtin_prefetch(bytes);
    __builtin_prefetch(bytes + d->handle->nRecordLength - 1);
}

bool DbfTable::isNull(int field) const
{
    int length = 0;
    const char* text = d->fieldText(field, length);
    double value = 0;
    switch (d->types[static_cast<size_t>(field)]) {
    case 'C':
        trimField(text, length);
        return length == 0;
    case 'N':
    case 'F':
        return !parseNumber(text, length, value);
    case 'D':
        return !d->date(field, value);
    case 'L':
        return !(std::strchr("TtYyFfNn", text[0]) && text[0] != '\0');
    default:
        return true;
    }
}

double DbfTable::number(int field) const
{
    int length = 0;
    const char* text = d->fieldText(field, length);
    double value = 0;
    switch (d->types[static_cast<size_t>(field)]) {
    case 'N':
    case 'F':
    case 'C':
        return parseNumber(text, length, value) ? value : 0.0;
    case 'D':
        return d->date(field, value) ? value : 0.0;
    case 'L':
        return text[0] != '\0' && std::strchr("TtYy", text[0]) ? 1.0 : 0.0;
    default:
        return 0.0;
    }
}

QString DbfTable::text(int field) const
{
    const char type = d->types[static_cast<size_t>(field)];
    if (type != 'C' && type != 'N' && type != 'F' && type != 'D' && type != 'L')
        return QString();
    int length = 0;
    const char* text = d->fieldText(field, length);
    if (type == 'C') {
        while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\0'))
            --length;
    } else {
        trimField(text, length);
    }
    return d->decoder.decode(text, length);
}

QString DbfTable::displayText(int field, const FormatSettings& format) const
{
    const char type = d->types[static_cast<size_t>(field)];
    int length = 0;
    const char* raw = d->fieldText(field, length);
    if (type == 'C')
        return text(field);
    if (type == 'N' || type == 'F') {
        QString out;
        if (plainNumberText(raw, length, format.decimalSeparator, out))
            return out;
        double value = 0;
        return parseNumber(raw, length, value) ? floatToStr(value, format) : QString();
    }
    if (type == 'D') {
        double dayNumber = 0;
        if (!dbfDateToDayNumber(raw, length, dayNumber))
            return QString();
        trimField(raw, length);
        const auto digits = [raw](int from, int count) {
            int v = 0;
            for (int k = 0; k < count; ++k)
                v = v * 10 + (raw[from + k] - '0');
            return v;
        };
        return formatShortDate(digits(0, 4), digits(4, 2), digits(6, 2), format);
    }
    return RecordSource::displayText(field, format);
}

void DbfTable::utf8Text(int field, std::string& out) const
{
    if (d->types[static_cast<size_t>(field)] != 'C') {
        RecordSource::utf8Text(field, out);
        return;
    }
    int length = 0;
    const char* text = d->fieldText(field, length);
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\0'))
        --length;
    d->decoder.toUtf8(text, length, out);
}

void DbfTable::appendRecord(const QStringList& texts, const std::vector<bool>& given, const FormatSettings& format)
{
    const int record = DBFGetRecordCount(d->handle);
    const int fieldCount = d->defs.Count();
    for (int f = 0; f < fieldCount; ++f) {
        const bool has = f < static_cast<int>(given.size()) && given[static_cast<size_t>(f)];
        const QString value = has ? texts.at(f) : QString();
        int ok = 1;
        const char type = d->types[static_cast<size_t>(f)];
        if (value.isEmpty()) {
            ok = DBFWriteNULLAttribute(d->handle, record, f);
        } else if (type == 'N' || type == 'F') {
            ok = DBFWriteDoubleAttribute(d->handle, record, f, strToFloat(value.trimmed(), format));
        } else if (type == 'D') {
            int y = 0, m = 0, dd = 0;
            decodeDate(strToDate(value.trimmed(), format), y, m, dd);
            const QByteArray text = QStringLiteral("%1%2%3")
                                        .arg(y, 4, 10, QChar(u'0'))
                                        .arg(m, 2, 10, QChar(u'0'))
                                        .arg(dd, 2, 10, QChar(u'0'))
                                        .toLatin1();
            ok = DBFWriteAttributeDirectly(d->handle, record, f, const_cast<char*>(text.constData()));
        } else if (type == 'L') {
            const QChar c = value.trimmed().isEmpty() ? u'?' : value.trimmed().at(0).toUpper();
            ok = DBFWriteLogicalAttribute(d->handle, record, f, c == u'T' || c == u'Y' ? 'T' : 'F');
        } else {
            const QByteArray bytes = d->decoder.encode(value);
            // Texts longer than the field are cut to it, as dBase does.
            DBFWriteStringAttribute(d->handle, record, f, bytes.constData());
        }
        if (!ok)
            throw EDatabaseError(QStringLiteral("Значение \"%1\" не помещается в поле %2 таблицы \"%3\"")
                                     .arg(value, d->defs[f].Name, d->path));
    }
    d->fileRecords = DBFGetRecordCount(d->handle);
    d->record = nullptr;
}

} // namespace verola
