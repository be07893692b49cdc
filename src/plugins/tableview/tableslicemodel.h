#pragma once

#include "core/tables/ttab.h"
#include "plugins/tableview/axiscaptions.h"

#include <QAbstractTableModel>
#include <vector>

namespace verola::tableview {

// A two-axis slice of a multi-axis table as a grid. The model holds no cells and no view
// state of its own: rows run along the table's FYAxis, columns along its FXAxis, every other
// axis stands at its FSlice position, and each cell is read through the table's comparison
// view (FCompareMode), so whatever the table holds is what the grid shows.
class TableSliceModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The cell as a number (double), or an invalid QVariant when it is missing; the display
    // role gives it as displayText.
    static constexpr int ValueRole = Qt::UserRole + 1;
    // True for the caption of a group position (headerData).
    static constexpr int GroupRole = Qt::UserRole + 2;

    explicit TableSliceModel(QObject* parent = nullptr);

    // Shows another table (or none). The table stays the caller's.
    void setTable(TTab* table);
    TTab* table() const { return m_table; }

    int rowAxis() const { return m_table ? m_table->FYAxis : 1; }
    int columnAxis() const { return m_table ? m_table->FXAxis : 0; }
    // Shows the table down `rowAxis` and across `columnAxis`; the axis that stops being shown
    // stands at its first position. Two equal axes, or axes outside 0..11, change nothing.
    void setAxes(int rowAxis, int columnAxis);

    // Position of an axis that is not shown (0 for the shown axes).
    int slicePosition(int axis) const;
    void setSlicePosition(int axis, int position);

    int compareMode() const { return m_table ? m_table->FCompareMode : 0; }
    void setCompareMode(int mode);

    // Reads the table's dimensions and lists again, after they changed.
    void reload();

    // The twelve positions of a grid cell; the cell read through the comparison view.
    CoordIndex cellIndex(int row, int column) const;
    float value(int row, int column) const;
    const std::vector<PositionCaption>& rowCaptions() const { return m_rowCaptions; }
    const std::vector<PositionCaption>& columnCaptions() const { return m_columnCaptions; }
    // The user's decimal separator, as the table's workspace has it.
    QChar decimalSeparator() const { return m_decimal; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // The slice or the comparison mode changed: every cell may read differently.
    void cellsChanged();

private:
    void normaliseView();
    void readCaptions();
    void announceCells();

    TTab* m_table = nullptr;
    QChar m_decimal = u'.'; // the user's decimal separator, as the table's workspace has it
    std::vector<PositionCaption> m_rowCaptions;
    std::vector<PositionCaption> m_columnCaptions;
};

// The text of a cell value: the shortest decimal form that reads back as the same
// single-precision number, "." as the decimal point. Copies and exports use it.
QString valueText(float value);
// The text the grid shows: six significant digits, so that a column stays narrow, and the user's
// decimal separator.
QString displayText(float value, QChar decimalSeparator = u'.');

} // namespace verola::tableview
