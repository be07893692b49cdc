#include "core/db/paradoxdriver.h"

#include "core/db/internal/codepage.h"
#include "core/db/dberrors.h"
#include "core/db/filecache.h"
#include "core/db/memorytable.h"

#include <QFile>
#include <QFileInfo>
extern "C" {
#include <paradox.h>
}
#include <vector>

namespace verola {

namespace {

// Paradox counts days from 1 January of year 1; day numbers from 30 December 1899.
constexpr double kParadoxDayShift = 693594.0;

constexpr int kBcdBytes = 17;
constexpr int kBcdMaxDecimals = 32;

thread_local QString lastPxlibError;

void rememberPxError(pxdoc_t*, int, const char* message, void*)
{
    lastPxlibError = QString::fromLocal8Bit(message).trimmed();
}

struct PxDocument {
    pxdoc_t* doc = nullptr;
    ~PxDocument()
    {
        if (doc) {
            PX_close(doc);
            PX_delete(doc);
        }
    }
};

[[noreturn]] void damaged(const QString& path, const QString& what)
{
    throw EDatabaseError(QStringLiteral("Файл таблицы \"%1\" повреждён: %2").arg(path, what));
}

int le16(const QByteArray& bytes, int at)
{
    return static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
}

qint64 le32(const QByteArray& bytes, int at)
{
    return static_cast<qint64>(static_cast<quint32>(le16(bytes, at)) | (static_cast<quint32>(le16(bytes, at + 2)) << 16));
}

struct ParadoxLayout {
    int recordSize = 0;
    int headerSize = 0;
    int fieldCount = 0;
    int version = 0;
    qint64 records = 0;
    int fileBlocks = 0;
    int firstBlock = 0;
    qint64 blockSize = 0;
};

ParadoxLayout readLayout(const QString& path, const QByteArray& head)
{
    if (head.size() < 0x58 || (static_cast<unsigned char>(head[0x39]) >= 5 && head.size() < 0x78))
        damaged(path, QStringLiteral("заголовок обрезан"));
    ParadoxLayout layout;
    layout.recordSize = le16(head, 0x00);
    layout.headerSize = le16(head, 0x02);
    layout.records = le32(head, 0x06);
    layout.fileBlocks = le16(head, 0x0C);
    layout.firstBlock = le16(head, 0x0E);
    layout.fieldCount = le16(head, 0x21);
    layout.version = static_cast<unsigned char>(head[0x39]);
    const int fileType = static_cast<unsigned char>(head[0x04]);
    const int maxTableSize = static_cast<unsigned char>(head[0x05]);
    if ((fileType != 0 && fileType != 2) || layout.recordSize <= 0 || layout.headerSize < 0x58
        || layout.fieldCount <= 0 || layout.fieldCount > 255)
        damaged(path, QStringLiteral("это не таблица Paradox"));
    if (maxTableSize < 1 || maxTableSize > 32 || (maxTableSize > 4 && maxTableSize % 8 != 0))
        damaged(path, QStringLiteral("неверный размер блока"));
    layout.blockSize = static_cast<qint64>(maxTableSize) * 1024;
    // pxlib reads the second header part of versions 5 to 12 only; for other
    // versions it takes the second password mark from memory it never filled.
    if (layout.version < 3 || layout.version > 12)
        damaged(path, QStringLiteral("неизвестная версия Paradox %1").arg(layout.version));
    // pxlib follows the block chain of an encrypted table without checking it.
    // The mark 0xff00ff00 refers to the second mark, which only the second part holds.
    const bool hasSecondPart = layout.version >= 5;
    const qint64 encryption = le32(head, 0x25);
    const bool firstMarkClear = encryption == 0 || (hasSecondPart && encryption == 0xff00ff00);
    if (!firstMarkClear || (hasSecondPart && le32(head, 0x5c) != 0))
        throw EDatabaseError(QStringLiteral("Таблица \"%1\" защищена паролем").arg(path));
    return layout;
}

// The bytes a field of this type and size byte takes in a record; 0 for a type
// pxlib does not know or a size the type cannot have.
int recordBytesOf(char type, int size)
{
    switch (type) {
    case pxfLogical: return size == 1 ? 1 : 0;
    case pxfShort: return size == 2 ? 2 : 0;
    case pxfDate: case pxfLong: case pxfTime: case pxfAutoInc: return size == 4 ? 4 : 0;
    case pxfCurrency: case pxfNumber: case pxfTimestamp: return size == 8 ? 8 : 0;
    // A BCD field's size byte holds its decimals; it always takes 17 bytes.
    case pxfBCD: return size <= kBcdMaxDecimals ? kBcdBytes : 0;
    case pxfAlpha: case pxfBytes:
    case pxfMemoBLOb: case pxfBLOb: case pxfFmtMemoBLOb: case pxfOLE: case pxfGraphic: return size;
    default: return 0;
    }
}

// Field types and sizes follow the header; they must be known kinds that fill the record.
void checkFields(const QString& path, QFile& file, const ParadoxLayout& layout)
{
    const int fieldInfo = layout.version >= 5 ? 0x78 : 0x58;
    file.seek(fieldInfo);
    const QByteArray types = file.read(2 * layout.fieldCount);
    if (types.size() < 2 * layout.fieldCount || fieldInfo + 2 * layout.fieldCount > layout.headerSize)
        damaged(path, QStringLiteral("список полей обрезан"));
    int fieldBytes = 0;
    for (int i = 0; i < layout.fieldCount; ++i) {
        const int bytes = recordBytesOf(types[2 * i], static_cast<unsigned char>(types[2 * i + 1]));
        if (bytes <= 0)
            damaged(path, QStringLiteral("поле %1 испорчено").arg(i + 1));
        fieldBytes += bytes;
    }
    if (fieldBytes != layout.recordSize)
        damaged(path, QStringLiteral("поля не заполняют запись"));
    if (layout.recordSize >= layout.blockSize)
        damaged(path, QStringLiteral("неверный размер записи"));
}

// pxlib walks the whole chain of data blocks on opening, whatever the record
// count says, and loops for ever on a chain that comes back on itself. Every
// link must name a block inside the file, each block once, and the blocks must
// hold exactly the records the header claims.
void checkBlockChain(const QString& path, QFile& file, const ParadoxLayout& layout)
{
    if (layout.headerSize + layout.fileBlocks * layout.blockSize > file.size())
        damaged(path, QStringLiteral("файл короче, чем сказано в заголовке"));
    constexpr int kBlockHeadBytes = 6;
    const qint64 lastRecordAt = layout.blockSize - kBlockHeadBytes - layout.recordSize;
    qint64 counted = 0;
    int emptyBlock = 0;
    std::vector<bool> visited(static_cast<size_t>(layout.fileBlocks) + 1, false);
    for (int block = layout.firstBlock; block != 0;) {
        if (block > layout.fileBlocks || visited[static_cast<size_t>(block)])
            damaged(path, QStringLiteral("нарушена цепочка блоков данных"));
        visited[static_cast<size_t>(block)] = true;
        file.seek(layout.headerSize + (block - 1) * layout.blockSize);
        const QByteArray blockHead = file.read(kBlockHeadBytes);
        if (blockHead.size() < kBlockHeadBytes)
            damaged(path, QStringLiteral("файл обрезан"));
        // The offset of the block's last record; negative in an empty block.
        const int added = static_cast<qint16>(le16(blockHead, 4));
        if (added > lastRecordAt)
            damaged(path, QStringLiteral("в блоке данных %1 указано больше записей, чем в нём есть").arg(block));
        if (added < 0) {
            emptyBlock = emptyBlock ? emptyBlock : block;
        } else {
            // pxlib counts an empty block as full of records and would read the
            // records after it from the wrong place.
            if (emptyBlock)
                throw EDatabaseError(QStringLiteral("Таблицу \"%1\" не удаётся прочитать: пустой блок данных %2 "
                                                    "стоит перед блоками с записями")
                                         .arg(path)
                                         .arg(emptyBlock));
            counted += added / layout.recordSize + 1;
        }
        block = le16(blockHead, 0);
    }
    if (counted != layout.records)
        damaged(path, QStringLiteral("записей по заголовку %1, а в файле %2").arg(layout.records).arg(counted));
}

// pxlib trusts the header, the field list and the chain of data blocks; they are
// checked here before it reads the file.
void checkStructure(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Таблицу \"%1\" не удаётся прочитать: %2").arg(path, file.errorString()));
    const ParadoxLayout layout = readLayout(path, file.read(0x78));
    checkFields(path, file, layout);
    checkBlockChain(path, file, layout);
}

