#include "plugins/mapview/mapmodel.h"

#include "core/tables/compare.h"
#include "core/tables/lineutils.h"
#include "plugins/api/userformat.h"

#include <QHash>

namespace verola::mapview {
namespace {

QString nameKey(const QString& name)
{
    return name.trimmed().toCaseFolded();
}

} // namespace

void MapModel::setRegions(RegionShapes shapes)
{
    m_shapes = std::move(shapes);
    m_selection.clear();
    matchRegions();
    Q_EMIT regionsChanged();
    Q_EMIT selectionChanged();
}

void MapModel::setTable(TTab* table, TTab* /*partner*/, int mode)
{
    // The same table given again has changed: its slice on show stays, as far as it still has it.
    const bool again = table && table == m_table;
    m_table = table;
    m_mode = mode;
    CoordIndex index{};
    if (table)
        index = again ? m_index : table->FSlice;
    setSlice(m_regionAxis, index);
}

void MapModel::setSlice(int regionAxis, const CoordIndex& index)
{
    m_regionAxis = validAxis(regionAxis) ? regionAxis : kRegionAxis;
    m_index = index;
    for (int axis = 0; axis < kAxisCount; ++axis) {
        const int count = m_table ? m_table->FDims[axis] : 0;
        if (m_index[axis] < 0 || m_index[axis] >= count)
            m_index[axis] = 0;
    }
    matchRegions();
}

void MapModel::setCaption(const QString& kindName, const QString& unitText)
{
    m_kindName = kindName;
    m_unitText = unitText;
    Q_EMIT valuesChanged();
}

void MapModel::refresh()
{
    if (m_table)
        setSlice(m_regionAxis, m_index);
}

void MapModel::matchRegions()
{
    QHash<QString, int> positions;
    if (m_table) {
        const int count = m_table->FDims[m_regionAxis];
        for (int pos = count - 1; pos >= 0; --pos)
            positions.insert(nameKey(LineName(m_table->PositionText(m_regionAxis, pos))), pos);
    }
    m_positions.assign(m_shapes.regions.size(), -1);
    for (size_t r = 0; r < m_shapes.regions.size(); ++r)
        m_positions[r] = positions.value(nameKey(m_shapes.regions[r].name), -1);
    readValues();
}

void MapModel::readValues()
{
    m_values.assign(m_shapes.regions.size(), std::nullopt);
    std::vector<double> shown;
    for (size_t r = 0; r < m_shapes.regions.size(); ++r) {
        if (m_positions[r] < 0)
            continue;
        CoordIndex v = m_index;
        v[m_regionAxis] = m_positions[r];
        const float value = CompareRead(*m_table, v);
        if (isMissing(value) || !std::isfinite(value))
            continue;
        m_values[r] = value;
        shown.push_back(value);
    }
    m_scale = ColourScale::equalIntervals(shown);
    Q_EMIT valuesChanged();
}

int MapModel::positionOf(int region) const
{
    return region >= 0 && region < static_cast<int>(m_positions.size()) ? m_positions[region] : -1;
}

std::optional<double> MapModel::valueOf(int region) const
{
    return region >= 0 && region < static_cast<int>(m_values.size()) ? m_values[region] : std::nullopt;
}

int MapModel::classOf(int region) const
{
    const std::optional<double> value = valueOf(region);
    return value ? m_scale.classOf(*value) : -1;
}

QColor MapModel::fillOf(int region) const
{
    const int k = classOf(region);
    return k < 0 ? noDataColour() : m_scale.colourOf(k);
}

std::vector<LegendEntry> MapModel::legend() const
{
    std::vector<LegendEntry> entries;
    const QChar decimal = plugin::decimalSeparatorOf(m_table);
    for (int k = m_scale.classCount() - 1; k >= 0; --k) {
        const QString text = m_scale.classCount() == 1
            ? valueText(m_scale.lowerBound(k), decimal)
            : valueText(m_scale.lowerBound(k), decimal) + QStringLiteral(" – ") + valueText(m_scale.upperBound(k), decimal);
        entries.push_back({m_scale.colourOf(k), text});
    }
    for (size_t r = 0; r < m_values.size(); ++r) {
        if (!m_values[r]) {
            entries.push_back({noDataColour(), QStringLiteral("нет данных")});
            break;
        }
    }
    return entries;
}

QString MapModel::sliceText() const
{
    if (!m_table)
        return QString();
    QStringList parts;
    for (int axis = 0; axis < kAxisCount; ++axis) {
        if (axis == m_regionAxis || m_table->FDims[axis] <= 1)
            continue;
        parts.append(LineName(m_table->PositionText(axis, m_index[axis])).trimmed());
    }
    return parts.join(QStringLiteral(" · "));
}

QString MapModel::describe(int region) const
{
    if (region < 0 || region >= static_cast<int>(m_shapes.regions.size()))
        return QString();
    const std::optional<double> value = valueOf(region);
    return m_shapes.regions[region].name + QStringLiteral(": ")
        + (value ? valueText(*value, plugin::decimalSeparatorOf(m_table)) : QStringLiteral("нет данных"));
}

int MapModel::regionNamed(const QString& name) const
{
    const QString key = nameKey(name);
    for (size_t r = 0; r < m_shapes.regions.size(); ++r)
        if (nameKey(m_shapes.regions[r].name) == key)
            return static_cast<int>(r);
    return -1;
}

void MapModel::select(int region, bool toggle)
{
    const bool valid = region >= 0 && region < static_cast<int>(m_shapes.regions.size());
    QList<int> selection = toggle ? m_selection : QList<int>();
    if (valid) {
        if (toggle && selection.contains(region))
            selection.removeAll(region);
        else if (!selection.contains(region))
            selection.append(region);
    }
    if (selection == m_selection)
        return;
    m_selection = selection;
    Q_EMIT selectionChanged();
}

int MapModel::selectByName(const QString& name)
{
    const int region = regionNamed(name);
    if (region < 0)
        return -1;
    select(region);
    return positionOf(region);
}

int MapModel::showObjectFlag() const
{
    for (int region : m_selection)
        if (positionOf(region) >= 0)
            return positionOf(region);
    return kNothingSelected;
}

} // namespace verola::mapview
