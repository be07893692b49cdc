#include "plugins/tableview/tablewindow.h"

#include "core/app/flux.h"
#include "core/platform/textfile.h"
#include "plugins/api/pluginhandles.h"
#include "plugins/tableview/slicechart.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QSaveFile>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <algorithm>

namespace verola::tableview {

namespace {

struct Description {
    QString name;
    QString directory;
    QList<TableWindow*> windows;
};

Description& description()
{
    static Description d;
    return d;
}

QFont boldFont()
{
    QFont font;
    font.setBold(true);
    return font;
}

} // namespace

// --- Library-wide description ------------------------------------------------------------------

void TableWindow::setDescription(const QString& name, const QString& directory)
{
    description().name = name;
    description().directory = directory;
    for (TableWindow* window : std::as_const(description().windows))
        window->updateTitle();
}

QString TableWindow::descriptionName()
{
    return description().name;
}

QString TableWindow::descriptionDirectory()
{
    return description().directory;
}

// --- Construction ------------------------------------------------------------------------------

TableWindow::TableWindow(QWidget* application)
    : QMainWindow(application, Qt::Window)
    , m_application(application)
{
    description().windows.append(this);
    createControls();
    updateTitle();
    // Wide enough for the tool bar's controls without an overflow, yet never larger than the screen.
    const QScreen* screen = application ? application->screen() : QGuiApplication::primaryScreen();
    const QSize room = screen ? screen->availableGeometry().size() * 0.9 : QSize(1100, 680);
    resize(QSize(1100, 680).boundedTo(room));
}

TableWindow::~TableWindow()
{
    description().windows.removeAll(this);
}

void TableWindow::createControls()
{
    QToolBar* bar = addToolBar(QStringLiteral("Таблица"));
    bar->setMovable(false);
    bar->addWidget(new QLabel(QStringLiteral(" Строки: "), bar));
    RowAxisBox = new QComboBox(bar);
    RowAxisBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    RowAxisBox->setToolTip(QStringLiteral("Координата по строкам"));
    bar->addWidget(RowAxisBox);
    bar->addWidget(new QLabel(QStringLiteral(" Столбцы: "), bar));
    ColumnAxisBox = new QComboBox(bar);
    ColumnAxisBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    ColumnAxisBox->setToolTip(QStringLiteral("Координата по столбцам"));
    bar->addWidget(ColumnAxisBox);
    bar->addSeparator();
    ModeBox = new QComboBox(bar);
    ModeBox->addItems({QStringLiteral("Таблица"), QStringLiteral("Минус фон"), QStringLiteral("Относительно фона")});
    ModeBox->setToolTip(QStringLiteral("Сравнение с фоном"));
    bar->addWidget(ModeBox);
    bar->addSeparator();
    CopyAction = bar->addAction(QStringLiteral("Копировать"));
    CopyAction->setShortcut(QKeySequence::Copy);
    CopyAction->setToolTip(QStringLiteral("Копировать выделенные ячейки"));
    ExportAction = bar->addAction(QStringLiteral("В CSV..."));
    ExportAction->setToolTip(QStringLiteral("Сохранить таблицу как CSV файл"));
    MapAction = bar->addAction(QStringLiteral("Карта"));
    MapAction->setToolTip(QStringLiteral("Показать срез на карте"));
    ReloadAction = bar->addAction(QStringLiteral("Обновить"));
    ReloadAction->setToolTip(QStringLiteral("Перечитать таблицу"));
    HideAction = bar->addAction(QStringLiteral("Скрыть"));
    HideAction->setToolTip(QStringLiteral("Скрыть окно таблицы"));
    bar->addSeparator();
    ChartAlongBox = new QComboBox(bar);
    ChartAlongBox->addItems({QStringLiteral("График строки"), QStringLiteral("График столбца")});
    bar->addWidget(ChartAlongBox);

    addToolBarBreak();
    m_sliceBar = addToolBar(QStringLiteral("Срез"));
    m_sliceBar->setMovable(false);

    Grid = new QTableView(this);
    Grid->setModel(&m_model);
    Grid->setWordWrap(false);
    // Wide enough for six significant digits with a sign and leading zeros.
    Grid->horizontalHeader()->setDefaultSectionSize(Grid->fontMetrics().horizontalAdvance(QStringLiteral("-0.00000123457")) + 8);
    Grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Bold captions mark groups; a highlighted current section would look like one.
    Grid->horizontalHeader()->setHighlightSections(false);
    Grid->verticalHeader()->setHighlightSections(false);
    Grid->installEventFilter(this);
    Chart = new SliceChart(this);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(Grid);
    splitter->addWidget(Chart);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({400, 280});
    setCentralWidget(splitter);
    UnitLabel = new QLabel(this);
    statusBar()->addWidget(UnitLabel, 1);

    connect(RowAxisBox, &QComboBox::activated, this, [this] { axisChosen(true); });
    connect(ColumnAxisBox, &QComboBox::activated, this, [this] { axisChosen(false); });
    connect(ModeBox, &QComboBox::activated, this, [this](int mode) { m_model.setCompareMode(mode); });
    connect(ChartAlongBox, &QComboBox::activated, this, [this] { replotChart(); });
    connect(CopyAction, &QAction::triggered, this, &TableWindow::copySelection);
    connect(ExportAction, &QAction::triggered, this, &TableWindow::exportCsvClick);
    connect(MapAction, &QAction::triggered, this, &TableWindow::mapClick);
    connect(HideAction, &QAction::triggered, this, &TableWindow::hideClick);
    connect(ReloadAction, &QAction::triggered, &m_model, &TableSliceModel::reload);
    connect(Grid->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        replotChart();
        notifyMap(false);
    });
    connect(&m_model, &TableSliceModel::cellsChanged, this, [this] {
        m_shown = shownViewOf(m_model.table());
        replotChart();
        notifyMap(false);
    });
    // Every reset (new table, other axes, a reload) may change the axes and their positions.
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] {
        rebuildAxisBoxes();
        rebuildSliceBar();
        m_shown = shownViewOf(m_model.table());
        fitColumnsToCaptions();
        replotChart();
    });
    connect(Grid->horizontalHeader(), &QHeaderView::sectionClicked, this,
        [this](int section) { regionCaptionClicked(Qt::Horizontal, section); });
    connect(Grid->verticalHeader(), &QHeaderView::sectionClicked, this,
        [this](int section) { regionCaptionClicked(Qt::Vertical, section); });
}

