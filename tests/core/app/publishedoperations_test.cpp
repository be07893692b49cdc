#include "core/app/publishedoperations.h"
#include "core/platform/errors.h"
#include "workspacefixture.h"

#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

TEST_F(WorkspaceTest, EveryOperationOfTheMainWindowIsPublishedByName)
{
    const char* const names[] = {"DBPolPanelClick", "DBConcPanelClick", "DBDesPanelClick", "DBDeathPanelClick",
        "CalculateItemClick", "ToTableConcItemClick", "FromDBDesCalcItemClick", "ToTableDesItemClick",
        "FromDBDeathCalcItemClick", "FromDBPolCalcItemClick", "FromtablePolCalcItemClick", "FromDBConcCalcItemClick",
        "FromTableConcCalcItemClick", "ToModelConcItemClick", "ToModelRiskItemClick", "FromISCModel", "DBOperClick",
        "DBEmissMeteoOperClick", "DBToTabOperClick", "LoadEmissAndMeteoOperClick", "GroupSrcDataOperClick",
        "EmissGroupOperClick", "GroupModelConcOperClick", "GroupModelResultOperClick", "RiscCalcOperClick",
        "SpeedButtonRiskModelClick", "SpeedButtonRiskExpertClick", "SpeedButtonClick",
        "SaveRestoreImageListsItemClick", "TransTabClick", "PanelAnalysisDragOver", "GetActivePanelName",
        "GetCoordName", "GetCoordNum", "GetActiveNum", "SetActiveNum", "GetListCoord", "SetXYCoord",
        "CanDoReference", "CanDoOneCoordRef"};
    for (const char* name : names)
        EXPECT_TRUE(isPublishedOperation(QString::fromLatin1(name))) << name;
    EXPECT_FALSE(isPublishedOperation(QStringLiteral("getactivenum"))); // names are exact
}

TEST_F(WorkspaceTest, PublishedOperationsTakeTheirArgumentsAsTexts)
{
    const BlockSteps steps;
    const auto call = [&](const char* name, const QStringList& arguments = {}) {
        const PublishedAnswer answer = CallPublishedOperation(workspace, steps, QString::fromLatin1(name), arguments);
        EXPECT_TRUE(answer.found) << name;
        return answer.text;
    };
    EXPECT_EQ(call("SetActiveNum", {"3"}), QString());
    EXPECT_EQ(call("GetActiveNum"), QStringLiteral("3"));
    EXPECT_EQ(state.UpstreamBlock, 2);
    EXPECT_EQ(call("GetActivePanelName"), QStringLiteral("Заболеваемость"));
    const QString caption = call("GetCoordName", {"2"});
    EXPECT_FALSE(caption.isEmpty());
    EXPECT_EQ(call("GetCoordNum", {caption.toUpper()}), QStringLiteral("2"));

    setList(block(1).Extr->Table(), 0, {"Вещества", "\tNO2|T", "\tSO2|T"});
    setList(block(2).Calc->Table(), 0, {"Вещества", "\tNO2|C", "\tSO2|C", "\tPb|C"});
    EXPECT_EQ(call("GetListCoord", {"1"}), state.coordinateCaptionList.at(0) + QStringLiteral("=2"));
    EXPECT_EQ(call("CanDoReference", {"1.extr", "2.calc", "1"}), QStringLiteral("true"));
    EXPECT_EQ(call("CanDoReference", {"2.calc", "1.extr", "0"}), QStringLiteral("false"));
    EXPECT_EQ(call("CanDoOneCoordRef", {"1.extr", "2.calc", "0"}), QStringLiteral("true"));
    EXPECT_EQ(call("PanelAnalysisDragOver", {"2.calc", "1.extr"}), QStringLiteral("true"));
    EXPECT_EQ(call("PanelAnalysisDragOver", {"2.calc", "2.calc"}), QStringLiteral("false"));

    call("SetXYCoord", {"0", "2", "1.extr"});
    EXPECT_EQ(block(1).Extr->Table().FSlice[0], -1);
    EXPECT_EQ(block(1).Extr->Table().FSlice[2], -2);
    call("SetXYCoord", {"0", "2"});
    EXPECT_EQ(feedback.messages.value(0), QStringLiteral("Таблица не определена"));

    EXPECT_FALSE(CallPublishedOperation(workspace, steps, QStringLiteral("NoSuchOperation")).found);
}

TEST_F(WorkspaceTest, TransTabClickCarriesTheUpstreamSummaryThroughOneTransferPanel)
{
    setList(block(1).Extr->Table(), 0, {"Вещества", "\tNO2|T", "\tSO2|T"});
    block(1).Extr->Table().SetCell(at({1}), 7.0f);
    block(1).Switch->SetTermIn(2); // the switch takes Extr
    block(1).Extr->SetStatus(fpsReady);
    setList(block(3).Calc->Table(), 0, {"Вещества", "\tSO2|C"});
    const BlockSteps steps;

    const QString first = CallPublishedOperation(workspace, steps, QStringLiteral("TransTabClick"), {"1", "3"}).text;
    EXPECT_EQ(block(3).Calc->Table().GetCell(at({0})), 7.0f);
    const size_t components = workspace.Components().size();
    const QString second = CallPublishedOperation(workspace, steps, QStringLiteral("TransTabClick"), {"1", "3"}).text;
    EXPECT_EQ(second, first);
    EXPECT_EQ(workspace.Components().size(), components); // the panel made first is used again
}

TEST_F(WorkspaceTest, ArgumentsThatDoNotFitAreRefusedWithTheirPlace)
{
    const BlockSteps steps;
    const struct {
        const char* name;
        QStringList arguments;
        const char* says;
    } cases[] = {
        {"GetCoordName", {}, "GetCoordName: не задан аргумент 1"},
        {"SetActiveNum", {"three"}, "SetActiveNum: аргумент 1 (\"three\") не является целым числом"},
        {"CanDoReference", {"1.extr", "9.calc", "0"}, "CanDoReference: аргумент 2 (\"9.calc\") не является таблицей вида 1.extr"},
        {"CanDoReference", {"1.extr", "2.calc", "300"}, "CanDoReference: тип должен быть числом от 0 до 255"},
        {"PanelAnalysisDragOver", {"1.extr", "1.table"}, "PanelAnalysisDragOver: аргумент 2 (\"1.table\") не является таблицей вида 1.extr"},
        {"TransTabClick", {"2", "2"}, "TransTabClick: нужны два разных блока из 0..4"},
    };
    for (const auto& c : cases) {
        try {
            CallPublishedOperation(workspace, steps, QString::fromLatin1(c.name), c.arguments);
            ADD_FAILURE() << c.name << " accepted " << c.arguments.join(u',').toStdString();
        } catch (const EConvertError& error) {
            EXPECT_EQ(error.message(), QString::fromUtf8(c.says)) << c.name;
        }
    }
}