bool allZero(const char* data, int length)
{
    for (int i = 0; i < length; ++i)
        if (data[i] != 0)
            return false;
    return true;
}

QString codecForDosCodePage(int codePage)
{
    switch (codePage) {
    case 866: return QStringLiteral("IBM866");
    case 437: return QStringLiteral("IBM437");
    case 850: return QStringLiteral("IBM850");
    case 1250: case 1252: case 1253: case 1254: return QStringLiteral("windows-%1").arg(codePage);
    default: return QStringLiteral("windows-1251");
    }
}

TFieldType fieldTypeOf(char type)
{
    switch (type) {
    case pxfAlpha: return TFieldType::ftString;
    case pxfDate: case pxfTimestamp: return TFieldType::ftDate;
    case pxfShort: case pxfLong: case pxfAutoInc: return TFieldType::ftInteger;
    case pxfCurrency: case pxfNumber: case pxfBCD: case pxfTime: return TFieldType::ftFloat;
    case pxfLogical: return TFieldType::ftBoolean;
    default: return TFieldType::ftMemo;
    }
}

void readBcd(pxdoc_t* doc, const pxfield_t& field, char* data, MemoryValue& value)
{
    // pxlib leaks its buffer when the value's decimals differ from the field's;
    // such a value reads as blank without asking pxlib.
    if ((data[0] & 0x3f) != field.px_fdc)
        return;
    char* text = nullptr;
    if (PX_get_data_bcd(doc, reinterpret_cast<unsigned char*>(data), field.px_fdc, &text) > 0 && text) {
        bool ok = false;
        // pxlib writes the C library's decimal point, a comma under some locales.
        const double number = QString::fromLatin1(text).trimmed().replace(u',', u'.').toDouble(&ok);
        if (ok) {
            value.kind = MemoryValue::Number;
            value.number = number;
        }
    }
    if (text)
        doc->free(doc, text);
}

