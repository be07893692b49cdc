#include "core/app/transfer.h"

#include "core/platform/feedback.h"
#include "core/tables/compare.h"

namespace verola {

namespace {

// Axes whose list has two lines or fewer (none, or the whole set) have no structure to compare.
bool structured(const TTab& table, int axis)
{
    return table.FLists[axis].size() > 2;
}

// Walks the axes structured in both tables; the first axis that fails decides.
template <typename AxisPasses>
bool everyStructuredAxisPasses(const TTab& a, const TTab& b, AxisPasses passes)
{
    for (int i = 0; i < kAxisCount; ++i) {
        if (!structured(a, i) || !structured(b, i))
            continue;
        if (!passes(i, a.FLists[i].size(), b.FLists[i].size()))
            return false;
    }
    return true;
}

} // namespace

bool isBlockTablePanel(const TFluxComponent* component)
{
    const auto* block = component ? dynamic_cast<const TCompPanel*>(component->Owner()) : nullptr;
    return block
        && (component == block->Rule || component == block->Extr || component == block->Calc
            || component == block->Est);
}

bool TablePanelDragOver(const TFluxComponent* target, const TFluxComponent* dragged)
{
    return isBlockTablePanel(target) && isBlockTablePanel(dragged) && dragged != target;
}

void TablePanelDragDrop(TWorkspace& workspace, TTablePanel* target, TFluxComponent* dragged)
{
    // A table copied onto itself would be cleared before it is read; the Sel panel's table is
    // no table of the study, neither to give nor to take.
    if (!TablePanelDragOver(target, dragged))
        return;
    auto* source = static_cast<TTablePanel*>(dragged);
    requireBlockLoaded(source);
    requireBlockLoaded(target);
    TTab& to = target->Table();
    TTab& from = source->Table();
    for (int axis = 0; axis < kAxisCount; ++axis)
        mapAxis(from, to, axis);
    CopyFrom(to, from, workspace.state().format);
    target->tableChanged();
}

TTablePanel* makeTransferPanel(TWorkspace& workspace, TCompPanel& source, TCompPanel& target)
{
    auto* panel = new TTablePanel(&workspace);
    panel->Name = source.Name + QStringLiteral("_to_") + target.Name + QStringLiteral("_Transfer");
    panel->Tag = -1;
    panel->Hint = QStringLiteral("Передача данных от блока к блоку");
    panel->Table().FBackground = &panel->Table();
    panel->SetInputComponent(&source);
    panel->SetOutputComponent(&target);
    panel->SetStatus(fpsReady);
    TTab& transfer = panel->Table();
    MergeStructure(transfer, source.Extr->Table(), target.Calc->Table());
    // The merge maps only the axes structured in a table; the others must map too, or the
    // copies through the transfer table would leave every cell missing.
    for (int axis = 0; axis < kAxisCount; ++axis) {
        mapAxis(source.Extr->Table(), transfer, axis);
        mapAxis(transfer, target.Calc->Table(), axis);
    }
    return panel;
}

void TransTabClick(TWorkspace& workspace, TTablePanel& panel)
{
    auto* from = dynamic_cast<TCompPanel*>(panel.InputComponent());
    if (!from)
        return;
    requireBlockLoaded(*from);
    if (auto* to = dynamic_cast<TCompPanel*>(panel.OutputComponent()))
        requireBlockLoaded(*to);
    TTablePanel* summary = from->SelectedSummary();
    if (summary->Status() != fpsReady)
        return;
    const FormatSettings& format = workspace.state().format;
    CopyFrom(panel.Table(), summary->Table(), format);
    panel.tableChanged();
    if (auto* to = dynamic_cast<TCompPanel*>(panel.OutputComponent())) {
        CopyFrom(to->Calc->Table(), panel.Table(), format);
        to->Calc->tableChanged();
    }
}

QString GetActivePanelName(TWorkspace& workspace)
{
    return blockPanelKindName(workspace.state().ActiveBlock);
}

QString GetCoordName(TWorkspace& workspace, int axis)
{
    const QStringList& captions = workspace.state().coordinateCaptionList;
    return captions.value(axis);
}

int GetCoordNum(TWorkspace& workspace, const QString& name)
{
    if (name.isEmpty())
        return -1;
    const QStringList& captions = workspace.state().coordinateCaptionList;
    for (qsizetype i = 0; i < captions.size(); ++i)
        if (captions.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

int GetActiveNum(TWorkspace& workspace)
{
    return workspace.state().ActiveBlock;
}

void SetActiveNum(TWorkspace& workspace, int number)
{
    const int active = workspace.state().ActiveBlock;
    if (number == active)
        return;
    workspace.activate(workspace.block(number));
}

void GetListCoord(TWorkspace& workspace, int number, QStringList& names, QStringList& counts)
{
    names.clear();
    counts.clear();
    TCompPanel* block = number >= 0 ? workspace.block(number) : nullptr;
    if (!block)
        return;
    const QStringList& captions = workspace.state().coordinateCaptionList;
    const TTab& summary = block->Extr->Table();
    for (int axis = 0; axis < kAxisCount; ++axis) {
        // Names and counts stay parallel, and every name listed can be turned back into its axis.
        if (!structured(summary, axis) || axis >= captions.size())
            continue;
        names.append(captions.at(axis));
        counts.append(QString::number(summary.FLists[axis].size() - 1));
    }
}

void SetXYCoord(TWorkspace& workspace, int x, int y, TTab* table)
{
    if (!table) {
        if (Feedback* feedback = workspace.state().feedback)
            feedback->message(QStringLiteral("Таблица не определена"));
        return;
    }
    if (!validAxis(x) || !validAxis(y) || x == y)
        return;
    CoordIndex view{};
    view[x] = -1;
    view[y] = -2;
    table->FSlice = view;
    table->SetViewAxes(view);
}

bool CanDoReference(const TTab* a, const TTab* b, std::uint8_t type)
{
    if (!a || !b)
        return false;
    return everyStructuredAxisPasses(*a, *b, [type](int, qsizetype nA, qsizetype nB) {
        switch (type) {
        case 0:
            return nB >= nA;
        case 1:
            return nB >= nA + 1;
        case 2:
            return nB == nA;
        default:
            return true;
        }
    });
}

bool CanDoOneCoordRef(const TTab* a, const TTab* b, int axis)
{
    if (!a || !b || !validAxis(axis))
        return false;
    return everyStructuredAxisPasses(*a, *b, [axis](int i, qsizetype nA, qsizetype nB) {
        return i == axis ? nB >= nA : nB >= nA + 1;
    });
}

void RemapDownstream(TWorkspace& workspace, int axis)
{
    TCompPanel* active = workspace.activeBlock();
    if (!active || !validAxis(axis))
        return;
    if (TCompPanel* downstream = workspace.block(active->number() + 1))
        mapAxis(active->Extr->Table(), downstream->Calc->Table(), axis);
}

} // namespace verola
