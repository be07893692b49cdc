#include "gui/app/navigatorform.h"

#include "core/app/configuration.h"
#include "core/app/selectionsteps.h"
#include "core/app/settings.h"
#include "core/app/transfer.h"
#include "core/app/workspace.h"
#include "core/platform/errors.h"
#include "core/tables/tablefile.h"
#include "gui/app/recentfiles.h"
#include "gui/app/verolaapplication.h"
#include "gui/flow/fluxwidgets.h"
#include "gui/flow/navigatordiagram.h"
#include "gui/windows/aboutbox.h"
#include "gui/windows/desform.h"
#include "gui/windows/helpform.h"
#include "gui/windows/showinifiledlg.h"

#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QLabel>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>
#include <new>

namespace verola {

namespace {

QAction* addItem(QMenu* menu, const QString& name, const QString& caption)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

QAction* addToolButton(QToolBar* bar, const QString& name, const QString& hint, const QIcon& icon)
{
    QAction* action = bar->addAction(icon, hint);
    action->setObjectName(name);
    action->setToolTip(hint);
    return action;
}

// The ready half of a panel picture, for a tool button.
QIcon panelIcon(const QString& name)
{
    return QIcon(QPixmap::fromImage(panelPicture(QStringLiteral(":/pictures/") + name).copy(0, 0, 24, 24)));
}

// The wait cursor for as long as a command runs, however it ends.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

TCompPanel* blockOf(const TTablePanel* panel)
{
    return panel ? dynamic_cast<TCompPanel*>(panel->Owner()) : nullptr;
}

} // namespace

TNavigatorForm::TNavigatorForm(ProcessState& state, const QString& programPath, QWidget* parent)
    : QMainWindow(parent), m_state(state)
{
    setObjectName(QStringLiteral("NavigatorForm"));
    setWindowTitle(productTitle());
    createMenus();
    createToolBar();
    createPopupMenus();
    createStatusBar();
    FormCreate(programPath);
}

TNavigatorForm::~TNavigatorForm()
{
    FormDestroy();
}

QString TNavigatorForm::productTitle()
{
    return QStringLiteral("Система обработки информации \"Верола\"");
}

QString TNavigatorForm::productPage()
{
    return QStringLiteral("https://verola.org/");
}

QString TNavigatorForm::windowNotBuiltText(const QString& what)
{
    return QStringLiteral("%1: это окно в данной версии программы ещё не построено.").arg(what);
}

// --- Building the window -----------------------------------------------------------------------

void TNavigatorForm::createMenus()
{
    FileItem = menuBar()->addMenu(QStringLiteral("&Файл"));
    FileItem->setObjectName(QStringLiteral("FileItem"));
    OpenItem = addItem(FileItem, QStringLiteral("OpenItem"), QStringLiteral("&Открыть"));
    SaveItem = addItem(FileItem, QStringLiteral("SaveItem"), QStringLiteral("&Сохранить"));
    SaveAsItem = addItem(FileItem, QStringLiteral("SaveAsItem"), QStringLiteral("Сохранить &как"));
    ExitWithoutItem = addItem(FileItem, QStringLiteral("ExitWithoutItem"), QStringLiteral("Выход &без сохранения"));
    ExitItem = addItem(FileItem, QStringLiteral("ExitItem"), QStringLiteral("&Выход с сохранением"));
    connect(OpenItem, &QAction::triggered, this, &TNavigatorForm::OpenItemClick);
    connect(SaveItem, &QAction::triggered, this, &TNavigatorForm::SaveItemClick);
    connect(SaveAsItem, &QAction::triggered, this, &TNavigatorForm::SaveAsItemClick);
    connect(ExitWithoutItem, &QAction::triggered, this, &TNavigatorForm::ExitWithoutItemClick);
    connect(ExitItem, &QAction::triggered, this, &TNavigatorForm::ExitItemClick);

    ModelsItem = menuBar()->addMenu(QStringLiteral("&Модели"));
    ModelsItem->setObjectName(QStringLiteral("ModelsItem"));
    QMenu* dispersion = ModelsItem->addMenu(QStringLiteral("Распространение выброса"));
    ExpertISCItem = addItem(dispersion, QStringLiteral("ExpertISCItem"), QStringLiteral("Экспертиза"));
    CalcISCItem = addItem(dispersion, QStringLiteral("CalcISCItem"), QStringLiteral("Расчет"));
    QMenu* risk = ModelsItem->addMenu(QStringLiteral("Экспертиза риска"));
    ExpertRiskItem = addItem(risk, QStringLiteral("ExpertRiskItem"), QStringLiteral("Экспертиза"));
    CalcRiskItem = addItem(risk, QStringLiteral("CalcRiskItem"), QStringLiteral("Расчет"));
    connect(ExpertISCItem, &QAction::triggered, this, [this] { ExpertISCItemClick(ExpertISCItem); });
    connect(CalcISCItem, &QAction::triggered, this, [this] { CalcISCItemClick(CalcISCItem); });
    connect(ExpertRiskItem, &QAction::triggered, this, [this] { ExpertRiskItemClick(ExpertRiskItem); });
    connect(CalcRiskItem, &QAction::triggered, this, [this] { CalcRiskItemClick(CalcRiskItem); });

    DataBaseItem = menuBar()->addMenu(QStringLiteral("База данных"));
    DataBaseItem->setObjectName(QStringLiteral("DataBaseItem"));
    ShowIniItem = addItem(DataBaseItem, QStringLiteral("ShowIniItem"), QStringLiteral("Файл  установок БД"));
    DBDefineItem = addItem(DataBaseItem, QStringLiteral("DBDefineItem"), QStringLiteral("Файл задания БД"));
    IntervalsItem = addItem(DataBaseItem, QStringLiteral("IntervalsItem"), QStringLiteral("БД -> интервалы"));
    connect(ShowIniItem, &QAction::triggered, this, &TNavigatorForm::ShowIniBtnClick);
    connect(DBDefineItem, &QAction::triggered, this, &TNavigatorForm::SetPanelBtnClick);
    connect(IntervalsItem, &QAction::triggered, this, [this] { openIntervalWindow(); });

    WindowItem = menuBar()->addMenu(QStringLiteral("Окна"));
    WindowItem->setObjectName(QStringLiteral("WindowItem"));
    TableWindowItem = addItem(WindowItem, QStringLiteral("TableWindowItem"), QStringLiteral("Таблица"));
    MapWindowItem = addItem(WindowItem, QStringLiteral("MapWindowItem"), QStringLiteral("Карта"));
    ISCWindowItem = addItem(WindowItem, QStringLiteral("ISCWindowItem"), QStringLiteral("Модель рассеяния"));
    RiskWindowItem = addItem(WindowItem, QStringLiteral("RiskWindowItem"), QStringLiteral("Модель экспозиции"));
    DesWindowItem = addItem(WindowItem, QStringLiteral("DesWindowItem"), QStringLiteral("Описание выборки"));
    connect(TableWindowItem, &QAction::triggered, this, [this] { TableItemClick(); });
    connect(MapWindowItem, &QAction::triggered, this, [this] { MapWindowItemClick(); });
    // "Модель рассеяния" and "Модель экспозиции" of this menu do nothing.
    connect(DesWindowItem, &QAction::triggered, this, &TNavigatorForm::DesWindowItemClick);
    connect(WindowItem, &QMenu::aboutToShow, this, [this] {
        TableWindowItem->setEnabled(ToolButtonTableWindow->isEnabled());
        MapWindowItem->setEnabled(ToolButtonMapWindow->isEnabled());
        ISCWindowItem->setEnabled(ToolButtonISCWindow->isEnabled());
    });

    HelpMenuItem = menuBar()->addMenu(QStringLiteral("?"));
    HelpMenuItem->setObjectName(QStringLiteral("HelpMenuItem"));
    HelpMenuItem->setToolTipsVisible(true);
    AboutItem = addItem(HelpMenuItem, QStringLiteral("AboutItem"), QStringLiteral("О программе"));
    HelpItem = addItem(HelpMenuItem, QStringLiteral("HelpItem"), QStringLiteral("Справка"));
    Internet1 = addItem(HelpMenuItem, QStringLiteral("Internet1"), QStringLiteral("Страница в Internet"));
    connect(AboutItem, &QAction::triggered, this, &TNavigatorForm::AboutItemClick);
    HelpItem->setShortcut(QKeySequence::HelpContents);
    connect(HelpItem, &QAction::triggered, this, &TNavigatorForm::HelpItemClick);
    connect(Internet1, &QAction::triggered, this, &TNavigatorForm::Internet1Click);
    connect(HelpMenuItem, &QMenu::aboutToShow, this, [this] {
        HelpItem->setToolTip(QDir::toNativeSeparators(m_state.programDirectory + QStringLiteral("Help/Index.htm")));
        Internet1->setToolTip(productPage());
    });
}

void TNavigatorForm::createToolBar()
{
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    QStyle* s = style();
    ToolButton5 = addToolButton(ToolBar1, QStringLiteral("ToolButton5"), QStringLiteral("Открыть выборку"),
        s->standardIcon(QStyle::SP_DialogOpenButton));
    ToolButton6 = addToolButton(ToolBar1, QStringLiteral("ToolButton6"), QStringLiteral("Сохранить выборку"),
        s->standardIcon(QStyle::SP_DialogSaveButton));
    ToolButton2 = addToolButton(ToolBar1, QStringLiteral("ToolButton2"), QStringLiteral("Выход без сохранения"),
        s->standardIcon(QStyle::SP_DialogCloseButton));
    ToolBar1->addSeparator();
    ToolButtonISCWindow = addToolButton(ToolBar1, QStringLiteral("ToolButtonISCWindow"),
        QStringLiteral("Окно модели рассеяния"), panelIcon(QStringLiteral("query.png")));
    ToolButtonRiskWindow = addToolButton(ToolBar1, QStringLiteral("ToolButtonRiskWindow"),
        QStringLiteral("Окно модели экспозиции"), panelIcon(QStringLiteral("calc.png")));
    ToolBar1->addSeparator();
    ToolButton14 = addToolButton(ToolBar1, QStringLiteral("ToolButton14"), QStringLiteral("Просмотр файла инициализации"),
        s->standardIcon(QStyle::SP_FileDialogDetailedView));
    ToolButton15 = addToolButton(ToolBar1, QStringLiteral("ToolButton15"), QStringLiteral("Подключение новой БД"),
        s->standardIcon(QStyle::SP_DriveNetIcon));
    ToolButton3 = addToolButton(ToolBar1, QStringLiteral("ToolButton3"), QStringLiteral("Перевод БД в коорд. интервалы"),
        panelIcon(QStringLiteral("axes.png")));
    ToolBar1->addSeparator();
    ToolButtonTableWindow = addToolButton(ToolBar1, QStringLiteral("ToolButtonTableWindow"),
        QStringLiteral("Окно таблицы"), panelIcon(QStringLiteral("table.png")));
    ToolButtonMapWindow = addToolButton(ToolBar1, QStringLiteral("ToolButtonMapWindow"), QStringLiteral("Окно карты"),
        s->standardIcon(QStyle::SP_DirHomeIcon));
    ToolButtonDesWindow = addToolButton(ToolBar1, QStringLiteral("ToolButtonDesWindow"), QStringLiteral("Описание выборки"),
        s->standardIcon(QStyle::SP_FileDialogInfoView));
    ToolBar1->addSeparator();
    DBReviewComboBox = new QComboBox(ToolBar1);
    DBReviewComboBox->setObjectName(QStringLiteral("DBReviewComboBox"));
    DBReviewComboBox->setPlaceholderText(QStringLiteral("Обзор БД"));
    DBReviewComboBox->setToolTip(QStringLiteral("Число случаев в БД"));
    DBReviewComboBox->setMinimumContentsLength(24);
    m_reviewAction = ToolBar1->addWidget(DBReviewComboBox);
    m_reviewAction->setVisible(false);

    connect(ToolButton5, &QAction::triggered, this, &TNavigatorForm::OpenItemClick);
    connect(ToolButton6, &QAction::triggered, this, &TNavigatorForm::SaveItemClick);
    connect(ToolButton2, &QAction::triggered, this, &TNavigatorForm::ExitWithoutItemClick);
    connect(ToolButtonISCWindow, &QAction::triggered, this, [this] { ExpertISCItemClick(ToolButtonISCWindow); });
    connect(ToolButtonRiskWindow, &QAction::triggered, this, [this] { ExpertRiskItemClick(ToolButtonRiskWindow); });
    connect(ToolButton14, &QAction::triggered, this, &TNavigatorForm::ShowIniBtnClick);
    connect(ToolButton15, &QAction::triggered, this, &TNavigatorForm::SetPanelBtnClick);
    connect(ToolButton3, &QAction::triggered, this, [this] { openIntervalWindow(); });
    connect(ToolButtonTableWindow, &QAction::triggered, this, [this] { TableItemClick(nullptr, true); });
    connect(ToolButtonMapWindow, &QAction::triggered, this, [this] { MapWindowItemClick(true); });
    connect(ToolButtonDesWindow, &QAction::triggered, this, &TNavigatorForm::DesWindowItemClick);
}

void TNavigatorForm::createPopupMenus()
{
    PopupMenu0 = new QMenu(this);
    PopupMenu0->setObjectName(QStringLiteral("PopupMenu0"));
    TableModeGroup = new QActionGroup(this);
    TableModeGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const QString modes[3] = {QStringLiteral("Таблица"), QStringLiteral("Минус фон"), QStringLiteral("Относительно фона")};
    const QString modeNames[3] = {QStringLiteral("TableItem"), QStringLiteral("MinusBackgroundItem"),
        QStringLiteral("RelativeBackgroundItem")};
    for (int tag = 0; tag < 3; ++tag) {
        QAction* item = addItem(PopupMenu0, modeNames[tag], modes[tag]);
        item->setData(tag);
        item->setCheckable(true);
        item->setChecked(tag == 0);
        TableModeGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this, item] { TableItemClick(item); });
    }
    PopupMenu0->addSeparator();
    SaveTableItem = addItem(PopupMenu0, QStringLiteral("SaveTableItem"), QStringLiteral("Сохранить"));
    LoadTableItem = addItem(PopupMenu0, QStringLiteral("LoadTableItem"), QStringLiteral("Загрузить"));
    connect(SaveTableItem, &QAction::triggered, this, &TNavigatorForm::SaveTableItemClick);
    connect(LoadTableItem, &QAction::triggered, this, &TNavigatorForm::LoadTableItemClick);
    PopupMenu0->addSeparator();
    DBFItem = PopupMenu0->addMenu(QStringLiteral("Сохранить как DBase файл"));
    DBFItem->setObjectName(QStringLiteral("DBFItem"));
    auto* dbfGroup = new QActionGroup(this);
    dbfGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    DBFNameItem = addItem(DBFItem, QStringLiteral("DBFNameItem"), QStringLiteral("Имена"));
    DBFCodeItem = addItem(DBFItem, QStringLiteral("DBFCodeItem"), QStringLiteral("Коды"));
    for (QAction* item : {DBFNameItem, DBFCodeItem}) {
        item->setCheckable(true);
        dbfGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this, item] { DBFNameClick(item); });
    }
    DBFNameItem->setChecked(true);

    DBDisPopup = new QMenu(this);
    DBDisPopup->setObjectName(QStringLiteral("DBDisPopup"));
    connect(addItem(DBDisPopup, QStringLiteral("DBReviewItem"), QStringLiteral("Обзор  БД")), &QAction::triggered,
        this, &TNavigatorForm::DBReviewItemClick);
    DBMortalPopup = new QMenu(this);
    DBMortalPopup->setObjectName(QStringLiteral("DBMortalPopup"));
    connect(addItem(DBMortalPopup, QStringLiteral("DBMortalItem"), QStringLiteral("Обзор БД")), &QAction::triggered,
        this, &TNavigatorForm::DBMortalItemClick);
}

