#include "plugins/mapview/mapwindow.h"

#include "plugins/api/pluginhandles.h"
#include "plugins/mapview/mapcanvas.h"
#include "plugins/mapview/maplegend.h"
#include "plugins/mapview/mapsettingsdialog.h"

#include "core/app/flux.h"
#include "core/app/workspace.h"
#include "core/platform/errors.h"
#include "core/platform/textfile.h"
#include "core/tables/lineutils.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

namespace verola::mapview {
namespace {

const QString kTitle = QStringLiteral("Карта");

QString modeText(int mode)
{
    switch (mode) {
    case VEROLA_MODE_MINUS_BACKGROUND:
        return QStringLiteral("разность с фоном");
    case VEROLA_MODE_RELATIVE_TO_BACKGROUND:
        return QStringLiteral("отношение к фону");
    default:
        return QString();
    }
}

} // namespace

MapWindow::MapWindow(QWidget* application)
    : QWidget(application, Qt::Window), m_application(application), m_model(this),
      m_canvas(new MapCanvas(m_model, this)), m_legend(new MapLegend(m_model, this)), m_heading(new QLabel(this)),
      m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("mapWindow"));
    const QScreen* screen = application ? application->screen() : QGuiApplication::primaryScreen();
    resize(QSize(760, 560).boundedTo(screen ? screen->availableGeometry().size() * 0.9 : QSize(760, 560)));
    m_heading->setObjectName(QStringLiteral("heading"));
    m_heading->setWordWrap(true);
    QFont headingFont = m_heading->font();
    headingFont.setBold(true);
    m_heading->setFont(headingFont);
    m_status->setObjectName(QStringLiteral("statusLine"));
    m_status->setFrameShape(QFrame::StyledPanel);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("mapToolBar"));
    toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_settingsAction = toolBar->addAction(QStringLiteral("Настройка…"), this, &MapWindow::editSettings);
    m_settingsAction->setObjectName(QStringLiteral("settingsAction"));
    m_settingsAction->setToolTip(QStringLiteral("Файл карты и поле названий районов"));
    m_tableAction = toolBar->addAction(QStringLiteral("Таблица"), this, [this] {
        if (m_showTable)
            m_showTable();
    });
    m_tableAction->setObjectName(QStringLiteral("tableAction"));
    m_tableAction->setToolTip(QStringLiteral("Окно таблицы"));
    m_tableAction->setEnabled(false);
    m_sampleAction = toolBar->addAction(QStringLiteral("В выборку"), this, &MapWindow::sendSelectionToSample);
    m_sampleAction->setObjectName(QStringLiteral("sampleAction"));
    m_sampleAction->setToolTip(QStringLiteral("Выбранные районы — список районов выборки блока"));
    m_hideAction = toolBar->addAction(QStringLiteral("Скрыть"), this, [this] { notify(VEROLA_NOTIFY_MAP_HIDE); });
    m_hideAction->setObjectName(QStringLiteral("hideAction"));

    auto* body = new QHBoxLayout;
    body->addWidget(m_canvas, 1);
    auto* legendColumn = new QVBoxLayout;
    legendColumn->addWidget(m_legend);
    legendColumn->addStretch(1);
    body->addLayout(legendColumn);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(toolBar);
    layout->addWidget(m_heading);
    layout->addLayout(body, 1);
    layout->addWidget(m_status);

    connect(m_canvas, &MapCanvas::regionClicked, this, &MapWindow::regionClicked);
    connect(&m_model, &MapModel::valuesChanged, this, &MapWindow::updateHeading);
    connect(&m_model, &MapModel::selectionChanged, this, &MapWindow::updateActions);
    updateTitle();
    updateHeading();
    updateActions();
}

void MapWindow::setCallbacks(VerolaSetListCallback setList, VerolaMapListCallback mapList,
    VerolaShowTableCallback showTable)
{
    m_setList = setList;
    m_mapList = mapList;
    m_showTable = showTable;
    m_tableAction->setEnabled(m_showTable != nullptr);
    updateActions();
}

void MapWindow::setDescription(const QString& name, const QString&)
{
    m_configName = name;
    updateTitle();
}

void MapWindow::updateTitle()
{
    setWindowTitle(m_configName.isEmpty() ? kTitle : kTitle + QStringLiteral(" — ") + m_configName);
}

void MapWindow::setTables(TTab* table, TTab* partner, int mode)
{
    m_model.setTable(table, partner, mode);
}

void MapWindow::loadMap(const QString& dataDirectory, TCompPanel* block)
{
    m_dataDirectory = dataDirectory;
    if (block) {
        m_block = block;
        // The same heading and legend title as when the table window shows the block's table.
        m_model.setCaption(blockPanelKindName(block->number()), blockUnitText(block->number()).trimmed());
    }
    readMap(false);
    updateActions();
}

void MapWindow::setMapFromTable(int regionAxis, TCompPanel* block, const int* index, const QString& kindName,
    const QString& unitText)
{
    if (block)
        m_block = block;
    CoordIndex slice = m_model.table() ? m_model.table()->FSlice : CoordIndex{};
    if (index)
        std::copy(index, index + kAxisCount, slice.begin());
    m_model.setCaption(kindName, unitText);
    m_model.setSlice(regionAxis, slice);
    if (m_model.regions().empty() && !m_dataDirectory.isEmpty())
        readMap(false);
    updateActions();
}

