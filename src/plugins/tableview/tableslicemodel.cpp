#include "plugins/tableview/tableslicemodel.h"

#include "core/tables/compare.h"
#include "plugins/api/userformat.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <charconv>

namespace verola::tableview {

namespace {

const QColor kGroupTint(0xEE, 0xF2, 0xF8);

bool isViewAxis(const TTab& table, int axis)
{
    return axis == table.FXAxis || axis == table.FYAxis;
}

} // namespace

QString valueText(float value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString displayText(float value, QChar decimalSeparator)
{
    return plugin::shownNumber(value, decimalSeparator);
}

TableSliceModel::TableSliceModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void TableSliceModel::setTable(TTab* table)
{
    beginResetModel();
    m_table = table;
    m_decimal = plugin::decimalSeparatorOf(table);
    normaliseView();
    readCaptions();
    endResetModel();
}

void TableSliceModel::reload()
{
    setTable(m_table);
}

// Keeps the table's view fields usable: two different shown axes, marked -1 (across) and -2
// (down) in FSlice as SetViewAxes marks them, and every other axis at a position it has.
void TableSliceModel::normaliseView()
{
    if (!m_table)
        return;
    TTab& t = *m_table;
    if (!validAxis(t.FXAxis))
        t.FXAxis = 0;
    if (!validAxis(t.FYAxis) || t.FYAxis == t.FXAxis)
        t.FYAxis = t.FXAxis == 1 ? 2 : 1;
    for (int axis = 0; axis < kAxisCount; ++axis) {
        if (axis == t.FXAxis)
            t.FSlice[axis] = -1;
        else if (axis == t.FYAxis)
            t.FSlice[axis] = -2;
        else if (t.FSlice[axis] < 0 || t.FSlice[axis] >= t.FDims[axis])
            t.FSlice[axis] = 0;
    }
}

void TableSliceModel::readCaptions()
{
    m_rowCaptions.clear();
    m_columnCaptions.clear();
    if (!m_table)
        return;
    m_rowCaptions = positionCaptions(*m_table, rowAxis());
    m_columnCaptions = positionCaptions(*m_table, columnAxis());
}

void TableSliceModel::setAxes(int row, int column)
{
    if (!m_table || !validAxis(row) || !validAxis(column) || row == column)
        return;
    if (row == rowAxis() && column == columnAxis())
        return;
    beginResetModel();
    m_table->FYAxis = static_cast<std::uint16_t>(row);
    m_table->FXAxis = static_cast<std::uint16_t>(column);
    for (int axis = 0; axis < kAxisCount; ++axis)
        if (!isViewAxis(*m_table, axis) && m_table->FSlice[axis] < 0)
            m_table->FSlice[axis] = 0;
    normaliseView();
    readCaptions();
    endResetModel();
}

int TableSliceModel::slicePosition(int axis) const
{
    if (!m_table || !validAxis(axis) || isViewAxis(*m_table, axis))
        return 0;
    return qMax(0, m_table->FSlice[axis]);
}

void TableSliceModel::setSlicePosition(int axis, int position)
{
    if (!m_table || !validAxis(axis) || isViewAxis(*m_table, axis))
        return;
    if (position < 0 || position >= m_table->FDims[axis] || position == m_table->FSlice[axis])
        return;
    m_table->FSlice[axis] = position;
    announceCells();
}

void TableSliceModel::setCompareMode(int mode)
{
    if (!m_table || mode < 0 || mode > 2 || mode == m_table->FCompareMode)
        return;
    m_table->FCompareMode = mode;
    announceCells();
}

void TableSliceModel::announceCells()
{
    if (rowCount() > 0 && columnCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
            {Qt::DisplayRole, ValueRole});
    Q_EMIT cellsChanged();
}

CoordIndex TableSliceModel::cellIndex(int row, int column) const
{
    CoordIndex v{};
    if (!m_table)
        return v;
    for (int axis = 0; axis < kAxisCount; ++axis)
        v[axis] = qMax(0, m_table->FSlice[axis]);
    v[rowAxis()] = row;
    v[columnAxis()] = column;
    return v;
}

float TableSliceModel::value(int row, int column) const
{
    return m_table ? CompareRead(*m_table, cellIndex(row, column)) : kMissing;
}

int TableSliceModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rowCaptions.size());
}

int TableSliceModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columnCaptions.size());
}

QVariant TableSliceModel::data(const QModelIndex& index, int role) const
{
    if (!m_table || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case ValueRole: {
        const float v = value(index.row(), index.column());
        if (isMissing(v))
            return QVariant();
        return role == ValueRole ? QVariant(double(v)) : QVariant(displayText(v, m_decimal));
    }
    case Qt::TextAlignmentRole:
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        if (m_rowCaptions[index.row()].group || m_columnCaptions[index.column()].group)
            return QBrush(kGroupTint);
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant TableSliceModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const auto& captions = orientation == Qt::Vertical ? m_rowCaptions : m_columnCaptions;
    if (section < 0 || section >= static_cast<int>(captions.size()))
        return QVariant();
    const PositionCaption& caption = captions[section];
    switch (role) {
    case Qt::DisplayRole:
        return orientation == Qt::Vertical ? indentedName(caption) : caption.name;
    case Qt::ToolTipRole:
        return caption.line.isEmpty() ? caption.name : caption.line.trimmed();
    case Qt::FontRole:
        if (caption.group) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return QVariant();
    case Qt::TextAlignmentRole:
        return orientation == Qt::Vertical ? QVariant(Qt::AlignLeft | Qt::AlignVCenter) : QVariant();
    case GroupRole:
        return caption.group;
    default:
        return QVariant();
    }
}

} // namespace verola::tableview