void TNavigatorForm::createStatusBar()
{
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    for (int panel = 0; panel < 3; ++panel) {
        auto* label = new QLabel(StatusBar1);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(panel));
        label->setFrameShape(QFrame::StyledPanel);
        if (panel == 2)
            label->setMinimumWidth(48); // "100%"
        StatusBar1->addWidget(label, panel == 2 ? 0 : 1);
        m_statusPanels[panel] = label;
    }
}

bool TNavigatorForm::pluginPresent(PluginLibrary library) const
{
    return m_plugins->present(library);
}

void TNavigatorForm::enableByPlugins()
{
    for (int number = 0; number < kBlockCount; ++number)
        FlowDiagram->cover(number)->setBlockVisible(ReadBlockVisible(blockKindCode(number)));
    DBDefineItem->setEnabled(pluginPresent(PluginLibrary::DbSetup));
    ToolButton15->setEnabled(DBDefineItem->isEnabled());
    ToolButtonTableWindow->setEnabled(pluginPresent(PluginLibrary::TableView));
    ToolButtonMapWindow->setEnabled(pluginPresent(PluginLibrary::MapView));
    const bool dispersion = pluginPresent(PluginLibrary::DispersionModel);
    for (QAction* action : {ToolButtonISCWindow, ExpertISCItem})
        action->setEnabled(dispersion);
    FlowDiagram->ButtonISC3->setEnabled(dispersion);
    const bool exposure = pluginPresent(PluginLibrary::ExposureModel);
    for (QAction* action : {ToolButtonRiskWindow, ExpertRiskItem})
        action->setEnabled(exposure);
    FlowDiagram->ButtonRisk->setEnabled(exposure);
    for (QAction* item : PopupMenu0->actions())
        item->setEnabled(ToolButtonTableWindow->isEnabled());
}

