// The flow diagram's widgets driven with the mouse, checked against what the workspace holds
// and what they paint.
#include "gui/flow/navigatordiagram.h"
#include "core/app/workspace.h"
#include "testsupport.h"

#include <QApplication>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

class DiagramTest : public ::testing::Test {
protected:
    DiagramTest() : scope(system.path()), workspace(state), diagram(workspace, nullptr)
    {
        diagram.decorate();
        diagram.resize(diagram.minimumSize());
    }

    CompPanelWidget& block(int number) { return *diagram.blockWidget(number); }
    // The colour painted at a point of a widget.
    static QColor paintedAt(QWidget& widget, QPoint point)
    {
        return widget.grab().toImage().pixelColor(point);
    }

    TempFolder system;
    ScopedSystemDirectory scope;
    ProcessState state;
    TWorkspace workspace;
    NavigatorDiagram diagram;
};

const QColor kGreen(0, 128, 0);

} // namespace

TEST_F(DiagramTest, SwitchClickSelectsTheOtherSummaryAndGreysTheDownstreamPanels)
{
    TCompPanel& pol = *block(kPolBlock).block();
    TCompPanel& conc = *block(kConcBlock).block();
    SwitchFluxWidget& arrow = *block(kPolBlock).Switch;
    ASSERT_EQ(pol.Switch->TermIn(), 2);
    ASSERT_EQ(conc.Calc->Status(), fpsReady);
    // Terminal 2 of an eastward switch sits 8 pixels from the top: its upper line is at 6.
    const auto lines = SwitchFluxWidget::arrowLines(*pol.Switch, arrow.width(), arrow.height());
    EXPECT_EQ(lines.first.p1(), QPoint(0, 6));
    EXPECT_EQ(paintedAt(arrow, QPoint(0, 6)), kGreen);

    QTest::mouseClick(&arrow, Qt::LeftButton);

    EXPECT_EQ(pol.Switch->TermIn(), 1);
    EXPECT_EQ(pol.Switch->Status(), fpsEmpty); // the emission block's Est is empty
    EXPECT_EQ(conc.Calc->Status(), fpsEmpty);
    EXPECT_EQ(conc.Est->Status(), fpsEmpty);
    const QColor grey = statusColor(fpsEmpty);
    EXPECT_EQ(paintedAt(arrow, QPoint(0, arrow.height() - 10)), grey) << "terminal 1 at H - 8";

    QTest::mouseClick(&arrow, Qt::LeftButton);
    EXPECT_EQ(pol.Switch->TermIn(), 2);
    EXPECT_EQ(conc.Est->Status(), fpsReady);
}

TEST_F(DiagramTest, StatusesPassDownstreamAndColourThePanels)
{
    TCompPanel& conc = *block(kConcBlock).block();
    TCompPanel& dose = *block(kRiskBlock).block();
    FluxPanelWidget& doseCalc = *block(kRiskBlock).Calc;
    EXPECT_EQ(dose.Calc->Status(), fpsReady);
    const QImage ready = doseCalc.grab().toImage();

    conc.Rule->SetStatus(fpsBusy); // Rule -> Extr -> conc switch (input 2) -> dose Calc -> dose Est
    EXPECT_EQ(conc.Extr->Status(), fpsBusy);
    EXPECT_EQ(dose.Calc->Status(), fpsBusy);
    EXPECT_EQ(dose.Est->Status(), fpsBusy);
    EXPECT_EQ(statusColor(fpsBusy), QColor(255, 0, 0));
    EXPECT_EQ(statusColor(fpsSelected), QColor(0, 255, 0));
    // Any status but ready shows the right half of the picture.
    EXPECT_NE(doseCalc.grab().toImage(), ready);

    conc.Rule->SetStatus(fpsReady);
    EXPECT_EQ(dose.Est->Status(), fpsReady);
    EXPECT_EQ(doseCalc.grab().toImage(), ready);
}

TEST_F(DiagramTest, PanelPicturesHaveWhiteMadeTransparentAndTwoHalves)
{
    const QImage picture = block(kPolBlock).Search->picture();
    ASSERT_EQ(picture.size(), QSize(48, 24));
    EXPECT_EQ(picture.pixelColor(0, 0).alpha(), 0) << "white corner";
    bool opaque = false;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            opaque |= picture.pixelColor(x, y).alpha() == 255;
    EXPECT_TRUE(opaque);
    // The panel's face shows through the transparent corner.
    FluxPanelWidget& search = *block(kPolBlock).Search;
    EXPECT_EQ(paintedAt(search, QPoint(2, 2)), search.palette().color(QPalette::Button));
}