// --- What the program hands over ---------------------------------------------------------------

void TableWindow::setTables(TTab* table, TTab* partner, int mode)
{
    if (table) {
        if (partner)
            table->FBackground = partner;
        if (mode >= 0 && mode <= 2)
            table->FCompareMode = mode;
    }
    m_model.setTable(table);
    updateTitle();
}

void TableWindow::loadTable(const QString& kindName, const QString& unitText, TCompPanel* block, TTablePanel* panel)
{
    m_kindName = kindName;
    m_unitText = unitText;
    m_blockNumber = block ? block->number() : -1;
    m_tableKind = panel ? panel->Tag : -1;
    m_model.reload();
    updateTitle();
    if (!isVisible())
        show();
}

void TableWindow::setCallbacks(VerolaSetMapFromTableCallback setMap, VerolaNameToNodeCallback nameToNode)
{
    m_setMap = setMap;
    m_nameToNode = nameToNode;
}

void TableWindow::updateTitle()
{
    QString title = QStringLiteral("Таблица");
    if (!m_kindName.isEmpty())
        title += QStringLiteral(": ") + m_kindName;
    const QStringList kinds = tableKindTitles();
    if (m_tableKind >= 0 && m_tableKind < kinds.size())
        title += QStringLiteral(". ") + kinds.at(m_tableKind);
    if (!m_unitText.isEmpty())
        title += QStringLiteral(" (") + m_unitText + u')';
    if (!descriptionName().isEmpty())
        title += QStringLiteral(" — ") + descriptionName();
    setWindowTitle(title);
    UnitLabel->setText(m_unitText.isEmpty() ? QString() : QStringLiteral("Единицы: ") + m_unitText);
}

// --- Axes and slice ----------------------------------------------------------------------------

void TableWindow::rebuildAxisBoxes()
{
    const TTab* table = m_model.table();
    for (QComboBox* box : {RowAxisBox, ColumnAxisBox}) {
        QSignalBlocker block(box);
        box->clear();
        for (int axis = 0; axis < kAxisCount; ++axis) {
            const int count = table ? table->FDims[axis] : 0;
            box->addItem(QStringLiteral("%1 (%2)").arg(axisCaption(axis)).arg(count), axis);
        }
    }
    RowAxisBox->setCurrentIndex(m_model.rowAxis());
    ColumnAxisBox->setCurrentIndex(m_model.columnAxis());
    const QSignalBlocker block(ModeBox);
    ModeBox->setCurrentIndex(qBound(0, m_model.compareMode(), 2));
    RowAxisBox->setEnabled(table);
    ColumnAxisBox->setEnabled(table);
    ModeBox->setEnabled(table);
}

