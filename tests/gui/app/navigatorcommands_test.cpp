// The main window's commands driven with the mouse, checked against what the workspace then holds.
#include "gui/app/dialogfeedback.h"
#include "gui/app/navigatorform.h"
#include "gui/flow/navigatordiagram.h"
#include "gui/windows/desform.h"
#include "gui/windows/gaugeform.h"
#include "gui/windows/helpform.h"
#include "core/app/workspace.h"
#include "core/platform/errors.h"
#include "core/platform/textfile.h"
#include "core/tables/tablefile.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <functional>

using namespace verola;
using namespace verola::test;

namespace {

const float M = kMissing;

// Handles each modal window that comes up while it lives, once each.
class ModalHandler {
public:
    explicit ModalHandler(std::function<void(QWidget*)> handler) : m_handler(std::move(handler))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal == m_last)
                return;
            if (qobject_cast<QMessageBox*>(modal) && qobject_cast<QFileDialog*>(modal->parentWidget())) {
                // The file dialog had not read its folder yet when it was answered: it is
                // answered again.
                modal->close();
                m_last = nullptr;
                return;
            }
            m_last = modal;
            m_handler(modal);
            handled = true;
        });
        m_timer.start();
    }
    bool handled = false;

private:
    std::function<void(QWidget*)> m_handler;
    QTimer m_timer;
    QPointer<QWidget> m_last;
};

// Remembers the text of the next message box and closes it.
struct MessageCatcher : ModalHandler {
    MessageCatcher()
        : ModalHandler([this](QWidget* modal) {
              if (auto* box = qobject_cast<QMessageBox*>(modal))
                  text = box->text();
              modal->close();
          })
    {
    }
    QString text;
};

// Chooses a file in the next file dialog, after remembering how it was offered.
struct FileChooser : ModalHandler {
    explicit FileChooser(const QString& path)
        : ModalHandler([this, path](QWidget* modal) {
              auto* dialog = qobject_cast<QFileDialog*>(modal);
              if (!dialog) {
                  if (auto* box = qobject_cast<QMessageBox*>(modal))
                      messages.append(box->text());
                  modal->close();
                  return;
              }
              if (title.isEmpty()) {
                  title = dialog->windowTitle();
                  filters = dialog->nameFilters();
                  offered = dialog->selectedFiles().value(0);
              }
              if (path.isEmpty()) {
                  dialog->reject();
                  return;
              }
              // Typed into the name field, as a person would, and confirmed.
              auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
              ASSERT_NE(name, nullptr);
              name->setText(path);
              // Queued: a complaint of the dialog comes up as a modal window of its own.
              QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
          })
    {
    }
    QString title;
    QStringList filters;
    QString offered;
    QStringList messages;
};

void setList(TTab& table, int axis, const QStringList& list)
{
    table.FLists[axis] = list;
    table.BuildIndex(axis);
    table.Dimension(table.positionCounts());
}

class NavigatorCommands : public ::testing::Test {
protected:
    NavigatorCommands() : scope(system.path())
    {
        // The table window's library is there (though no library), so the table popup menu is enabled.
        writeBytes(program.file(pluginFileName(QStringLiteral("TableView"))), "");
        form = std::make_unique<TNavigatorForm>(state, program.file("verola"));
        feedback = std::make_unique<DialogFeedback>(form.get());
        state.feedback = feedback.get();
        form->show();
    }
    ~NavigatorCommands() override
    {
        form.reset();
        state.feedback = nullptr;
    }

    TCompPanel& block(int number) { return *form->workspace().block(number); }
    CompPanelWidget& view(int number) { return *form->FlowDiagram->blockWidget(number); }
    void rightClick(QWidget* widget)
    {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(4, 4), widget->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(widget, &event);
    }
    // What a person's double click delivers: press, release, double click, release.
    static void doubleClick(QWidget* widget)
    {
        const QPointF at(4, 4);
        QTest::mouseClick(widget, Qt::LeftButton, {}, at.toPoint());
        QMouseEvent twice(QEvent::MouseButtonDblClick, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
            Qt::NoModifier);
        QApplication::sendEvent(widget, &twice);
        QTest::mouseRelease(widget, Qt::LeftButton, {}, at.toPoint());
    }
    // Drags one table panel onto another as the mouse would: enter, then drop; whether it was accepted.
    bool dragOnto(TablePanelWidget* source, TablePanelWidget* target)
    {
        std::unique_ptr<QMimeData> data(source->dragData());
        QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(QPointF(4, 4), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }

    TempFolder system;
    ScopedSystemDirectory scope;
    TempFolder program;
    TempFolder work;
    ProcessState state;
    std::unique_ptr<TNavigatorForm> form;
    std::unique_ptr<DialogFeedback> feedback;
};

const QStringList kPollutants{"Вещества", "\tNO2|T", "\tSO2|T", "\tCO|T"};

} // namespace