void TNavigatorForm::FormCreate(const QString& programPath)
{
    initialiseProcessState(m_state, programPath);
    m_workspace = std::make_unique<TWorkspace>(m_state);
    m_plugins = std::make_unique<PluginBridge>(*m_workspace, static_cast<PluginHost&>(*this));
    m_state.plugins = m_plugins.get();
    m_plugins->start(static_cast<QWidget*>(this));
    m_steps = workbenchBlockSteps();
    FlowDiagram = new NavigatorDiagram(*m_workspace, this);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(FlowDiagram);
    setCentralWidget(scroll);
    resize(FlowDiagram->minimumWidth() + 24, FlowDiagram->minimumHeight() + 84 + StatusBar1->sizeHint().height());
    enableByPlugins();
    wireDiagram();
    FlowDiagram->decorate();

    RecentFiles = new TRecentFiles(this);
    RecentFiles->SetMenu(FileItem);
    RecentFiles->SetMaxFiles(9);
    RecentFiles->SetIniFileName(m_state.SettingsFileName);
    RecentFiles->LoadFromIni();
    connect(RecentFiles, &TRecentFiles::OnClick, this, [this](const QString& path) {
        Q_EMIT configurationChosen(path);
        openConfiguration(path);
    });
    connect(&m_workspace->notifier(), &FlowNotifier::workspaceReloaded, this, &TNavigatorForm::updateTitle);
    QPalette hints = QToolTip::palette();
    hints.setColor(QPalette::ToolTipBase, QColor(0, 255, 255)); // aqua hint windows
    QToolTip::setPalette(hints);
}