void TableWindow::axisChosen(bool rowBox)
{
    int row = RowAxisBox->currentData().toInt();
    int column = ColumnAxisBox->currentData().toInt();
    if (row == column) { // the axis the other box held: the grid turns over
        if (rowBox)
            column = m_model.rowAxis();
        else
            row = m_model.columnAxis();
    }
    m_model.setAxes(row, column);
}

void TableWindow::rebuildSliceBar()
{
    m_sliceBar->clear();
    SliceBoxes.fill(nullptr);
    const TTab* table = m_model.table();
    if (!table)
        return;
    for (int axis = 0; axis < kAxisCount; ++axis) {
        if (axis == m_model.rowAxis() || axis == m_model.columnAxis() || table->FDims[axis] <= 1)
            continue;
        m_sliceBar->addWidget(new QLabel(u' ' + axisCaption(axis) + QStringLiteral(": "), m_sliceBar));
        auto* box = new QComboBox(m_sliceBar);
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        const auto captions = positionCaptions(*table, axis);
        for (int pos = 0; pos < static_cast<int>(captions.size()); ++pos) {
            box->addItem(indentedName(captions[pos]), pos);
            if (captions[pos].group)
                box->setItemData(pos, boldFont(), Qt::FontRole);
        }
        box->setCurrentIndex(m_model.slicePosition(axis));
        box->setToolTip(axisCaption(axis));
        connect(box, &QComboBox::activated, this, [this, axis](int pos) { m_model.setSlicePosition(axis, pos); });
        m_sliceBar->addWidget(box);
        SliceBoxes[axis] = box;
    }
    m_sliceBar->setVisible(!m_sliceBar->actions().isEmpty());
}

void TableWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        reloadIfReshaped();
}

TableWindow::ShownView TableWindow::shownViewOf(const TTab* table) const
{
    if (!table)
        return ShownView();
    return ShownView{table->FDims, table->FSlice, table->FXAxis, table->FYAxis};
}

// The program may have refilled the table (new lists, new dimensions) or set its view axes
// (the dBase export does) while the window was in the background; the change is seen when the
// window comes to the front again.
void TableWindow::reloadIfReshaped()
{
    const TTab* table = m_model.table();
    if (table && shownViewOf(table) != m_shown)
        m_model.reload();
}

// Columns as wide as their captions, so that names are read whole; a grid of very many columns
// keeps the default width, as measuring them all would slow every switch of axes.
void TableWindow::fitColumnsToCaptions()
{
    constexpr int kMeasuredColumns = 500;
    QHeaderView* header = Grid->horizontalHeader();
    const auto& captions = m_model.columnCaptions();
    if (captions.size() > kMeasuredColumns)
        return;
    QFont bold = header->font();
    bold.setBold(true);
    const QFontMetrics plain(header->font());
    const QFontMetrics strong(bold);
    const int minimum = header->defaultSectionSize();
    for (int column = 0; column < static_cast<int>(captions.size()); ++column) {
        const QFontMetrics& metrics = captions[column].group ? strong : plain;
        header->resizeSection(column, qMax(minimum, metrics.horizontalAdvance(captions[column].name) + 16));
    }
}

// --- Chart -------------------------------------------------------------------------------------

void TableWindow::replotChart()
{
    const QModelIndex current = Grid->currentIndex();
    const bool alongRow = ChartAlongBox->currentIndex() == 0;
    int section = 0;
    if (current.isValid())
        section = alongRow ? current.row() : current.column();
    Chart->plot(m_model, alongRow ? Qt::Horizontal : Qt::Vertical, section, m_unitText);
}

// --- Copy and export ---------------------------------------------------------------------------

QString TableWindow::selectionText() const
{
    const QModelIndexList selected = Grid->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return QString();
    int top = selected.first().row(), bottom = top, left = selected.first().column(), right = left;
    for (const QModelIndex& index : selected) {
        top = std::min(top, index.row());
        bottom = std::max(bottom, index.row());
        left = std::min(left, index.column());
        right = std::max(right, index.column());
    }
    std::vector<QStringList> rows(bottom - top + 1, QStringList(right - left + 1, QString()));
    for (const QModelIndex& index : selected) {
        const QVariant value = index.data(TableSliceModel::ValueRole);
        if (value.isValid())
            rows[index.row() - top][index.column() - left] = valueText(value.toFloat());
    }
    QStringList lines;
    for (const QStringList& row : rows)
        lines.append(row.join(u'\t'));
    return lines.join(u'\n');
}