TEST_F(NavigatorCommands, CalcClickTakesTheUpstreamSummaryOnlyWhenItIsReady)
{
    TTab& source = block(kPolBlock).Extr->Table();
    setList(source, 0, kPollutants);
    source.SetCell(at({0}), 1);
    source.SetCell(at({1}), 2);
    TTab& target = block(kConcBlock).Calc->Table();
    setList(target, 0, kPollutants);
    for (int axis = 0; axis < kAxisCount; ++axis)
        form->workspace().mapModelInput(block(kConcBlock), axis);
    target.SetCell(at({0}), 42);

    QTest::mouseClick(view(kPolBlock).Switch, Qt::LeftButton); // the emission block's Est: grey
    ASSERT_EQ(block(kPolBlock).SelectedSummary()->Status(), fpsEmpty);
    QTest::mouseClick(view(kConcBlock).Calc, Qt::LeftButton);
    EXPECT_EQ(target.GetCell(at({0})), 42.0f) << "nothing copied from a grey panel";
    EXPECT_EQ(state.ActiveBlock, kConcBlock);

    QTest::mouseClick(view(kPolBlock).Switch, Qt::LeftButton); // back to Extr, which is ready
    QTest::mouseClick(view(kConcBlock).Calc, Qt::LeftButton);
    EXPECT_EQ(target.GetCell(at({0})), 1.0f);
    EXPECT_EQ(target.GetCell(at({1})), 2.0f);
}

TEST_F(NavigatorCommands, DraggingAnExtrPanelOntoAnotherBlocksCalcPanelFillsItsCellsByName)
{
    TTab& source = block(kPolBlock).Extr->Table();
    setList(source, 0, kPollutants);
    for (int i = 0; i < 3; ++i)
        source.SetCell(at({i}), float(i + 1));
    TTab& target = block(kDesBlock).Calc->Table();
    const QStringList targetList{"Вещества", "\tCO|T", "\tNO2|T", "\tPb|T"};
    setList(target, 0, targetList);

    EXPECT_FALSE(dragOnto(view(kPolBlock).Extr, view(kPolBlock).Extr)) << "a panel is not dropped on itself";
    EXPECT_TRUE(dragOnto(view(kPolBlock).Extr, view(kDesBlock).Calc));

    EXPECT_EQ(target.FLists[0], targetList);
    EXPECT_EQ(target.GetCell(at({0})), 3.0f);
    EXPECT_EQ(target.GetCell(at({1})), 1.0f);
    EXPECT_EQ(target.GetCell(at({2})), M);
    EXPECT_EQ(source.GetCell(at({2})), 3.0f);
}

TEST_F(NavigatorCommands, TheSelPanelIsNeitherDraggedNorDroppedOn)
{
    TTab& rule = block(kConcBlock).Rule->Table();
    setList(rule, 0, kPollutants);
    for (int i = 0; i < 3; ++i)
        rule.SetCell(at({i}), float(i + 1));
    TTab& sel = block(kConcBlock).Sel->Table();
    const QStringList selList{"Вещества", "\tCO|T"};
    setList(sel, 0, selList);

    EXPECT_FALSE(view(kConcBlock).Sel->acceptDrops());
    EXPECT_TRUE(view(kConcBlock).Rule->acceptDrops());
    EXPECT_FALSE(dragOnto(view(kConcBlock).Sel, view(kConcBlock).Rule)) << "the Rule panel refuses the Sel panel";
    EXPECT_FALSE(dragOnto(view(kConcBlock).Rule, view(kConcBlock).Sel)) << "the Sel panel refuses a table";
    // Even a drop that arrives without the refused entry changes nothing.
    std::unique_ptr<QMimeData> data(view(kConcBlock).Sel->dragData());
    QDropEvent drop(QPointF(4, 4), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view(kConcBlock).Rule, &drop);
    EXPECT_FALSE(drop.isAccepted());

    EXPECT_EQ(rule.FLists[0], kPollutants);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(rule.GetCell(at({i})), float(i + 1)) << "the Rule table was wiped at " << i;
    EXPECT_EQ(sel.FLists[0], selList);
    EXPECT_EQ(sel.GetCell(at({0})), M);
}