QStringList MapWindow::mapList() const
{
    if (!m_mapList)
        return m_ownMapList;
    QStringList list;
    m_mapList(plugin::handleOf(&list), 0);
    return list;
}

void MapWindow::storeMapList(const QStringList& lines)
{
    if (!m_mapList) {
        m_ownMapList = lines;
        return;
    }
    QStringList list = lines;
    m_mapList(plugin::handleOf(&list), 1);
}

MapSettings MapWindow::settings() const
{
    const QStringList lines = mapList();
    if (holdsMapSettings(lines))
        return readMapSettings(lines);
    // The data directory's default map list is what a configuration saved now would get.
    try {
        return readMapSettings(readTextLines(QDir(m_dataDirectory).filePath(QStringLiteral("Default.map"))));
    } catch (const EPlatformError&) {
        return MapSettings();
    }
}

void MapWindow::applySettings(const MapSettings& settings)
{
    storeMapList(withMapSettings(mapList(), settings));
    readMap(true);
}

void MapWindow::editSettings()
{
    MapSettingsDialog dialog(settings(), m_dataDirectory, this);
    if (dialog.exec() == QDialog::Accepted)
        applySettings(dialog.settings());
}

void MapWindow::readMap(bool force)
{
    const MapSettings current = settings();
    const QString path = shapePath(m_dataDirectory, current.shape);
    const QDateTime modified = QFileInfo(path).lastModified();
    if (!force && path == m_loadedPath && current.nameField == m_loadedField && modified == m_loadedTime
        && !m_model.regions().empty())
        return;
    m_loadedPath = path;
    m_loadedField = current.nameField;
    m_loadedTime = modified;
    try {
        m_model.setRegions(readRegionShapes(path, current.nameField));
        showStatus(QString());
    } catch (const EPlatformError& error) {
        m_model.setRegions(RegionShapes());
        showStatus(error.message());
    }
}

void MapWindow::sendSelectionToSample()
{
    if (!m_setList || !m_block || m_model.selection().isEmpty())
        return;
    const int axis = m_model.regionAxis();
    const QStringList& current = m_block->Rule->Table().FLists[axis];
    QStringList lines{current.value(0, QStringLiteral("Районы"))};
    QList<int> regions = m_model.selection();
    std::sort(regions.begin(), regions.end());
    QStringList names;
    for (int region : regions) {
        const QString name = m_model.regions()[region].name;
        names.append(name);
        // The sample's own line of the region keeps its codes; a region new to it gets a bare line.
        const auto found = std::find_if(current.begin() + std::min<qsizetype>(1, current.size()), current.end(),
            [&](const QString& line) { return LineName(line).trimmed().compare(name, Qt::CaseInsensitive) == 0; });
        lines.append(found != current.end() ? *found : QStringLiteral("\t") + name + QStringLiteral("|D"));
    }
    const QByteArray kind = QByteArrayLiteral("Extr");
    VerolaTable* changed = nullptr;
    try {
        changed = m_setList(axis, plugin::handleOf(&lines), plugin::toString(kind));
    } catch (const EPlatformError& error) {
        // The list file could not be written: nothing changed.
        showStatus(error.message());
        return;
    }
    // The program asks first; a No (or a list it could not take) leaves the sample as it was.
    if (!changed) {
        showStatus(QStringLiteral("Список районов выборки не изменён"));
        return;
    }
    m_model.refresh();
    showStatus(QStringLiteral("Районы выборки: ") + names.join(QStringLiteral(", ")));
}

void MapWindow::regionClicked(int region)
{
    showStatus(m_model.describe(region));
}

void MapWindow::showStatus(const QString& text)
{
    m_status->setText(text);
}

QString MapWindow::statusText() const
{
    return m_status->text();
}

QString MapWindow::headingText() const
{
    return m_heading->text();
}

void MapWindow::updateHeading()
{
    if (!m_model.table()) {
        m_heading->setText(QStringLiteral("Таблица не задана"));
        return;
    }
    QStringList parts;
    for (const QString& part : {m_model.kindName(), m_model.sliceText(), modeText(m_model.mode())})
        if (!part.isEmpty())
            parts.append(part);
    m_heading->setText(parts.join(QStringLiteral(" — ")));
}

void MapWindow::updateActions()
{
    m_sampleAction->setEnabled(m_setList && m_block && !m_model.selection().isEmpty());
}

void MapWindow::notify(int number)
{
    if (m_application)
        plugin::postNotification(m_application, number);
    else if (number == VEROLA_NOTIFY_MAP_HIDE)
        hide();
}

void MapWindow::closeEvent(QCloseEvent* event)
{
    // The main window closes the map and unloads the library; without one the window just closes.
    if (!m_application) {
        QWidget::closeEvent(event);
        return;
    }
    event->ignore();
    notify(VEROLA_NOTIFY_MAP_CLOSE);
}

} // namespace verola::mapview