TEST_F(DiagramTest, BlocksLayOutTheirPartsByDirection)
{
    struct Case {
        TfpDirection direction;
        QSize size;
        QPoint search, rule, extr, calc, est, sel;
        QRect flux;
    };
    const Case cases[] = {
        {fpdNord, {104, 96}, {0, 72}, {40, 72}, {48, 32}, {80, 72}, {72, 32}, {0, 32}, {56, 0, 40, 32}},
        {fpdWest, {96, 104}, {72, 80}, {72, 40}, {32, 32}, {72, 0}, {32, 8}, {32, 80}, {0, 8, 32, 40}},
        {fpdSouth, {104, 96}, {80, 0}, {40, 0}, {32, 40}, {0, 0}, {8, 40}, {80, 40}, {8, 64, 40, 32}},
        {fpdEast, {96, 104}, {10, 8}, {10, 56}, {50, 64}, {10, 104}, {50, 96}, {50, 8}, {64, 72, 32, 40}},
    };
    CompPanelWidget& b = block(kDesBlock);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.direction);
        b.setDirection(c.direction);
        EXPECT_EQ(b.size(), c.size);
        EXPECT_EQ(b.Search->pos(), c.search);
        EXPECT_EQ(b.Rule->pos(), c.rule);
        EXPECT_EQ(b.Extr->pos(), c.extr);
        EXPECT_EQ(b.Calc->pos(), c.calc);
        EXPECT_EQ(b.Est->pos(), c.est);
        EXPECT_EQ(b.Sel->pos(), c.sel);
        EXPECT_EQ(b.Switch->geometry(), c.flux);
        EXPECT_EQ(b.block()->Switch->Direction(), c.direction) << "the switch turns with the block";
    }
}

TEST(SwitchArrow, LinesRunBetweenTheSelectedTerminalsOfEachDirection)
{
    ProcessState state;
    TWorkspace workspace(state);
    TSwitchFlux& flux = *workspace.block(kConcBlock)->Switch; // two inputs, two outputs, output 1 chosen
    struct Case {
        TfpDirection direction;
        int termIn;
        QLine first, second;
    };
    const int W = 40, H = 32;
    const Case cases[] = {
        {fpdNord, 1, QLine(W - 8 - 2, H, W - 8 - 2, 0), QLine(W - 8 + 2, H, W - 8 + 2, 0)},
        {fpdNord, 2, QLine(8 - 2, H, W - 8 - 2, 0), QLine(8 + 2, H, W - 8 + 2, 0)},
        {fpdSouth, 2, QLine(W - 8 - 2, 0, 8 - 2, H), QLine(W - 8 + 2, 0, 8 + 2, H)},
        {fpdWest, 2, QLine(W, H - 8 - 2, 0, 8 - 2), QLine(W, H - 8 + 2, 0, 8 + 2)},
        {fpdEast, 2, QLine(0, 8 - 2, W, H - 8 - 2), QLine(0, 8 + 2, W, H - 8 + 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.direction * 10 + c.termIn);
        flux.SetDirection(c.direction);
        flux.SetTermIn(c.termIn);
        const auto [first, second] = SwitchFluxWidget::arrowLines(flux, W, H);
        EXPECT_EQ(first, c.first);
        EXPECT_EQ(second, c.second);
    }
    // One input and one output eastwards: both ends on the bottom edge, the second line below it.
    flux.SetDirection(fpdEast);
    flux.SetTermInNo(1);
    flux.SetTermOutNo(1);
    const auto [first, second] = SwitchFluxWidget::arrowLines(flux, W, H);
    EXPECT_EQ(first, QLine(0, H - 2, W, H - 2));
    EXPECT_EQ(second, QLine(0, H + 2, W, H + 2));
}

TEST_F(DiagramTest, ClickingACoverUncoversItsBlockAndCoversTheOthers)
{
    diagram.show();
    for (int number = 0; number < kBlockCount; ++number)
        diagram.cover(number)->setBlockVisible(true);
    QTest::mouseClick(diagram.cover(kDesBlock), Qt::LeftButton);
    QTest::mouseClick(diagram.cover(kConcBlock), Qt::LeftButton);
    for (int number = 0; number < kBlockCount; ++number)
        EXPECT_EQ(diagram.cover(number)->isVisible(), number != kConcBlock) << number;
    // A block kind switched off in the settings: the cover stays and its caption is grey.
    diagram.cover(kPolBlock)->setBlockVisible(false);
    QTest::mouseClick(diagram.cover(kPolBlock), Qt::LeftButton);
    EXPECT_TRUE(diagram.cover(kPolBlock)->isVisible());
    EXPECT_EQ(diagram.cover(kPolBlock)->palette().color(QPalette::Disabled, QPalette::WindowText), QColor(128, 128, 128));
    EXPECT_EQ(diagram.cover(kRiskBlock)->text(), QStringLiteral("Инд. риск"));
    EXPECT_EQ(diagram.cover(kRiskBlock)->palette().color(QPalette::Window), QColor(128, 128, 0));
    EXPECT_EQ(diagram.unitLabel(kDesBlock)->text(), QStringLiteral(" на 100000 чел. "));
}

TEST_F(DiagramTest, EveryPanelShowsItsHint)
{
    CompPanelWidget& b = block(kConcBlock);
    EXPECT_EQ(b.Search->toolTip(), QStringLiteral("Поиск в базе данных"));
    EXPECT_EQ(b.Rule->toolTip(), QStringLiteral("Импорт данных в первичную таблицу"));
    EXPECT_EQ(b.Extr->toolTip(), QStringLiteral("Формирование итоговой таблицы данных"));
    EXPECT_EQ(b.Calc->toolTip(), QStringLiteral("Импорт результатов модельного расчета"));
    EXPECT_EQ(b.Est->toolTip(), QStringLiteral("Формирование итоговой таблицы модельного расчета"));
    EXPECT_EQ(b.Sel->toolTip(), QStringLiteral("Задание координатных интервалов для выборки"));
    EXPECT_EQ(diagram.ButtonRisk->toolTip(), QStringLiteral("Автоматический расчет по модели риска"));
    EXPECT_EQ(diagram.ButtonISC3->toolTip(), QStringLiteral("Автоматический расчет по модели рассеяния"));
}