TEST_F(NavigatorCommands, DbaseExportNamesAndCodesFollowTheRadioPair)
{
    state.ConfigDirectory = work.path();
    TTab& table = block(kPolBlock).Extr->Table();
    setList(table, 7, {"Промышленность", "\tЗавод А|T,101", "\tЗавод Б|T,102"});
    table.SetCell(at({0, 0, 0, 0, 0, 0, 0, 0}), 5);
    table.SetCell(at({0, 0, 0, 0, 0, 0, 0, 1}), 6);
    rightClick(view(kPolBlock).Extr);
    EXPECT_TRUE(form->PopupMenu0->isVisible());
    EXPECT_EQ(form->currentTablePanel(), block(kPolBlock).Extr);
    EXPECT_EQ(state.ActiveBlock, kPolBlock);
    form->PopupMenu0->hide();

    // Each click, and what the pair then exports on the industry axis.
    struct Step {
        QAction* item;
        bool namesChecked, codesChecked;
        const char* first;
    };
    const Step steps[] = {
        {form->DBFNameItem, false, false, "Труба_101"}, // the checked item clicked: neither stays checked
        {form->DBFCodeItem, false, true, "Труба_101"},
        {form->DBFNameItem, true, false, "Завод А"},
    };
    int n = 0;
    for (const Step& step : steps) {
        const QString file = work.file(QStringLiteral("export%1.dbf").arg(++n));
        SCOPED_TRACE(file.toStdString());
        FileChooser chooser(file);
        step.item->trigger();
        EXPECT_EQ(chooser.filters, QStringList{QStringLiteral("файлы DBase (*.dbf)")});
        EXPECT_EQ(form->DBFNameItem->isChecked(), step.namesChecked);
        EXPECT_EQ(form->DBFCodeItem->isChecked(), step.codesChecked);
        DBFHandle dbf = DBFOpen(QFile::encodeName(file).constData(), "rb");
        ASSERT_NE(dbf, nullptr) << chooser.messages.join(u'|').toStdString();
        EXPECT_EQ(DBFGetRecordCount(dbf), 2);
        EXPECT_GE(DBFGetFieldIndex(dbf, "POL"), 0) << "the value field is named after the emission block";
        const int industry = DBFGetFieldIndex(dbf, "IndustryId");
        EXPECT_EQ(decodeCp1251(DBFReadStringAttribute(dbf, 0, industry)).trimmed(), QString::fromUtf8(step.first));
        DBFClose(dbf);
    }
}

TEST_F(NavigatorCommands, TableFileDialogsOfferTheConfigurationsNameWithTheTablesExtension)
{
    state.ConfigDirectory = work.path();
    state.ConfigName = QStringLiteral("study");
    TTab& table = block(kConcBlock).Extr->Table();
    setList(table, 0, kPollutants);
    table.SetCell(at({1}), 7);
    rightClick(view(kConcBlock).Extr);
    form->PopupMenu0->hide();
    {
        FileChooser chooser(work.file("study.x1"));
        form->SaveTableItem->trigger();
        EXPECT_EQ(QFileInfo(chooser.offered).fileName(), QStringLiteral("study.x1"));
        EXPECT_EQ(QFileInfo(chooser.offered).absolutePath(), QFileInfo(work.path()).absoluteFilePath());
        EXPECT_EQ(chooser.filters,
            (QStringList{QStringLiteral("Текущий тип таблицы (*.x1)"), QStringLiteral("Все типы таблиц (*.*)")}));
    }
    EXPECT_EQ(QFileInfo(work.file("study.x1")).size(), 4 * table.FCellCount);

    table.SetCell(at({1}), 0);
    FileChooser chooser(work.file("study.x1"));
    form->LoadTableItem->trigger();
    EXPECT_EQ(table.GetCell(at({1})), 7.0f);
}