void TNavigatorForm::wireDiagram()
{
    for (int number = 0; number < kBlockCount; ++number) {
        CompPanelWidget* view = FlowDiagram->blockWidget(number);
        TCompPanel& block = *view->block();
        QMenu* searchMenu = number == kDesBlock ? DBDisPopup : number == kDeathBlock ? DBMortalPopup : nullptr;
        if (searchMenu) {
            view->Search->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(view->Search, &QWidget::customContextMenuRequested, this,
                [view, searchMenu](const QPoint& at) { searchMenu->popup(view->Search->mapToGlobal(at)); });
        }
        connect(view->Search, &FluxPanelWidget::clicked, this, [this, &block] { DBGeneralPanelClick(block); });
        connect(view->Search, &FluxPanelWidget::doubleClicked, this, [this, &block] { DBGeneralPanelClick(block); });
        connect(view->Rule, &FluxPanelWidget::clicked, this, [this, &block] { RulePanelClick(block); });
        connect(view->Extr, &FluxPanelWidget::clicked, this, [this, &block] { ExtrPanelClick(block); });
        connect(view->Est, &FluxPanelWidget::clicked, this, [this, &block] { EstPanelClick(block); });
        connect(view->Calc, &FluxPanelWidget::clicked, this, [this, &block] { CalcPanelClick(block); });
        connect(view->Sel, &FluxPanelWidget::clicked, this, [this, &block] { ConfigButtonClick(block); });
        if (number == kRiskBlock)
            connect(view->Calc, &FluxPanelWidget::doubleClicked, this, &TNavigatorForm::CalcDosePanelClick);
        for (TablePanelWidget* panel : {view->Rule, view->Extr, view->Calc, view->Est, view->Sel}) {
            panel->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(panel, &QWidget::customContextMenuRequested, this, [this, panel](const QPoint& at) {
                PopupMenu0Popup(panel->tablePanel());
                PopupMenu0->popup(panel->mapToGlobal(at));
            });
            connect(panel, &TablePanelWidget::tablePanelDropped, this,
                [this, panel](TTablePanel* dragged) { TablePanelDragDrop(panel->tablePanel(), dragged); });
        }
    }
    // The block buttons toggle their pressed state, then run the command of the menu item.
    connect(FlowDiagram->ButtonISC3, &QToolButton::clicked, this, [this] { CalcISCItemClick(FlowDiagram->ButtonISC3); });
    connect(FlowDiagram->ButtonRisk, &QToolButton::clicked, this, [this] { CalcRiskItemClick(FlowDiagram->ButtonRisk); });
}

