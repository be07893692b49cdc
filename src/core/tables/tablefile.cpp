#include "core/tables/tablefile.h"

#include "core/platform/atomicfile.h"
#include "core/platform/conversions.h"
#include "core/platform/errors.h"
#include "core/platform/feedback.h"
#include "core/platform/regularfile.h"
#include "core/platform/systemerrors.h"
#include "core/platform/textfile.h"
#include "core/tables/lineutils.h"
#include "core/tables/ttab.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QSysInfo>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <shapefil.h>
#include <vector>

namespace verola {

namespace {

constexpr bool kHostIsLittleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;

template <typename T>
void swapToLittleEndian(T* values, std::int64_t count)
{
    if constexpr (!kHostIsLittleEndian) {
        for (std::int64_t i = 0; i < count; ++i)
            values[i] = qFromLittleEndian(values[i]);
    }
}

[[noreturn]] void fileFailed(const QString& what, const QString& fileName, const QString& reason)
{
    throw EInOutError(QStringLiteral("%1 «%2»: %3").arg(what, fileName, reason));
}

[[noreturn]] void fileTooShort(const QString& fileName, std::int64_t read, std::int64_t total)
{
    throw EInOutError(QStringLiteral("Файл таблицы «%1» короче таблицы (ячеек прочитано: %2 из %3)")
                          .arg(fileName)
                          .arg(read)
                          .arg(total));
}

void readSinglePrecision(TTab& table, QFile& file, const QString& path)
{
    const std::int64_t total = table.FCellCount;
    for (std::int64_t offset = 0; offset < total;) {
        std::int64_t length = 0;
        float* run = table.cellRun(offset, length);
        const qint64 wanted = length * 4;
        const qint64 got = file.read(reinterpret_cast<char*>(run), wanted);
        const std::int64_t whole = std::max<qint64>(got, 0) / 4;
        swapToLittleEndian(run, whole);
        if (got != wanted) {
            table.fillMissingFrom(offset + whole);
            fileTooShort(path, offset + whole, total);
        }
        offset += length;
    }
}

void readDoublePrecision(TTab& table, QFile& file, const QString& path)
{
    const std::int64_t total = table.FCellCount;
    std::vector<double> buffer(kPageCells);
    for (std::int64_t offset = 0; offset < total;) {
        const std::int64_t count = std::min<std::int64_t>(kPageCells, total - offset);
        const qint64 wanted = count * 8;
        const qint64 got = file.read(reinterpret_cast<char*>(buffer.data()), wanted);
        const std::int64_t whole = std::max<qint64>(got, 0) / 8;
        swapToLittleEndian(buffer.data(), whole);
        for (std::int64_t i = 0; i < whole; ++i)
            table.setCellAt(offset + i, static_cast<float>(buffer[static_cast<size_t>(i)]));
        if (got != wanted) {
            table.fillMissingFrom(offset + whole);
            fileTooShort(path, offset + whole, total);
        }
        offset += count;
    }
}

} // namespace

void SaveToFile(TTab& table, const QString& fileName)
{
    AtomicFile file(fileName);
    file.open();
    std::vector<float> swapped;
    for (std::int64_t offset = 0; offset < table.FCellCount;) {
        std::int64_t length = 0;
        const float* run = table.cellRun(offset, length);
        if constexpr (!kHostIsLittleEndian) {
            swapped.assign(run, run + length);
            for (float& value : swapped)
                value = qToLittleEndian(value);
            run = swapped.data();
        }
        file.write(reinterpret_cast<const char*>(run), length * 4);
        offset += length;
    }
    file.commit();
}

namespace {

// The file a load reads: the name itself in single precision, else the name followed by "_" in
// double precision; an empty path when neither exists.
struct TableFileSource {
    QString path;
    bool doublePrecision = false;
};

constexpr qint64 kSingleCellBytes = 4;
constexpr qint64 kDoubleCellBytes = 8;

TableFileSource findTableFile(const QString& fileName)
{
    if (QFileInfo::exists(fileName))
        return {fileName, false};
    const QString doublePath = fileName + u'_';
    if (QFileInfo::exists(doublePath))
        return {doublePath, true};
    return {};
}

// A file chosen by name in a dialog: one whose name ends in "_" is the double-precision form.
TableFileSource chosenTableFile(const QString& fileName)
{
    if (fileName.endsWith(u'_') && QFileInfo::exists(fileName))
        return {fileName, true};
    return findTableFile(fileName);
}

// The cells a load gives the table: its position counts, not the cells it had before.
std::int64_t cellsToLoad(const TTab& table)
{
    std::int64_t cells = 1;
    for (int count : table.positionCounts())
        cells *= count;
    return cells;
}

QString sizeProblem(const TTab& table, const TableFileSource& source)
{
    refuseIrregularFile(source.path);
    const std::int64_t cells = cellsToLoad(table);
    const qint64 size = QFileInfo(source.path).size();
    if (size == cells * (source.doublePrecision ? kDoubleCellBytes : kSingleCellBytes))
        return QString();
    return QStringLiteral("Размер файла таблицы «%1» — %2 байт, а таблица из %3 ячеек ждёт %4 байт "
                          "(одинарная точность) или %5 байт (двойная точность, файл с «_» на конце имени)")
        .arg(source.path)
        .arg(size)
        .arg(cells)
        .arg(cells * kSingleCellBytes)
        .arg(cells * kDoubleCellBytes);
}

void readTableFile(TTab& table, const TableFileSource& source)
{
    QFile file;
    openRegularFile(file, source.path, QIODevice::Unbuffered);
    table.DimensionUnfilled(table.positionCounts());
    if (source.doublePrecision)
        readDoublePrecision(table, file, source.path);
    else
        readSinglePrecision(table, file, source.path);
}

} // namespace

bool LoadFromFile(TTab& table, const QString& fileName)
{
    const TableFileSource source = findTableFile(fileName);
    if (source.path.isEmpty())
        return false;
    readTableFile(table, source);
    return true;
}

bool LoadTableFileOfItsSize(TTab& table, const QString& fileName)
{
    const TableFileSource source = chosenTableFile(fileName);
    if (source.path.isEmpty())
        return false;
    if (const QString problem = sizeProblem(table, source); !problem.isEmpty())
        throw EInOutError(problem + QStringLiteral(". Таблица не изменена."));
    readTableFile(table, source);
    return true;
}

QString TableFileSizeProblem(const TTab& table, const QString& fileName)
{
    const TableFileSource source = findTableFile(fileName);
    return source.path.isEmpty() ? QString() : sizeProblem(table, source);
}

QString dbfAxisFieldName(int axis)
{
    return CoordFieldName(axis).left(8) + QStringLiteral("Id");
}

namespace {

// The widest numeric field dBase IV and FoxPro define; with 10 decimals it holds values
// up to 999,999,999.9999999999.
constexpr int kValueFieldWidth = 20;

bool isAsciiLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// A dBase field name: a Latin letter, then Latin letters, digits or "_" (cut to 10 later).
bool isDbaseFieldName(const QString& name)
{
    if (name.isEmpty() || !isAsciiLetter(name.at(0)))
        return false;
    return std::all_of(name.begin(), name.end(),
        [](QChar c) { return isAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'_'; });
}

// The folder must exist and be a folder: it is where the table is created.
void requireDbaseTarget(const QFileInfo& target, const QString& fileName, const QString& valueFieldName)
{
    if (!isDbaseFieldName(valueFieldName))
        fileFailed(QStringLiteral("Не могу создать файл"), fileName,
            QStringLiteral("«%1» не может быть именем поля dBase (латинские буквы, цифры и «_», "
                           "первой — буква)").arg(valueFieldName));
    if (!QFileInfo(target.absolutePath()).isDir())
        fileFailed(QStringLiteral("Не могу создать файл"), fileName, QStringLiteral("такой папки нет"));
}

struct DbfCloser {
    DBFHandle handle;
    ~DbfCloser() { DBFClose(handle); }
};

QString exportedPositionText(TTab& table, int axis, int pos, bool names, int codeAxis, int textWidth,
    const QString& codePrefix)
{
    const QString text = table.PositionText(axis, pos);
    const QString value = (!names && axis == codeAxis) ? codePrefix + u'_' + LastItem(text) : LineName(text);
    return value.left(textWidth);
}

// Advances positions like an odometer, the last axis fastest; false after the last combination.
bool nextCombination(CoordIndex& v, const CoordIndex& counts)
{
    for (int k = kAxisCount - 1; k >= 0; --k) {
        if (++v[k] < counts[k])
            return true;
        v[k] = 0;
    }
    return false;
}

} // namespace

DbfExportResult ExportDbf(TTab& table, const QString& fileName, const QString& valueFieldName, bool names,
    int codeAxis, int valueDecimals, std::int64_t freeSpaceLimit, int textWidth, Feedback* owner,
    const QString& codePrefix)
{
    DbfExportResult result;
    if (fileName.isEmpty() || valueFieldName.isEmpty() || owner == nullptr)
        return result;
    const QFileInfo target(fileName);
    requireDbaseTarget(target, fileName, valueFieldName);
    const QStorageInfo storage(target.absolutePath());
    if (!storage.isValid() || storage.bytesAvailable() < freeSpaceLimit) {
        owner->message(QStringLiteral("Мало места на выбранном диске"));
        return result;
    }
    std::vector<int> exportedAxes;
    for (int k = 0; k < kAxisCount; ++k)
        if (table.FDims[k] > 1)
            exportedAxes.push_back(k);
    if (exportedAxes.empty())
        return result;

    const QByteArray nativePath = QFile::encodeName(target.absoluteFilePath());
    DBFHandle handle = DBFCreateEx(nativePath.constData(), "LDID/201");
    if (handle == nullptr)
        fileFailed(QStringLiteral("Не могу создать файл"), fileName, QStringLiteral("таблица dBase не создана"));
    DbfCloser closer{handle};
    result.created = true;
    for (int axis : exportedAxes)
        DBFAddField(handle, dbfAxisFieldName(axis).toLatin1().constData(), FTString, textWidth, 0);
    const int valueField = DBFAddField(
        handle, valueFieldName.left(10).toLatin1().constData(), FTDouble, kValueFieldWidth, valueDecimals);
    if (valueField < 0)
        fileFailed(QStringLiteral("Не могу создать файл"), fileName, QStringLiteral("поле значения не создано"));

    const int fieldCount = static_cast<int>(exportedAxes.size()) + 1;
    const std::int64_t recordLength = 1 + std::int64_t(textWidth) * (fieldCount - 1) + kValueFieldWidth;
    std::int64_t fileSize = 32 + 32 * fieldCount + 1;

    const CoordIndex counts = table.positionCounts();
    for (int count : counts)
        if (count == 0)
            return result;
    CoordIndex v{};
    do {
        if (fileSize > freeSpaceLimit) {
            result.stoppedAtLimit = true;
            break;
        }
        const float cell = table.GetCell(v);
        if (std::nearbyint(cell) == kMissingValue)
            continue;
        const int record = static_cast<int>(result.records);
        for (int f = 0; f < fieldCount - 1; ++f) {
            const int axis = exportedAxes[static_cast<size_t>(f)];
            const QByteArray text
                = encodeCp1251(exportedPositionText(table, axis, v[axis], names, codeAxis, textWidth, codePrefix));
            if (!DBFWriteStringAttribute(handle, record, f, text.constData()))
                DBFWriteStringAttribute(handle, record, f, "");
        }
        const double value = formatGeneral(cell, 15, u'.').toDouble();
        if (!std::isfinite(value) || !DBFWriteDoubleAttribute(handle, record, valueField, value)) {
            DBFWriteAttributeDirectly(handle, record, valueField, const_cast<char*>("-999"));
            ++result.unstorableValues;
        }
        ++result.records;
        fileSize += recordLength;
    } while (nextCombination(v, counts));
    return result;
}

} // namespace verola
