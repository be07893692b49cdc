#pragma once

#include "plugins/api/verolaplugin.h"
#include "plugins/tableview/tableslicemodel.h"

#include <QMainWindow>
#include <QString>
#include <array>

class QAction;
class QComboBox;
class QLabel;
class QTableView;
class QToolBar;

namespace verola {
class TCompPanel;
class TTablePanel;
} // namespace verola

namespace verola::tableview {

class SliceChart;

// The table window: one table of a block as a grid of two of its axes, the other axes at the
// positions chosen in the slice bar, a chart of the current row or column, the comparison
// mode, copy, CSV export, and the way to the map window. Everything it shows it reads from the
// table; its choices (axes, slice, mode) are written into the table's view fields.
class TableWindow : public QMainWindow {
    Q_OBJECT
public:
    // `application` is the main window: the parent, and the receiver of the close and hide
    // notifications. Without one the window closes and hides by itself.
    explicit TableWindow(QWidget* application = nullptr);
    ~TableWindow() override;

    // The configuration's name and directory, for every table window of the library.
    static void setDescription(const QString& name, const QString& directory);
    static QString descriptionName();
    static QString descriptionDirectory();

    // Shows `table`; `partner` becomes its background and `mode` its comparison mode.
    void setTables(TTab* table, TTab* partner, int mode);
    // The kind name and unit of the block the table belongs to; reads the table again.
    void loadTable(const QString& kindName, const QString& unitText, TCompPanel* block, TTablePanel* panel);
    bool showsTable(const TTab* table) const { return table && m_model.table() == table; }
    void setCallbacks(VerolaSetMapFromTableCallback setMap, VerolaNameToNodeCallback nameToNode);

    TableSliceModel& model() { return m_model; }
    QString kindName() const { return m_kindName; }
    QString unitText() const { return m_unitText; }

    // The selected cells as lines of tab-separated values at full precision (the selection's
    // bounding box; unselected and missing cells empty); copySelection puts it on the clipboard.
    QString selectionText() const;
    void copySelection();
    // The grid as CSV: a caption row, then one row per grid row. Returns false when the file
    // cannot be written.
    QString csvText() const;
    bool exportCsv(const QString& fileName);
    // Asks for a file name and exports; a failure is shown in a message box.
    void exportCsvClick();
    // Opens the map window on the current cell's slice (callback A with no column axis).
    void mapClick();
    void hideClick();
    // The default file of the CSV export: the configuration's name and directory.
    QString defaultCsvFile() const;

    QComboBox* RowAxisBox = nullptr;
    QComboBox* ColumnAxisBox = nullptr;
    QComboBox* ModeBox = nullptr;
    QComboBox* ChartAlongBox = nullptr;
    QTableView* Grid = nullptr;
    SliceChart* Chart = nullptr;
    QLabel* UnitLabel = nullptr;
    QAction* CopyAction = nullptr;
    QAction* ExportAction = nullptr;
    QAction* MapAction = nullptr;
    QAction* HideAction = nullptr;
    QAction* ReloadAction = nullptr;
    // The position selector of every axis that is not shown and has more than one position.
    std::array<QComboBox*, kAxisCount> SliceBoxes{};

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void rebuildAxisBoxes();
    void rebuildSliceBar();
    void updateTitle();
    void replotChart();
    void fitColumnsToCaptions();
    void axisChosen(bool rowBox);
    void notifyMap(bool openMap);
    void regionCaptionClicked(Qt::Orientation orientation, int section);
    void notifyApplication(int number);
    void reloadIfReshaped();

    QWidget* m_application = nullptr;
    TableSliceModel m_model;
    QToolBar* m_sliceBar = nullptr;
    QString m_kindName;
    QString m_unitText;
    int m_tableKind = -1;
    int m_blockNumber = -1;
    // What the window last showed of the table's shape and view fields, to see when the
    // program changed them behind its back.
    struct ShownView {
        CoordIndex dims{};
        CoordIndex slice{};
        int xAxis = -1;
        int yAxis = -1;
        bool operator==(const ShownView&) const = default;
    };
    ShownView shownViewOf(const TTab* table) const;
    ShownView m_shown;
    VerolaSetMapFromTableCallback m_setMap = nullptr;
    VerolaNameToNodeCallback m_nameToNode = nullptr;
};

} // namespace verola::tableview