MemoryValue readValue(pxdoc_t* doc, const pxfield_t& field, char* data, const TextDecoder& decoder)
{
    MemoryValue value;
    // All zero bytes is Paradox's blank; pxlib looks past the field to decide it.
    if (field.px_ftype != pxfAlpha && allZero(data, field.px_flen))
        return value;
    switch (field.px_ftype) {
    case pxfAlpha: {
        int length = 0;
        while (length < field.px_flen && data[length] != '\0')
            ++length;
        while (length > 0 && data[length - 1] == ' ')
            --length;
        value.kind = MemoryValue::Text;
        value.text = decoder.decode(data, length);
        break;
    }
    case pxfDate: {
        long days = 0;
        if (PX_get_data_long(doc, data, field.px_flen, &days) > 0) {
            value.kind = MemoryValue::Number;
            value.number = static_cast<double>(days) - kParadoxDayShift;
        }
        break;
    }
    case pxfTimestamp: {
        double ms = 0;
        if (PX_get_data_double(doc, data, field.px_flen, &ms) > 0) {
            value.kind = MemoryValue::Number;
            value.number = ms / 86400000.0 - kParadoxDayShift;
        }
        break;
    }
    case pxfTime: {
        long ms = 0;
        if (PX_get_data_long(doc, data, field.px_flen, &ms) > 0) {
            value.kind = MemoryValue::Number;
            value.number = static_cast<double>(ms) / 86400000.0;
        }
        break;
    }
    case pxfShort: {
        short number = 0;
        if (PX_get_data_short(doc, data, field.px_flen, &number) > 0) {
            value.kind = MemoryValue::Number;
            value.number = number;
        }
        break;
    }
    case pxfLong:
    case pxfAutoInc: {
        long number = 0;
        if (PX_get_data_long(doc, data, field.px_flen, &number) > 0) {
            value.kind = MemoryValue::Number;
            value.number = static_cast<double>(number);
        }
        break;
    }
    case pxfCurrency:
    case pxfNumber: {
        double number = 0;
        if (PX_get_data_double(doc, data, field.px_flen, &number) > 0) {
            value.kind = MemoryValue::Number;
            value.number = number;
        }
        break;
    }
    case pxfLogical: {
        char flag = 0;
        if (PX_get_data_byte(doc, data, field.px_flen, &flag) > 0) {
            value.kind = MemoryValue::Number;
            value.number = flag ? 1.0 : 0.0;
        }
        break;
    }
    case pxfBCD:
        readBcd(doc, field, data, value);
        break;
    default:
        break; // memos and binary data read as empty text
    }
    return value;
}