TEST_F(NavigatorCommands, LoadingAnotherTablesFileIsRefusedAndTheTableKept)
{
    state.ConfigDirectory = work.path();
    state.ConfigName = QStringLiteral("study");
    // The emission block's summary over three pollutants and three districts, saved as a file.
    TTab& emissions = block(kPolBlock).Extr->Table();
    setList(emissions, 0, kPollutants);
    setList(emissions, 1, {"Районы", "\tСевер|T", "\tЮг|T", "\tЦентр|T"});
    emissions.SetCell(at({0, 0}), 143262);
    SaveToFile(emissions, work.file("other.x0"));
    TTab& concentrations = block(kConcBlock).Extr->Table();
    setList(concentrations, 0, kPollutants);
    concentrations.SetCell(at({1}), 7);

    rightClick(view(kConcBlock).Extr);
    form->PopupMenu0->hide();
    FileChooser chooser(work.file("other.x0"));
    form->LoadTableItem->trigger();
    ASSERT_EQ(chooser.messages.size(), 1);
    const QString& text = chooser.messages.first();
    EXPECT_TRUE(text.contains(work.file("other.x0"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("36 байт"))) << "the file's size: " << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("12 байт"))) << "single precision: " << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("24 байт"))) << "double precision: " << text.toStdString();
    EXPECT_EQ(concentrations.FCellCount, 3);
    EXPECT_EQ(concentrations.GetCell(at({0})), M);
    EXPECT_EQ(concentrations.GetCell(at({1})), 7.0f);
}

TEST_F(NavigatorCommands, ClickOnTheProgressWindowStopsTheSelection)
{
    int rounds = 0;
    BlockSteps steps;
    steps.databaseSelection = [&rounds](TWorkspace& workspace, TCompPanel&) {
        Feedback& ui = workspace.state().ui();
        ui.progressShow(QStringLiteral("Выборка"), 100000);
        while (ui.continueFlag() && rounds < 100000) {
            ++rounds;
            ui.progressStatus(0, QStringLiteral("Принято: %1").arg(rounds));
            ui.processEvents();
            QThread::msleep(1);
        }
        return ui.continueFlag() ? SelectionOutcome::Completed : SelectionOutcome::StoppedByUser;
    };
    form->setBlockSteps(steps);
    QTimer::singleShot(100, [this] {
        ASSERT_NE(feedback->progressWindow(), nullptr);
        EXPECT_TRUE(feedback->progressWindow()->isVisible());
        QTest::mouseClick(feedback->progressWindow(), Qt::LeftButton);
    });
    QTest::mouseClick(view(kDeathBlock).Search, Qt::LeftButton);
    EXPECT_GT(rounds, 0);
    EXPECT_LT(rounds, 100000) << "the click stopped the selection";
    EXPECT_EQ(state.ActiveBlock, kDeathBlock);
    EXPECT_FALSE(feedback->progressWindow()->isVisible()) << "hidden once the selection ended";
    EXPECT_EQ(feedback->progressWindow()->StatusPanel(0)->text(), QStringLiteral("Принято: %1").arg(rounds));

    // The next selection starts with the flag set again.
    steps.databaseSelection = [&rounds](TWorkspace& workspace, TCompPanel&) {
        rounds = workspace.state().ui().continueFlag() ? -1 : -2;
        return SelectionOutcome::Completed;
    };
    form->setBlockSteps(steps);
    QTest::mouseClick(view(kDeathBlock).Search, Qt::LeftButton);
    EXPECT_EQ(rounds, -1);
}

TEST_F(NavigatorCommands, ADoubleClickRunsTheClickOnceAndTheDoubleClickOnce)
{
    int selections = 0;
    int doses = 0;
    BlockSteps steps;
    steps.databaseSelection = [&selections](TWorkspace&, TCompPanel&) {
        ++selections;
        return SelectionOutcome::Completed;
    };
    steps.doseCalculation = [&doses](TWorkspace& workspace) {
        ++doses;
        workspace.block(kRiskBlock)->Calc->Table().SetCell(at({0}), 123);
    };
    form->setBlockSteps(steps);
    doubleClick(view(kPolBlock).Search);
    EXPECT_EQ(selections, 2) << "search panel: its click and its double click both select";

    // The dose block's Calc panel: the copy of its click comes first, the dose calculation last.
    TTab& conc = block(kConcBlock).Extr->Table();
    setList(conc, 0, kPollutants);
    conc.SetCell(at({0}), 5);
    TTab& dose = block(kRiskBlock).Calc->Table();
    setList(dose, 0, kPollutants);
    for (int axis = 0; axis < kAxisCount; ++axis)
        form->workspace().mapModelInput(block(kRiskBlock), axis);
    doubleClick(view(kRiskBlock).Calc);
    EXPECT_EQ(doses, 1);
    EXPECT_EQ(dose.GetCell(at({0})), 123.0f) << "no click after the double click copies over the dose";
}