// The grid by itself copies only its current cell; the window copies the whole selection.
bool TableWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Grid && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copySelection();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TableWindow::copySelection()
{
    QApplication::clipboard()->setText(selectionText());
}

QString TableWindow::csvText() const
{
    QString text;
    QStringList fields{csvField(axisCaption(m_model.rowAxis()))};
    for (const PositionCaption& caption : m_model.columnCaptions())
        fields.append(csvField(caption.name));
    text += fields.join(u',') + QStringLiteral("\r\n");
    const int columns = m_model.columnCount();
    for (int row = 0; row < m_model.rowCount(); ++row) {
        fields = QStringList{csvField(m_model.rowCaptions()[row].name)};
        for (int column = 0; column < columns; ++column) {
            const float v = m_model.value(row, column);
            fields.append(isMissing(v) ? QString() : valueText(v));
        }
        text += fields.join(u',') + QStringLiteral("\r\n");
    }
    return text;
}

bool TableWindow::exportCsv(const QString& fileName)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("\xEF\xBB\xBF"); // UTF-8 mark, so that spreadsheets read the Cyrillic captions
    file.write(csvText().toUtf8());
    return file.commit();
}

QString TableWindow::defaultCsvFile() const
{
    QString name = descriptionName().isEmpty() ? QStringLiteral("table") : descriptionName();
    if (m_tableKind >= 0 && m_tableKind <= 3 && m_blockNumber >= 0)
        name += u'.' + QString(tableKindLetter(m_tableKind)) + QString::number(m_blockNumber, 16);
    const QString directory = descriptionDirectory().isEmpty() ? QDir::currentPath() : descriptionDirectory();
    return QDir(directory).filePath(name + QStringLiteral(".csv"));
}

void TableWindow::exportCsvClick()
{
    QFileDialog dialog(this, QStringLiteral("Сохранить таблицу как CSV файл"), QString(),
        QStringLiteral("файлы CSV (*.csv)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(defaultCsvFile());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString file = dialog.selectedFiles().first();
    if (!exportCsv(file))
        QMessageBox::warning(this, windowTitle(), QStringLiteral("Не могу записать файл %1").arg(QDir::toNativeSeparators(file)));
}

// --- The map window and the main window --------------------------------------------------------

void TableWindow::notifyMap(bool openMap)
{
    if (!m_setMap || !m_model.table())
        return;
    QModelIndex current = Grid->currentIndex();
    if (!current.isValid()) {
        if (!openMap)
            return;
        current = m_model.index(0, 0);
    }
    const CoordIndex index = m_model.cellIndex(qMax(0, current.row()), qMax(0, current.column()));
    const QByteArray kind = m_kindName.toUtf8();
    const QByteArray unit = m_unitText.toUtf8();
    m_setMap(kRegionAxis, index.data(), m_model.rowAxis(), openMap ? -1 : m_model.columnAxis(),
        plugin::toString(kind), plugin::toString(unit));
}

void TableWindow::mapClick()
{
    notifyMap(true);
}

void TableWindow::regionCaptionClicked(Qt::Orientation orientation, int section)
{
    const int axis = orientation == Qt::Vertical ? m_model.rowAxis() : m_model.columnAxis();
    if (axis != kRegionAxis || !m_nameToNode)
        return;
    const auto& captions = orientation == Qt::Vertical ? m_model.rowCaptions() : m_model.columnCaptions();
    if (section < 0 || section >= static_cast<int>(captions.size()))
        return;
    const QByteArray name = captions[section].name.toUtf8();
    m_nameToNode(plugin::toString(name));
}

void TableWindow::notifyApplication(int number)
{
    plugin::postNotification(m_application, number);
}

void TableWindow::hideClick()
{
    if (m_application)
        notifyApplication(VEROLA_NOTIFY_TABLE_HIDE);
    else
        hide();
}

// The main window closes the window (and unloads the library) when it hears of it.
void TableWindow::closeEvent(QCloseEvent* event)
{
    if (!m_application) {
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    notifyApplication(VEROLA_NOTIFY_TABLE_CLOSE);
}

} // namespace verola::tableview