void TNavigatorForm::FormDestroy()
{
    // The window is going away; an unwritable settings file must not stop the shutdown.
    try {
        RecentFiles->SaveToIni();
    } catch (const EPlatformError&) {
    }
    m_state.coordinateCaptionList.clear();
    // The plug-in windows are gone, and their libraries, before the workspace they show.
    m_plugins->shutdown();
    m_state.plugins = nullptr;
    try {
        writeBackSettingsAtExit(m_state);
    } catch (const EPlatformError&) {
    }
    m_currentPanel = nullptr;
    delete takeCentralWidget(); // the diagram's widgets point into the workspace
    m_workspace.reset();
    m_state.StagingTab.reset();
    deleteScratchFiles();
    m_state.MapList.clear();
    m_plugins.reset();
}

void TNavigatorForm::showDone(const ActionResult& result)
{
    if (result.text.isEmpty())
        return;
    StatusBar1->showMessage(result.details.isEmpty() ? result.text : result.text + QStringLiteral(": ") + result.details);
}

void TNavigatorForm::updateTitle()
{
    setWindowTitle(m_workspace->caption.isEmpty() ? productTitle() : m_workspace->caption);
}

bool TNavigatorForm::runCommand(const QString& operation, const std::function<void()>& command)
{
    QString failure;
    {
        WaitCursor wait;
        try {
            command();
            return true;
        } catch (const EPlatformError& error) {
            failure = error.message();
        } catch (const std::bad_alloc&) {
            failure = outOfMemoryMessage(operation);
        } catch (const std::exception& error) {
            failure = QString::fromLocal8Bit(error.what());
        }
    }
    QMessageBox::critical(this, VerolaApplication::messageTitle(), failure);
    return false;
}

