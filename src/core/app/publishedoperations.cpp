#include "core/app/publishedoperations.h"

#include "core/app/transfer.h"
#include "core/app/workspace.h"
#include "core/platform/errors.h"

#include <QMap>

namespace verola {

namespace {

using Plain = std::function<void(TWorkspace&, const BlockSteps&)>;
using Operation = std::function<QString(TWorkspace&, const BlockSteps&, const QStringList&)>;

int termIn(TWorkspace& workspace, int number)
{
    return workspace.block(number)->Switch->TermIn();
}

void toTableConc(TWorkspace& w, const BlockSteps& s)
{
    selectionRuleExtr(w, s, kConcBlock);
}

void fromTableConcCalc(TWorkspace& w, const BlockSteps& s)
{
    doseAndEst(w, s);
}

void fromDBConcCalc(TWorkspace& w, const BlockSteps& s)
{
    toTableConc(w, s);
    if (termIn(w, kConcBlock) == 2)
        fromTableConcCalc(w, s);
}

void fromtablePolCalc(TWorkspace& w, const BlockSteps& s)
{
    if (termIn(w, kPolBlock) == 2) {
        fromDBConcCalc(w, s);
        w.state().doseChainPending = true;
    }
}

void fromDBPolCalc(TWorkspace& w, const BlockSteps& s)
{
    selectionRuleExtr(w, s, kPolBlock);
    fromtablePolCalc(w, s);
}

Plain selectionOf(int number)
{
    return [number](TWorkspace& w, const BlockSteps& s) { DBGeneralPanelClick(w, *w.block(number), s); };
}

Plain summarizeOf(int number)
{
    return [number](TWorkspace& w, const BlockSteps&) { RulePanelClick(w, *w.block(number)); };
}

Plain groupDataOf(int number)
{
    return [number](TWorkspace& w, const BlockSteps&) { ExtrPanelClick(w, *w.block(number)); };
}

Plain groupModelOf(int number)
{
    return [number](TWorkspace& w, const BlockSteps&) { EstPanelClick(w, *w.block(number)); };
}

Plain selectionRuleExtrOf(int number)
{
    return [number](TWorkspace& w, const BlockSteps& s) { selectionRuleExtr(w, s, number); };
}

Plain setFlags(int last)
{
    return [last](TWorkspace& w, const BlockSteps&) {
        auto& flags = w.state().blockSelectionFlags;
        for (int i = 0; i < kAxisCount; ++i)
            flags[static_cast<size_t>(i)] = i <= last;
    };
}

const QMap<QString, Plain>& chainOperations()
{
    static const QMap<QString, Plain> table = {
        {QStringLiteral("DBPolPanelClick"), selectionOf(kPolBlock)},
        {QStringLiteral("DBConcPanelClick"), selectionOf(kConcBlock)},
        {QStringLiteral("DBDesPanelClick"), selectionOf(kDesBlock)},
        {QStringLiteral("DBDeathPanelClick"), selectionOf(kDeathBlock)},
        {QStringLiteral("CalculateItemClick"), [](TWorkspace& w, const BlockSteps& s) { FullRecalculation(w, s); }},
        {QStringLiteral("ToTableConcItemClick"), toTableConc},
        {QStringLiteral("FromDBDesCalcItemClick"), selectionRuleExtrOf(kDesBlock)},
        {QStringLiteral("ToTableDesItemClick"), selectionRuleExtrOf(kDesBlock)},
        {QStringLiteral("FromDBDeathCalcItemClick"), selectionRuleExtrOf(kDeathBlock)},
        {QStringLiteral("FromDBPolCalcItemClick"), fromDBPolCalc},
        {QStringLiteral("FromtablePolCalcItemClick"), fromtablePolCalc},
        {QStringLiteral("FromDBConcCalcItemClick"), fromDBConcCalc},
        {QStringLiteral("FromTableConcCalcItemClick"), fromTableConcCalc},
        {QStringLiteral("ToModelConcItemClick"),
            [](TWorkspace& w, const BlockSteps& s) {
                if (termIn(w, kPolBlock) == 2)
                    selectionRuleExtr(w, s, kPolBlock);
                toTableConc(w, s);
                EstPanelClick(w, *w.block(kConcBlock));
            }},
        {QStringLiteral("ToModelRiskItemClick"),
            [](TWorkspace& w, const BlockSteps& s) {
                if (termIn(w, kConcBlock) == 2)
                    fromDBConcCalc(w, s);
                else
                    fromDBPolCalc(w, s);
            }},
        {QStringLiteral("FromISCModel"),
            [](TWorkspace& w, const BlockSteps& s) {
                EstPanelClick(w, *w.block(kConcBlock));
                if (w.state().doseChainPending && termIn(w, kConcBlock) == 1) {
                    fromTableConcCalc(w, s);
                    w.state().doseChainPending = false;
                }
            }},
        {QStringLiteral("DBOperClick"), selectionOf(kConcBlock)},
        {QStringLiteral("DBEmissMeteoOperClick"),
            [](TWorkspace& w, const BlockSteps& s) {
                DBGeneralPanelClick(w, *w.block(kPolBlock), s);
                DBGeneralPanelClick(w, *w.block(kConcBlock), s);
            }},
        {QStringLiteral("DBToTabOperClick"), summarizeOf(kConcBlock)},
        {QStringLiteral("LoadEmissAndMeteoOperClick"), summarizeOf(kPolBlock)},
        {QStringLiteral("GroupSrcDataOperClick"), groupDataOf(kConcBlock)},
        {QStringLiteral("EmissGroupOperClick"), groupDataOf(kPolBlock)},
        {QStringLiteral("GroupModelConcOperClick"), groupModelOf(kConcBlock)},
        {QStringLiteral("GroupModelResultOperClick"), groupModelOf(kRiskBlock)},
        {QStringLiteral("RiscCalcOperClick"), [](TWorkspace&, const BlockSteps&) {}},
        {QStringLiteral("SpeedButtonRiskModelClick"), setFlags(1)},
        {QStringLiteral("SpeedButtonRiskExpertClick"), setFlags(4)},
    };
    return table;
}

// --- Arguments ---------------------------------------------------------------------------------

const QString& argument(const QStringList& arguments, int i, const QString& operation)
{
    if (i >= arguments.size())
        throw EConvertError(QStringLiteral("%1: не задан аргумент %2").arg(operation).arg(i + 1));
    return arguments.at(i);
}

int intArgument(const QStringList& arguments, int i, const QString& operation)
{
    bool ok = false;
    const int value = argument(arguments, i, operation).toInt(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("%1: аргумент %2 (\"%3\") не является целым числом")
                                .arg(operation)
                                .arg(i + 1)
                                .arg(arguments.at(i)));
    return value;
}

// "N.KIND": a table panel of a block, or the block table for KIND "block" (no panel).
struct TableArgument {
    TCompPanel* block = nullptr;
    TTablePanel* panel = nullptr;
    TTab* table = nullptr;
};

TableArgument tableArgument(TWorkspace& workspace, const QStringList& arguments, int i, const QString& operation)
{
    static const QStringList kinds{QStringLiteral("rule"), QStringLiteral("extr"), QStringLiteral("calc"),
        QStringLiteral("est"), QStringLiteral("block"), QStringLiteral("sel")};
    const QString& text = argument(arguments, i, operation);
    const QStringList parts = text.split(u'.');
    TableArgument result;
    bool ok = false;
    const int number = parts.value(0).toInt(&ok);
    const qsizetype kind = kinds.indexOf(parts.value(1).toLower());
    result.block = ok && parts.size() == 2 ? workspace.block(number) : nullptr;
    if (!result.block || kind < 0)
        throw EConvertError(QStringLiteral("%1: аргумент %2 (\"%3\") не является таблицей вида 1.extr")
                                .arg(operation)
                                .arg(i + 1)
                                .arg(text));
    if (kind == 5)
        result.panel = result.block->Sel;
    else if (kind != 4)
        result.panel = result.block->panelOfKind(static_cast<int>(kind));
    result.table = result.panel ? &result.panel->Table() : &result.block->BlockTable();
    return result;
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// --- The operations between blocks and for plug-ins ---------------------------------------------

// A transfer panel from block S to block T: the one made before, else a new one.
QString transTab(TWorkspace& w, const BlockSteps&, const QStringList& a)
{
    const QString name = QStringLiteral("TransTabClick");
    TCompPanel* source = w.block(intArgument(a, 0, name));
    TCompPanel* target = w.block(intArgument(a, 1, name));
    if (!source || !target || source == target)
        throw EConvertError(QStringLiteral("%1: нужны два разных блока из 0..4").arg(name));
    TTablePanel* panel = nullptr;
    for (TFluxComponent* component : w.Components()) {
        auto* candidate = dynamic_cast<TTablePanel*>(component);
        if (candidate && candidate->InputComponent() == source && candidate->OutputComponent() == target)
            panel = candidate;
    }
    if (!panel)
        panel = makeTransferPanel(w, *source, *target);
    TransTabClick(w, *panel);
    return panel->Name;
}

QString listCoord(TWorkspace& w, const BlockSteps&, const QStringList& a)
{
    QStringList names;
    QStringList counts;
    GetListCoord(w, intArgument(a, 0, QStringLiteral("GetListCoord")), names, counts);
    QStringList pairs;
    for (qsizetype i = 0; i < names.size(); ++i)
        pairs.append(names.at(i) + u'=' + counts.at(i));
    return pairs.join(QStringLiteral(", "));
}

QString xyCoord(TWorkspace& w, const BlockSteps&, const QStringList& a)
{
    const QString name = QStringLiteral("SetXYCoord");
    TTab* table = a.size() > 2 ? tableArgument(w, a, 2, name).table : nullptr;
    SetXYCoord(w, intArgument(a, 0, name), intArgument(a, 1, name), table);
    return QString();
}

QString reference(TWorkspace& w, const BlockSteps&, const QStringList& a)
{
    const QString name = QStringLiteral("CanDoReference");
    const int type = intArgument(a, 2, name);
    if (type < 0 || type > 255)
        throw EConvertError(QStringLiteral("%1: тип должен быть числом от 0 до 255").arg(name));
    return yesNo(CanDoReference(
        tableArgument(w, a, 0, name).table, tableArgument(w, a, 1, name).table, static_cast<std::uint8_t>(type)));
}

QString oneCoordRef(TWorkspace& w, const BlockSteps&, const QStringList& a)
{
    const QString name = QStringLiteral("CanDoOneCoordRef");
    return yesNo(CanDoOneCoordRef(
        tableArgument(w, a, 0, name).table, tableArgument(w, a, 1, name).table, intArgument(a, 2, name)));
}

QString dragOver(TWorkspace& w, const BlockSteps&, const QStringList& a)
{
    const QString name = QStringLiteral("PanelAnalysisDragOver");
    return yesNo(TablePanelDragOver(tableArgument(w, a, 0, name).panel, tableArgument(w, a, 1, name).panel));
}

// Operations on the main window's own controls: without the window there is nothing to act on.
QString windowOnly(TWorkspace&, const BlockSteps&, const QStringList&)
{
    return QStringLiteral("действует на элементы главного окна, без окна ничего не сделано");
}

const QMap<QString, Operation>& operations()
{
    static const QMap<QString, Operation> table = [] {
        QMap<QString, Operation> all;
        for (auto it = chainOperations().cbegin(); it != chainOperations().cend(); ++it) {
            const Plain plain = it.value();
            all.insert(it.key(), [plain](TWorkspace& w, const BlockSteps& s, const QStringList&) {
                plain(w, s);
                return QString();
            });
        }
        all.insert(QStringLiteral("TransTabClick"), transTab);
        all.insert(QStringLiteral("GetActivePanelName"),
            [](TWorkspace& w, const BlockSteps&, const QStringList&) { return GetActivePanelName(w); });
        all.insert(QStringLiteral("GetCoordName"), [](TWorkspace& w, const BlockSteps&, const QStringList& a) {
            return GetCoordName(w, intArgument(a, 0, QStringLiteral("GetCoordName")));
        });
        all.insert(QStringLiteral("GetCoordNum"), [](TWorkspace& w, const BlockSteps&, const QStringList& a) {
            return QString::number(GetCoordNum(w, argument(a, 0, QStringLiteral("GetCoordNum"))));
        });
        all.insert(QStringLiteral("GetActiveNum"),
            [](TWorkspace& w, const BlockSteps&, const QStringList&) { return QString::number(GetActiveNum(w)); });
        all.insert(QStringLiteral("SetActiveNum"), [](TWorkspace& w, const BlockSteps&, const QStringList& a) {
            SetActiveNum(w, intArgument(a, 0, QStringLiteral("SetActiveNum")));
            return QString();
        });
        all.insert(QStringLiteral("GetListCoord"), listCoord);
        all.insert(QStringLiteral("SetXYCoord"), xyCoord);
        all.insert(QStringLiteral("CanDoReference"), reference);
        all.insert(QStringLiteral("CanDoOneCoordRef"), oneCoordRef);
        all.insert(QStringLiteral("PanelAnalysisDragOver"), dragOver);
        all.insert(QStringLiteral("SpeedButtonClick"), windowOnly);
        all.insert(QStringLiteral("SaveRestoreImageListsItemClick"), windowOnly);
        return all;
    }();
    return table;
}

} // namespace

PublishedAnswer CallPublishedOperation(TWorkspace& workspace, const BlockSteps& steps, const QString& name,
    const QStringList& arguments)
{
    const auto it = operations().constFind(name);
    if (it == operations().constEnd())
        return {};
    return {true, it.value()(workspace, steps, arguments)};
}

bool RunPublishedOperation(TWorkspace& workspace, const BlockSteps& steps, const QString& name)
{
    return CallPublishedOperation(workspace, steps, name).found;
}

QStringList publishedOperationNames()
{
    return operations().keys();
}

bool isPublishedOperation(const QString& name)
{
    return operations().contains(name);
}

} // namespace verola
