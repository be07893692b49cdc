#include "core/tables/ttab.h"

#include "core/platform/errors.h"

#include <QHash>
#include <algorithm>
#include <limits>
#include <new>

namespace verola {

namespace {

const char16_t* const kFieldNames[kAxisCount] = {u"Pollutant", u"Region", u"Time", u"SexAgeGroup", u"Disease",
    u"Death", u"ExpositionGroup", u"Industry", u"RiskType", u"Truba", u"Meteo", u"Result"};

const char16_t* const kCaptions[10] = {u"Загрязнитель", u"Регион", u"Период времени", u"Половозр. группа",
    u"Заболевание", u"Причина смерти", u"Когорта", u"Отрасль", u"Тип риска", u"Среда"};

const char16_t* const kKindTitles[4] = {u"Первичная таблица из БД", u"Итоговая таблица из БД",
    u"Первичная таблица расчета", u"Итоговая таблица расчета"};

// Lines are one position when their texts without leading tabs are equal ignoring case.
QString positionKey(const QString& line)
{
    qsizetype i = 0;
    while (i < line.size() && line.at(i) == u'\t')
        ++i;
    return line.mid(i).toCaseFolded();
}

// "1 (Регион)": an axis as messages name it, by its caption where it has one.
QString axisLabel(int axis)
{
    const QString caption = axis >= 0 && axis < 10 ? QString::fromUtf16(kCaptions[axis]) : CoordFieldName(axis);
    return QStringLiteral("%1 (%2)").arg(axis).arg(caption);
}

} // namespace

QString CoordFieldName(int axis)
{
    if (axis < 0 || axis >= kAxisCount)
        return QString();
    return QString::fromUtf16(kFieldNames[axis]);
}

QStringList coordinateCaptions()
{
    QStringList captions;
    for (const char16_t* caption : kCaptions)
        captions.append(QString::fromUtf16(caption));
    return captions;
}

QStringList tableKindTitles()
{
    QStringList titles;
    for (const char16_t* title : kKindTitles)
        titles.append(QString::fromUtf16(title));
    return titles;
}

QChar tableKindLetter(int kind)
{
    static const char letters[4] = {'d', 'x', 'c', 's'};
    return (kind >= 0 && kind < 4) ? QChar(letters[kind]) : QChar();
}

QString wholeSetName()
{
    return QStringLiteral("Весь набор");
}

void AddWholeSet(QStringList& list, const QString& code)
{
    list.append(wholeSetName());
    list.append(u'\t' + wholeSetName() + u'|' + code);
}

bool IsWholeSet(const QStringList& list)
{
    return list.size() == 2 && list.at(0).contains(wholeSetName()) && list.at(1).contains(wholeSetName());
}

void TIndex::reset()
{
    FCount = 0;
    FGroups = 0;
    FLinePos.clear();
    FPosLine.clear();
}

TTab::TTab()
{
    for (auto& row : FFactors)
        row.fill(1.0f);
    CoordIndex ones;
    ones.fill(1);
    Dimension(ones);
}

TTab::~TTab() = default;

void TTab::Clear()
{
    m_chunks.clear();
    FPageCount = 1;
    FLastPageCells = 0;
}

void TTab::Dimension(const CoordIndex& dims)
{
    dimension(dims, true);
}

void TTab::fillMissingFrom(std::int64_t from)
{
    for (std::int64_t offset = from; offset < FCellCount;) {
        std::int64_t length = 0;
        float* run = cellRun(offset, length);
        std::fill_n(run, length, kMissing);
        offset += length;
    }
}

void TTab::dimension(const CoordIndex& dims, bool fill)
{
    for (int i = 0; i < kAxisCount; ++i)
        if (dims[i] < 0)
            throw ELimitError(QStringLiteral("Ось %1 не может иметь отрицательный размер (%2)")
                                  .arg(axisLabel(i)).arg(dims[i]));
    // An axis without positions makes a table without cells, however large the other axes.
    const bool noCells = std::find(dims.begin(), dims.end(), 0) != dims.end();
    std::array<std::int64_t, kAxisCount> strides{};
    std::int64_t product = 1;
    for (int i = 0; i < kAxisCount && !noCells; ++i) {
        strides[i] = product;
        product *= dims[i];
        if (product > kMaxCells || strides[i] > std::numeric_limits<std::int32_t>::max())
            throw ELimitError(QStringLiteral("Таблица вмещает не больше %1 ячеек, а её оси требуют больше")
                                  .arg(kMaxCells));
    }
    const std::int64_t cellCount = noCells ? 0 : product;

    // Chunks of the old shape that have the size the new shape needs are reused: a reload
    // of the same table then costs no fresh memory.
    std::vector<std::unique_ptr<float[]>> chunks;
    try {
        for (std::int64_t start = 0, i = 0; start < cellCount; start += kChunkCells, ++i) {
            const std::int64_t size = std::min(kChunkCells, cellCount - start);
            const std::int64_t oldSize = std::min(kChunkCells, std::int64_t(FCellCount) - start);
            if (static_cast<size_t>(i) < m_chunks.size() && oldSize == size)
                chunks.push_back(nullptr); // taken over below, once nothing can fail any more
            else
                chunks.push_back(std::make_unique_for_overwrite<float[]>(static_cast<size_t>(size)));
        }
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(QStringLiteral("Недостаточно памяти для таблицы из %1 ячеек").arg(cellCount));
    }
    for (size_t i = 0; i < chunks.size(); ++i) {
        if (!chunks[i])
            chunks[i] = std::move(m_chunks[i]);
        const std::int64_t size = std::min(kChunkCells, cellCount - std::int64_t(i) * kChunkCells);
        if (fill)
            std::fill_n(chunks[i].get(), size, kMissing);
    }

    Clear();
    m_chunks = std::move(chunks);
    FDims = dims;
    for (int k = 1; k < kAxisCount; ++k)
        FStride[k - 1] = static_cast<std::int32_t>(strides[k]);
    FCellCount = static_cast<std::int32_t>(cellCount);
    FPagedCount = FCellCount;
    FPageCount = static_cast<std::uint16_t>(FCellCount / kPageCells + 1);
    FLastPageCells = static_cast<std::uint16_t>(FCellCount % kPageCells);
}

float* TTab::cellRun(std::int64_t offset, std::int64_t& length)
{
    const std::int64_t inChunk = offset & kChunkMask;
    length = std::min(kChunkCells - inChunk, std::int64_t(FCellCount) - offset);
    return m_chunks[offset >> kChunkShift].get() + inChunk;
}

void TTab::BuildIndex(int axis)
{
    if (axis < 0 || axis >= kAxisCount)
        return;
    const QStringList& list = FLists[axis];
    const qsizetype valueLines = std::max<qsizetype>(0, list.size() - 1);
    if (valueLines > kMaxAxisLines)
        throw ELimitError(QStringLiteral("По оси %1 строк значений %2, а ось вмещает не больше %3")
                              .arg(axisLabel(axis)).arg(valueLines).arg(kMaxAxisLines));
    TIndex& index = FIndex[axis];
    index.reset();
    index.FCount = static_cast<std::uint16_t>(valueLines);
    if (index.FCount == 0)
        return;

    index.FLinePos.resize(index.FCount);
    QHash<QString, std::uint16_t> firstPosition;
    firstPosition.reserve(index.FCount);
    std::uint16_t groups = 0;
    for (int j = 0; j < index.FCount; ++j) {
        const QString key = positionKey(list.at(j + 1));
        const auto found = firstPosition.constFind(key);
        if (found != firstPosition.constEnd()) {
            index.FLinePos[j] = found.value();
        } else {
            index.FLinePos[j] = groups;
            firstPosition.insert(key, groups);
            ++groups;
        }
    }
    index.FGroups = groups;
    index.FPosLine.assign(groups, 0);
    for (int j = 0; j < index.FCount; ++j)
        index.FPosLine[index.FLinePos[j]] = static_cast<std::int16_t>(j + 2);
}

void TTab::Redimension(int axis)
{
    BuildIndex(axis);
    Dimension(positionCounts());
}

CoordIndex TTab::positionCounts() const
{
    CoordIndex counts;
    for (int k = 0; k < kAxisCount; ++k)
        counts[k] = FIndex[k].FGroups;
    return counts;
}

QString TTab::PositionText(int axis, int pos) const
{
    if (axis < 0 || axis >= kAxisCount)
        return QString();
    const TIndex& index = FIndex[axis];
    if (pos < 0 || pos >= static_cast<int>(index.FPosLine.size()))
        return QString();
    const int line = index.FPosLine[pos] - 1;
    if (line < 0 || line >= FLists[axis].size())
        return QString();
    return FLists[axis].at(line);
}

void TTab::SetViewAxes(const CoordIndex& v)
{
    for (int i = 0; i < kAxisCount; ++i) {
        if (v[i] == -1)
            FXAxis = static_cast<std::uint16_t>(i);
        else if (v[i] == -2)
            FYAxis = static_cast<std::uint16_t>(i);
        if (v[i] == -1 || v[i] == -2) {
            FSlice[i] = v[i];
            continue;
        }
        const TIndex& index = FIndex[i];
        const bool known = v[i] >= 0 && v[i] < static_cast<int>(index.FLinePos.size());
        FSlice[i] = known ? index.FLinePos[v[i]] : 0;
    }
}

} // namespace verola