TEST_F(NavigatorCommands, AFailingCommandIsShownAndTheWindowStaysUsable)
{
    BlockSteps steps;
    steps.databaseSelection = [](TWorkspace&, TCompPanel&) -> SelectionOutcome {
        throw EInOutError(QStringLiteral("Не найден файл Regions.dbf"));
    };
    form->setBlockSteps(steps);
    {
        MessageCatcher message;
        QTest::mouseClick(view(kConcBlock).Search, Qt::LeftButton);
        EXPECT_EQ(message.text, QStringLiteral("Не найден файл Regions.dbf"));
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor is gone";

    TTab& rule = block(kConcBlock).Rule->Table();
    setList(rule, 0, kPollutants);
    rule.SetCell(at({2}), 9);
    TTab& extr = block(kConcBlock).Extr->Table();
    setList(extr, 0, kPollutants);
    for (int axis = 0; axis < kAxisCount; ++axis)
        mapAxis(rule, extr, axis);
    QTest::mouseClick(view(kConcBlock).Extr, Qt::LeftButton);
    EXPECT_EQ(extr.GetCell(at({2})), 9.0f) << "the next command runs";
}

TEST_F(NavigatorCommands, WindowsOfLaterVersionsSayTheyAreNotBuilt)
{
    rightClick(view(kConcBlock).Est);
    form->PopupMenu0->hide();
    struct Case {
        std::function<void()> command;
        QString what;
    };
    const Case cases[] = {
        {[this] { QTest::mouseClick(view(kConcBlock).Sel, Qt::LeftButton); }, QStringLiteral("Структура выборки")},
        {[this] { form->ToolButton3->trigger(); },
            QStringLiteral("Формирование координатных интервалов из баз данных")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what.toStdString());
        MessageCatcher message;
        c.command();
        EXPECT_EQ(message.text, TNavigatorForm::windowNotBuiltText(c.what));
        EXPECT_TRUE(message.text.contains(QStringLiteral("в данной версии программы ещё не построено")));
    }
}

TEST_F(NavigatorCommands, PluginCommandsWhoseLibrariesCannotBeLoadedSaySo)
{
    rightClick(view(kConcBlock).Est);
    form->PopupMenu0->hide();
    struct Case {
        std::function<void()> command;
        QString message;
    };
    const Case cases[] = {
        {[this] { form->PopupMenu0->actions().at(1)->trigger(); }, QStringLiteral("Не могу загрузить TableView.dll")},
        {[this] { form->MapWindowItemClick(); }, QStringLiteral("Не могу загрузить MapView.dll")},
        {[this] { form->CalcISCItem->trigger(); }, QStringLiteral("Не загружено DispersionModel.dll")},
        // Their menu items are disabled without the libraries; the commands still say why nothing happens.
        {[this] { form->ExpertRiskItemClick(nullptr); }, QStringLiteral("Не загружено ExposureModel.dll")},
        {[this] { form->SetPanelBtnClick(); }, QStringLiteral("Не загружено DbSetup.dll")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        MessageCatcher message;
        c.command();
        EXPECT_EQ(message.text, c.message);
    }
    EXPECT_TRUE(form->PopupMenu0->actions().at(1)->isChecked()) << "\"Минус фон\" is the mode now";
    EXPECT_EQ(form->plugins().tableWindow(), nullptr);
    EXPECT_TRUE(state.dispersionModelRunning) << "a run that could not start leaves its flag for the next click";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(NavigatorCommands, DatabaseReviewLeavesTheActiveBlockAndShowsTheReviewList)
{
    ASSERT_EQ(state.ActiveBlock, kConcBlock);
    ASSERT_FALSE(form->DBReviewComboBox->isVisibleTo(form.get()));
    rightClick(view(kDesBlock).Search);
    ASSERT_TRUE(form->DBDisPopup->isVisible());
    QAction* review = form->DBDisPopup->actions().first();
    EXPECT_EQ(review->text(), QStringLiteral("Обзор  БД"));
    {
        MessageCatcher messages; // no database description here: whatever the review says is closed
        review->trigger();
    }
    form->DBDisPopup->hide();
    QApplication::processEvents();
    EXPECT_FALSE(state.databaseReview);
    EXPECT_EQ(state.ActiveBlock, kConcBlock);
    EXPECT_TRUE(form->DBReviewComboBox->isVisibleTo(form.get()));
    EXPECT_EQ(form->DBReviewComboBox->placeholderText(), QStringLiteral("Обзор БД"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(NavigatorCommands, MenusCarryTheirCaptionsAndHints)
{
    auto captions = [](QMenu* menu) {
        QStringList texts;
        for (QAction* action : menu->actions())
            texts.append(action->text());
        return texts;
    };
    EXPECT_EQ(captions(form->DataBaseItem), (QStringList{"Файл  установок БД", "Файл задания БД", "БД -> интервалы"}));
    EXPECT_EQ(captions(form->WindowItem),
        (QStringList{"Таблица", "Карта", "Модель рассеяния", "Модель экспозиции", "Описание выборки"}));
    EXPECT_EQ(captions(form->PopupMenu0), (QStringList{"Таблица", "Минус фон", "Относительно фона", "", "Сохранить",
                                              "Загрузить", "", "Сохранить как DBase файл"}));
    EXPECT_EQ(form->ToolButtonTableWindow->toolTip(), QStringLiteral("Окно таблицы"));
    EXPECT_TRUE(form->ToolButtonTableWindow->isEnabled());
    EXPECT_FALSE(form->ToolButtonMapWindow->isEnabled()) << "no map window library";
    Q_EMIT form->WindowItem->aboutToShow();
    EXPECT_FALSE(form->MapWindowItem->isEnabled());
    EXPECT_FALSE(form->DBDefineItem->isEnabled());
    EXPECT_FALSE(form->ToolButton15->isEnabled());
}

namespace {

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

} // namespace

TEST_F(NavigatorCommands, HelpShowsThePageBesideTheProgramInItsOwnWindowAndTheProductPageOutside)
{
    ASSERT_TRUE(QDir(program.path()).mkdir("Help"));
    writeBytes(program.file("Help/Index.htm"),
        "<html><head><meta charset=\"utf-8\"><title>Верола — справка</title></head><body>"
        "<p><img src=\"panel.png\"></p><p><a href=\"second.htm\">Дальше</a></p></body></html>");
    writeBytes(program.file("Help/second.htm"),
        "<html><head><meta charset=\"utf-8\"><title>Вторая страница</title></head><body>Вторая</body></html>");
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(program.file("Help/panel.png")));
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    Q_EMIT form->HelpMenuItem->aboutToShow();
    EXPECT_EQ(form->HelpItem->toolTip(), QDir::toNativeSeparators(program.file("Help/Index.htm")));
    form->HelpItem->trigger();
    HelpForm* help = form->helpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Верола — справка"));
    const QVariant image = help->Browser->document()->resource(QTextDocument::ImageResource, QUrl("panel.png"));
    EXPECT_FALSE(qvariant_cast<QImage>(image).isNull()) << "the picture beside the page";

    // A click on the link shows the page it names in the same window.
    QTextCursor link = help->Browser->document()->find(QStringLiteral("Дальше"));
    ASSERT_FALSE(link.isNull());
    link.setPosition(link.selectionStart() + 2);
    const QPoint at = help->Browser->cursorRect(link).center();
    QTest::mouseClick(help->Browser->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Вторая страница"));
    form->HelpItem->trigger();
    EXPECT_EQ(form->helpWindow(), help) << "one help window";
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Верола — справка"));

    form->Internet1->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    EXPECT_EQ(recorder.urls, QList<QUrl>{QUrl(TNavigatorForm::productPage())}) << "the help needs no browser";
}

TEST_F(NavigatorCommands, HelpWithoutItsPageSaysWhereThePageShouldBe)
{
    form->HelpItem->trigger();
    ASSERT_NE(form->helpWindow(), nullptr);
    EXPECT_TRUE(form->helpWindow()->Browser->toPlainText().contains(
        QStringLiteral("Не могу показать справку: файла %1 нет").arg(QDir::toNativeSeparators(program.file("Help/Index.htm")))));
}

TEST_F(NavigatorCommands, TheStartMessageComesBeforeTheDescriptionOfTheConfigurationOnTheCommandLine)
{
    writeTextLines(work.file("a.DES"), {"Первая"});
    const QString missing = QStringLiteral("Не могу загрузить Optimizer.dll");
    QStringList seen; // the windows a person has in front of them, in turn
    ModalHandler person([&seen](QWidget* modal) {
        if (auto* des = qobject_cast<TDesForm*>(modal)) {
            seen.append(QStringLiteral("описание"));
            QTest::mouseClick(des->ContinueButton, Qt::LeftButton);
            return;
        }
        auto* box = qobject_cast<QMessageBox*>(modal);
        seen.append(box ? box->text() : modal->objectName());
        modal->close();
    });
    feedback->holdMessages();
    feedback->message(missing);
    finishStart(*form, *feedback, {QStringLiteral("verola"), work.file("a.DES")});
    EXPECT_EQ(seen, (QStringList{missing, QStringLiteral("описание")}));
    EXPECT_EQ(state.ConfigName, QStringLiteral("a"));
}

TEST_F(NavigatorCommands, TheDemoStudyOpensAfterItsDescriptionAndSaves)
{
    const QDir demo(QStringLiteral(VEROLA_PROGRAM_DIR "/eco/work"));
    for (const QString& name : demo.entryList({QStringLiteral("Demo.*")}, QDir::Files))
        QFile::copy(demo.filePath(name), work.file(name));
    QString shown;
    QStringList others;
    ModalHandler description([&shown, &others](QWidget* modal) {
        if (auto* des = qobject_cast<TDesForm*>(modal)) {
            shown = des->lines().value(0);
            QTest::mouseClick(des->ContinueButton, Qt::LeftButton);
            return;
        }
        auto* box = qobject_cast<QMessageBox*>(modal);
        others.append(box ? box->text() : modal->objectName());
        modal->close();
    });
    form->openConfiguration(work.file("Demo.DES"));
    EXPECT_EQ(shown, readTextLines(work.file("Demo.DES")).value(0));
    EXPECT_EQ(others, QStringList());
    EXPECT_EQ(state.ConfigName, QStringLiteral("Demo"));
    EXPECT_EQ(form->windowTitle(), form->workspace().caption);
    EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("Demo ")));

    QFile::remove(work.file("Demo.x1"));
    form->SaveItem->trigger();
    EXPECT_TRUE(QFile::exists(work.file("Demo.x1")));
}

namespace {

// The gauge values the progress window was painted with.
class GaugePaints : public QObject {
public:
    GaugePaints() { qApp->installEventFilter(this); }
    ~GaugePaints() override { qApp->removeEventFilter(this); }
    QList<int> values;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* gauge = qobject_cast<QProgressBar*>(watched);
        if (event->type() == QEvent::Paint && gauge && qobject_cast<TGaugeForm*>(gauge->window()))
            values.append(gauge->value());
        return false;
    }
};

} // namespace

TEST_F(NavigatorCommands, TheProgressWindowIsPaintedAsTheSaveGoesOn)
{
    writeTextLines(work.file("a.DES"), {"Первая"});
    writeTextLines(work.file("a.map"), {"объект"});
    ModalHandler person([](QWidget* modal) {
        if (auto* des = qobject_cast<TDesForm*>(modal))
            QTest::mouseClick(des->ContinueButton, Qt::LeftButton);
        else
            modal->close();
    });
    form->openConfiguration(work.file("a.DES"));
    ASSERT_EQ(state.ConfigName, QStringLiteral("a"));
    GaugePaints paints;
    form->SaveItem->trigger();
    ASSERT_TRUE(QFile::exists(work.file("a.x1")));
    ASSERT_FALSE(paints.values.isEmpty()) << "the window was never painted";
    EXPECT_GT(*std::max_element(paints.values.begin(), paints.values.end()), 1) << "painted after the steps";
}

TEST_F(NavigatorCommands, TheDescriptionIsEditableOnlyWhenASaveUnderANewNameKeepsIt)
{
    writeTextLines(work.file("a.DES"), {"Первая"});
    writeTextLines(work.file("a.map"), {"объект"});
    QStringList shown; // what the description window held after typing, per window
    QString chosen;
    ModalHandler person([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(chosen);
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        } else if (auto* des = qobject_cast<TDesForm*>(modal)) {
            des->Memo->setFocus();
            QTest::keyClick(des->Memo, Qt::Key_End, Qt::ControlModifier);
            QTest::keyClicks(des->Memo, QStringLiteral(" plus"));
            shown.append(des->lines().join(u'|'));
            QTest::mouseClick(des->ContinueButton, Qt::LeftButton);
        } else {
            modal->close();
        }
    });
    form->openConfiguration(work.file("a.DES"));
    form->DesWindowItem->trigger();
    chosen = work.file("b.DES");
    form->SaveAsItem->trigger();
    EXPECT_EQ(shown, (QStringList{"Первая", "Первая", "Первая plus"})) << "opening, viewing, saving as";
    EXPECT_EQ(readTextLines(work.file("b.DES")), QStringList{"Первая plus"});
    EXPECT_EQ(readTextLines(work.file("a.DES")), QStringList{"Первая"});
}

TEST_F(NavigatorCommands, TheStatusBarSaysWhatASelectionAndASaveDid)
{
    TTab& rule = block(kPolBlock).Rule->Table();
    setList(rule, 0, kPollutants);
    BlockSteps steps;
    steps.databaseSelection = [](TWorkspace&, TCompPanel& selected) {
        selected.Rule->Table().SetCell(at({0}), 1.5f);
        selected.Rule->Table().SetCell(at({2}), 2.5f);
        SelectionResult result(SelectionOutcome::Completed);
        result.accepted = 7;
        return result;
    };
    form->setBlockSteps(steps);
    const int cells = rule.FCellCount;
    QTest::mouseClick(view(kPolBlock).Search, Qt::LeftButton);
    const QString selected = form->StatusBar1->currentMessage();
    EXPECT_TRUE(selected.startsWith(QStringLiteral("блок 0: выборка из баз данных выполнена: принято записей: 7, заполнено ячеек первичной таблицы: 2 из %1, ").arg(cells)))
        << selected.toStdString();
    EXPECT_TRUE(selected.endsWith(QStringLiteral(" с"))) << selected.toStdString();

    writeTextLines(work.file("a.DES"), {"Первая"});
    writeTextLines(work.file("a.map"), {"объект"});
    ModalHandler person([](QWidget* modal) {
        if (auto* des = qobject_cast<TDesForm*>(modal))
            QTest::mouseClick(des->ContinueButton, Qt::LeftButton);
        else
            modal->close();
    });
    form->openConfiguration(work.file("a.DES"));
    form->SaveItem->trigger();
    const QString saved = form->StatusBar1->currentMessage();
    const int written = QDir(work.path()).entryList({QStringLiteral("a.*")}, QDir::Files).size() - 1; // but a.DES
    EXPECT_TRUE(saved.startsWith(QStringLiteral("Конфигурация a: сохранено файлов: %1, ").arg(written))) << saved.toStdString();
}

TEST_F(NavigatorCommands, ARefusedOpenAndAFailedSaveAsLeaveTheTitleOfTheOpenConfiguration)
{
    writeTextLines(work.file("a.DES"), {"Первая"});
    writeTextLines(work.file("a.map"), {"объект"});
    writeTextLines(work.file("b.DES"), {"Вторая"});
    QString chosen;
    bool continueDescription = true;
    QStringList messages;
    ModalHandler person([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(chosen);
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        } else if (auto* des = qobject_cast<TDesForm*>(modal)) {
            QTest::mouseClick(continueDescription ? des->ContinueButton : des->RefuseButton, Qt::LeftButton);
        } else {
            auto* box = qobject_cast<QMessageBox*>(modal);
            messages.append(box ? box->text() : modal->objectName());
            modal->close();
        }
    });
    form->openConfiguration(work.file("a.DES"));
    const QString title = form->windowTitle();
    ASSERT_EQ(title, QStringLiteral("a Первая"));

    chosen = work.file("b.DES");
    continueDescription = false;
    form->OpenItem->trigger();
    EXPECT_EQ(form->windowTitle(), title);
    EXPECT_EQ(state.ConfigName, QStringLiteral("a"));

    ASSERT_TRUE(QDir(work.path()).mkdir("copy.map"));
    chosen = work.file("copy.DES");
    continueDescription = true;
    form->SaveAsItem->trigger();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(QStringLiteral("\"%1\": это каталог").arg(work.file("copy.map"))))
        << messages.first().toStdString();
    EXPECT_EQ(form->windowTitle(), title);
    EXPECT_EQ(state.ConfigName, QStringLiteral("a"));
    EXPECT_FALSE(QFile::exists(work.file("copy.DES")));

    form->SaveItem->trigger();
    EXPECT_TRUE(QFile::exists(work.file("a.x1"))) << "a save writes the configuration the title names";
    EXPECT_FALSE(QFile::exists(work.file("b.x1")));
}

#include "navigatorcommands_test.moc"