// --- File menu ---------------------------------------------------------------------------------

void TNavigatorForm::openConfiguration(const QString& path)
{
    runCommand(QStringLiteral("открытие конфигурации"), [this, &path] { OpenConfiguration(*m_workspace, path); });
    updateTitle();
}

void TNavigatorForm::OpenItemClick()
{
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Открытие конфигурации"), m_state.ConfigDirectory, QStringLiteral("Описания (*.DES)"));
    if (path.isEmpty())
        return;
    RecentFiles->AddFile(path);
    openConfiguration(path);
}

void TNavigatorForm::SaveItemClick()
{
    // Without a configuration there is no name to save under: the user chooses one.
    if (m_state.ConfigName.isEmpty()) {
        SaveAsItemClick();
        return;
    }
    SaveSummary summary;
    if (trySave(QStringLiteral("сохранение конфигурации"), [this, &summary] { summary = SaveFileSet(*m_workspace); }))
        showDone({true, QStringLiteral("Конфигурация %1").arg(m_state.ConfigName), summary.text()});
}

void TNavigatorForm::SaveAsItemClick()
{
    QFileDialog dialog(this, QStringLiteral("Сохранение конфигурации"), m_state.ConfigDirectory,
        QStringLiteral("Описания (*.DES)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("DES"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();
    SaveSummary summary;
    if (trySave(QStringLiteral("сохранение конфигурации под новым именем"),
            [this, &path, &summary] { summary = SaveConfigurationAs(*m_workspace, path); }))
        showDone({true, QStringLiteral("Конфигурация сохранена как %1").arg(m_state.ConfigName), summary.text()});
    updateTitle();
}

void TNavigatorForm::ExitItemClick()
{
    const QString directory = m_state.ConfigDirectory;
    const QString name = m_state.ConfigName;
    m_state.ConfigDirectory = m_state.DataDirectory;
    m_state.ConfigName = QStringLiteral("temp");
    if (trySave(QStringLiteral("выход с сохранением"), [this] { SaveFileSet(*m_workspace); })) {
        close();
        return;
    }
    // The window stays open so that no work is lost, and a later save still goes to the
    // configuration the user opened, not to the scratch name.
    m_state.ConfigDirectory = directory;
    m_state.ConfigName = name;
}

void TNavigatorForm::ExitWithoutItemClick()
{
    close();
}

// --- Panel clicks ------------------------------------------------------------------------------

void TNavigatorForm::databaseSelection(TCompPanel& block)
{
    if (!m_steps.databaseSelection) {
        QMessageBox::information(this, VerolaApplication::messageTitle(),
            QStringLiteral("Выборка из баз данных в этой версии программы ещё не подключена."));
        return;
    }
    m_state.ui().setContinueFlag(true);
    ActionResult result;
    runCommand(QStringLiteral("выборка из баз данных"),
        [this, &block, &result] { result = verola::DBGeneralPanelClick(*m_workspace, block, m_steps); });
    m_state.ui().progressHide();
    showDone(result);
}

void TNavigatorForm::DBGeneralPanelClick(TCompPanel& block)
{
    m_workspace->activate(&block);
    databaseSelection(block);
}

void TNavigatorForm::RulePanelClick(TCompPanel& block)
{
    ActionResult result;
    runCommand(QStringLiteral("расчет итогов первичной таблицы из БД"), [this, &block, &result] { result = verola::RulePanelClick(*m_workspace, block); });
    showDone(result);
}

void TNavigatorForm::ExtrPanelClick(TCompPanel& block)
{
    ActionResult result;
    runCommand(QStringLiteral("заполнение итоговой таблицы из БД"), [this, &block, &result] { result = verola::ExtrPanelClick(*m_workspace, block); });
    showDone(result);
}

void TNavigatorForm::CalcPanelClick(TCompPanel& block)
{
    ActionResult result;
    runCommand(QStringLiteral("заполнение первичной таблицы расчета"), [this, &block, &result] { result = verola::CalcPanelClick(*m_workspace, block); });
    showDone(result);
}

void TNavigatorForm::EstPanelClick(TCompPanel& block)
{
    ActionResult result;
    runCommand(QStringLiteral("заполнение итоговой таблицы расчета"), [this, &block, &result] { result = verola::EstPanelClick(*m_workspace, block); });
    showDone(result);
}

void TNavigatorForm::CalcDosePanelClick()
{
    ActionResult result;
    runCommand(QStringLiteral("расчет доз и рисков"),
        [this, &result] { result = verola::CalcDosePanelClick(*m_workspace, m_steps); });
    showDone(result);
}

void TNavigatorForm::ConfigButtonClick(TCompPanel& block)
{
    m_workspace->activate(&block);
    const EditorChoice choice = openStructureEditor();
    runCommand(QStringLiteral("пересчет после правки структуры выборки"), [this, choice] {
        actOnEditorChoice(*m_workspace, m_steps, choice, [this](TWorkspace&) { return openStructureEditor(); });
    });
}

void TNavigatorForm::databaseReview(int number)
{
    m_reviewAction->setVisible(true);
    DBReviewComboBox->clear();
    // The review walks the block's databases without making it the active block.
    TReviewList review;
    m_state.ui().setContinueFlag(true);
    runCommand(QStringLiteral("просмотр баз данных"), [this, number, &review] {
        if (number == kDesBlock)
            verola::DBReviewItemClick(*m_workspace, review);
        else
            verola::DBMortalItemClick(*m_workspace, review);
    });
    m_state.ui().progressHide();
    DBReviewComboBox->addItems(review.entries);
}

void TNavigatorForm::DBReviewItemClick()
{
    databaseReview(kDesBlock);
}

void TNavigatorForm::DBMortalItemClick()
{
    databaseReview(kDeathBlock);
}

// --- Table popup menu --------------------------------------------------------------------------

void TNavigatorForm::PopupMenu0Popup(TTablePanel* panel)
{
    m_currentPanel = panel;
    m_workspace->activate(blockOf(panel));
    m_state.currentValueLine = -1;
}

void TNavigatorForm::TableItemClick(QAction* modeItem, bool bringToFront)
{
    if (!m_currentPanel)
        return;
    TTab& table = m_currentPanel->Table();
    const int mode = modeItem ? modeItem->data().toInt() : table.FCompareMode;
    m_plugins->showTableWindow(m_currentPanel, mode, bringToFront);
}

void TNavigatorForm::MapWindowItemClick(bool bringToFront)
{
    if (!m_currentPanel)
        return;
    m_plugins->showMapWindow(m_currentPanel, bringToFront);
}

QString TNavigatorForm::tableFileExtension(const TTablePanel& panel) const
{
    const TCompPanel* block = blockOf(&panel);
    return QString(tableKindLetter(panel.Tag)) + QString::number(block ? block->number() : 0, 16);
}

namespace {

// The table-file dialog: the configuration's name with the table's extension, in its directory.
QString chooseTableFile(QWidget* parent, const QString& title, QFileDialog::AcceptMode mode,
    const QString& directory, const QString& name, const QString& extension)
{
    QFileDialog dialog(parent, title, directory,
        QStringLiteral("Текущий тип таблицы (*.%1);;Все типы таблиц (*.*)").arg(extension));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    dialog.setDefaultSuffix(extension);
    if (mode == QFileDialog::AcceptOpen)
        dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.selectFile(name + u'.' + extension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

} // namespace

void TNavigatorForm::SaveTableItemClick()
{
    if (!m_currentPanel || m_currentPanel->Tag < 0)
        return; // the Sel panel's table is not a table of the configuration
    const QString file = chooseTableFile(this, QStringLiteral("Сохранить таблицу"), QFileDialog::AcceptSave,
        m_state.ConfigDirectory, m_state.ConfigName, tableFileExtension(*m_currentPanel));
    if (!file.isEmpty())
        runCommand(QStringLiteral("сохранение таблицы"), [this, &file] { SaveToFile(m_currentPanel->Table(), file); });
}

void TNavigatorForm::LoadTableItemClick()
{
    if (!m_currentPanel || m_currentPanel->Tag < 0)
        return;
    const QString file = chooseTableFile(this, QStringLiteral("Загрузить таблицу"), QFileDialog::AcceptOpen,
        m_state.ConfigDirectory, m_state.ConfigName, tableFileExtension(*m_currentPanel));
    if (file.isEmpty())
        return;
    TTablePanel* panel = m_currentPanel;
    // A file of another size is another table's (or none): it is refused, the table kept.
    runCommand(QStringLiteral("загрузка таблицы"), [panel, &file] { LoadTableFileOfItsSize(panel->Table(), file); });
    panel->tableChanged(); // a load that failed on the way keeps the cells it read
}

void TNavigatorForm::DBFNameClick(QAction*)
{
    // The action group has already turned the clicked item's check mark over.
    if (!m_currentPanel)
        return;
    const TCompPanel* active = m_workspace->activeBlock();
    const QString field = blockValueFieldName(active ? active->number() : -1);
    QFileDialog dialog(this, QStringLiteral("Сохранить как DBase файл"), m_state.ConfigDirectory,
        QStringLiteral("файлы DBase (*.dbf)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("dbf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString file = dialog.selectedFiles().first();
    const bool names = DBFNameItem->isChecked();
    TTab& table = m_currentPanel->Table();
    runCommand(QStringLiteral("сохранение таблицы в файл dBase"), [this, &table, &file, &field, names] {
        SetXYCoord(*m_workspace, 1, 2, &table);
        ExportDbf(table, file, field, names, 7, 10, 104857600, 20, &m_state.ui(), QStringLiteral("Труба"));
    });
}

void TNavigatorForm::TablePanelDragDrop(TTablePanel* target, TTablePanel* dragged)
{
    runCommand(QStringLiteral("перенос таблицы"), [this, target, dragged] { verola::TablePanelDragDrop(*m_workspace, target, dragged); });
}

// --- Auxiliary windows and help ----------------------------------------------------------------

void TNavigatorForm::ShowIniBtnClick()
{
    TShowIniFileDlg dialog(m_state.ConfigDirectory, m_state.ConfigName, m_state.DataDirectory, this);
    dialog.exec();
}

void TNavigatorForm::DesWindowItemClick()
{
    // For viewing only: its text is read-only.
    TDesForm form(m_state.ConfigDirectory, m_state.ConfigName, this);
    form.exec();
}

void TNavigatorForm::AboutItemClick()
{
    TAboutBox box(this);
    box.exec();
}

void TNavigatorForm::HelpItemClick()
{
    // The program's own window: a desktop without a browser shows the help too.
    if (!m_help)
        m_help = new HelpForm(m_state.programDirectory + QStringLiteral("Help/Index.htm"), this);
    else
        m_help->showPage();
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

HelpForm* TNavigatorForm::helpWindow() const
{
    return m_help;
}

void TNavigatorForm::Internet1Click()
{
    QDesktopServices::openUrl(QUrl(productPage()));
}

// --- Windows of later versions -----------------------------------------------------------------

void TNavigatorForm::windowNotBuilt(const QString& what)
{
    QMessageBox::information(this, VerolaApplication::messageTitle(), windowNotBuiltText(what));
}

EditorChoice TNavigatorForm::openStructureEditor()
{
    windowNotBuilt(QStringLiteral("Структура выборки"));
    return EditorChoice::Cancel;
}

bool TNavigatorForm::openIntervalWindow()
{
    windowNotBuilt(QStringLiteral("Формирование координатных интервалов из баз данных"));
    return false;
}

// --- Plug-in libraries -------------------------------------------------------------------------

void TNavigatorForm::ExpertISCItemClick(QObject* sender)
{
    m_plugins->dispersionModel(false, sender);
}

void TNavigatorForm::CalcISCItemClick(QObject* sender)
{
    m_plugins->dispersionModel(true, sender);
}

void TNavigatorForm::ExpertRiskItemClick(QObject* sender)
{
    m_plugins->exposureModel(false, sender);
}

void TNavigatorForm::CalcRiskItemClick(QObject* sender)
{
    m_plugins->exposureModel(true, sender);
}

void TNavigatorForm::SetPanelBtnClick()
{
    m_plugins->defineDatabases(FlowDiagram->cover(kPolBlock)->isEnabled(), FlowDiagram->cover(kConcBlock)->isEnabled(),
        FlowDiagram->cover(kDesBlock)->isEnabled(), FlowDiagram->cover(kDeathBlock)->isEnabled());
}

void TNavigatorForm::closeEvent(QCloseEvent* event)
{
    m_plugins->closeWindows();
    QMainWindow::closeEvent(event);
}

bool TNavigatorForm::event(QEvent* event)
{
    const int number = static_cast<int>(event->type()) - VEROLA_NOTIFY_EVENT_BASE;
    if (number > 0 && m_plugins && m_plugins->notify(number)) {
        event->accept();
        return true;
    }
    return QMainWindow::event(event);
}

void TNavigatorForm::bringToFront(VerolaWindow window)
{
    auto* widget = static_cast<QWidget*>(window);
    widget->show();
    widget->raise();
    widget->activateWindow();
}

void TNavigatorForm::frontMainWindow(bool showAndFocus)
{
    raise();
    activateWindow();
    if (showAndFocus) {
        show();
        setFocus();
    }
}

void TNavigatorForm::setWaitCursor(bool wait)
{
    if (wait)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

} // namespace verola