std::shared_ptr<const MemoryTableData> readParadoxRecords(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw EDatabaseError(QStringLiteral("Таблица \"%1\" не найдена").arg(path));
    refuseIrregularTable(path);
    if (!info.isFile() || !info.isReadable())
        throw EDatabaseError(QStringLiteral("Таблицу \"%1\" не удаётся прочитать").arg(path));
    checkStructure(path);
    lastPxlibError.clear();
    PxDocument px;
    px.doc = PX_new3(rememberPxError, nullptr, nullptr, nullptr, nullptr);
    if (!px.doc)
        throw EDatabaseError(QStringLiteral("Таблицу \"%1\" не удаётся прочитать: недостаточно памяти").arg(path));
    if (PX_open_file(px.doc, QFile::encodeName(path).constData()) < 0) {
        px.doc = (PX_delete(px.doc), nullptr);
        damaged(path, lastPxlibError.isEmpty() ? QStringLiteral("это не таблица Paradox")
                                               : QStringLiteral("это не таблица Paradox (%1)").arg(lastPxlibError));
    }
    const pxhead_t* head = px.doc->px_head;
    if (!head || head->px_numfields <= 0 || head->px_recordsize <= 0)
        damaged(path, QStringLiteral("испорчен заголовок"));
    if (head->px_numrecords < 0 || head->px_numrecords > head->px_theonumrecords)
        damaged(path, QStringLiteral("записей по заголовку %1, а в файле %2")
                          .arg(head->px_numrecords)
                          .arg(head->px_theonumrecords));
    const qint64 blockBytes = static_cast<qint64>(head->px_maxtablesize) * 1024;
    if (static_cast<qint64>(head->px_headersize) + static_cast<qint64>(head->px_fileblocks) * blockBytes > info.size())
        damaged(path, QStringLiteral("файл короче, чем сказано в заголовке"));

    const TextDecoder decoder(codecForDosCodePage(head->px_doscodepage));
    auto data = std::make_shared<MemoryTableData>();
    TFieldDefs& defs = data->defs;
    std::vector<pxfield_t> fields;
    int recordSize = 0;
    for (int i = 0; i < head->px_numfields; ++i) {
        const pxfield_t* field = PX_get_field(px.doc, i);
        if (!field || !field->px_fname || field->px_flen <= 0)
            damaged(path, QStringLiteral("поле %1 испорчено").arg(i + 1));
        fields.push_back(*field);
        recordSize += field->px_flen;
        TFieldDef def;
        def.Name = decoder.decode(field->px_fname, static_cast<int>(qstrlen(field->px_fname)));
        def.DataType = fieldTypeOf(field->px_ftype);
        def.Size = def.DataType == TFieldType::ftString ? field->px_flen : 0;
        def.Precision = field->px_flen;
        defs.append(def);
    }
    if (recordSize > head->px_recordsize)
        damaged(path, QStringLiteral("поля не помещаются в запись"));

    data->rows.reserve(static_cast<size_t>(head->px_numrecords));
    std::vector<char> buffer(static_cast<size_t>(head->px_recordsize) + 16, 0);
    for (int r = 0; r < head->px_numrecords; ++r) {
        if (!PX_get_record(px.doc, r, buffer.data()))
            damaged(path, QStringLiteral("запись %1 не читается").arg(r + 1));
        std::vector<MemoryValue> row;
        row.reserve(fields.size());
        int offset = 0;
        for (const pxfield_t& field : fields) {
            row.push_back(readValue(px.doc, field, buffer.data() + offset, decoder));
            offset += field.px_flen;
        }
        data->rows.push_back(std::move(row));
    }
    return data;
}

} // namespace

std::unique_ptr<RecordSource> openParadoxTable(const QString& path)
{
    const auto records = readTableFileRecords(path, [] { return QString(); }, [&path] { return readParadoxRecords(path); });
    return std::make_unique<MemoryTable>(path, records);
}

} // namespace verola
