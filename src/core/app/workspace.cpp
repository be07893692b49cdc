#include "core/app/workspace.h"

#include "core/app/fileset.h"
#include "core/platform/errors.h"
#include "core/tables/compare.h"

namespace verola {

namespace {

const char* const kComponentNames[kBlockCount] = {"PolPanel1", "ConcPanel1", "DosePanel1", "DesPanel1", "DeathPanel1"};
const int kComponentOrder[kBlockCount] = {kDeathBlock, kConcBlock, kRiskBlock, kPolBlock, kDesBlock};

} // namespace

QString blockComponentName(int number)
{
    return (number >= 0 && number < kBlockCount) ? QString::fromLatin1(kComponentNames[number]) : QString();
}

QString blockUnitText(int number)
{
    static const char16_t* const units[12] = {u" т/год или г/сек ", u" мг/м3 ", u" усл.ед. ", u" на 100000 чел. ",
        u" на 1000 чел. ", u"  _ ", u" _  ", u" _  ", u" _  ", u" _  ", u" _  ", u" мг/кг-день "};
    return (number >= 0 && number < 12) ? QString::fromUtf16(units[number]) : QString();
}

QString blockPanelKindName(int number)
{
    static const char16_t* const names[kBlockCount] = {u"Выбросы", u"Загрязнения", u"Риск", u"Заболеваемость",
        u"Смертность"};
    return (number >= 0 && number < kBlockCount) ? QString::fromUtf16(names[number]) : QString();
}

QString blockValueFieldName(int number)
{
    const QString name = blockComponentName(number).toUpper();
    const qsizetype panel = name.indexOf(QStringLiteral("PANEL"));
    return panel < 0 ? QStringLiteral("VALUE") : name.left(panel);
}

void mapAxis(TTab& source, TTab& target, int axis)
{
    MapPositions(source.FLists[axis], source.FIndex[axis], target.FLists[axis], target.FMap[axis],
        target.FIndex[axis]);
}

void requireBlockLoaded(const TCompPanel& block)
{
    if (block.loadFailure().isEmpty())
        return;
    throw EInOutError(QStringLiteral("Блок %1 (%2) не прочитан при открытии конфигурации, его таблицы пусты: %3. "
                                     "Действие не выполнено; исправьте файлы блока и откройте конфигурацию снова.")
                          .arg(block.number())
                          .arg(blockPanelKindName(block.number()), block.loadFailure()));
}

void requireBlockLoaded(const TFluxComponent* panel)
{
    if (const auto* block = panel ? dynamic_cast<const TCompPanel*>(panel->Owner()) : nullptr)
        requireBlockLoaded(*block);
}

void TWorkspace::setBlockNotLoaded(TCompPanel& block, const QString& reason)
{
    for (const TableKind kind : {TableKind::Rule, TableKind::Extr, TableKind::Calc, TableKind::Est, TableKind::Block}) {
        TTab& table = block.tableOfKind(static_cast<int>(kind));
        // The block table shares its list files with the summary of the databases, and so the
        // summary's whole-set list.
        const QString code = replacementListCode(kind == TableKind::Block ? TableKind::Extr : kind);
        for (int axis = 0; axis < kAxisCount; ++axis) {
            table.FLists[axis].clear();
            AddWholeSet(table.FLists[axis], code);
            table.BuildIndex(axis);
        }
        table.Dimension(table.positionCounts());
    }
    for (int axis = 0; axis < kAxisCount; ++axis) {
        mapAxis(block.Rule->Table(), block.Extr->Table(), axis);
        mapAxis(block.Calc->Table(), block.Est->Table(), axis);
        if (TCompPanel* downstream = this->block(block.number() + 1))
            mapModelInput(*downstream, axis);
    }
    block.setLoadFailure(reason);
}

TWorkspace::TWorkspace(ProcessState& state) : TFluxComponent(nullptr), m_state(state)
{
    for (int number : kComponentOrder) {
        auto* block = new TCompPanel(this);
        block->Name = blockComponentName(number);
        m_componentOrder.push_back(block);
    }
    wire();
    resetDefaultLists();
}

TWorkspace::~TWorkspace() = default;

TCompPanel* TWorkspace::block(int number) const
{
    for (TCompPanel* block : m_componentOrder)
        if (block->number() == number)
            return block;
    return nullptr;
}

int TWorkspace::upstreamOf(int number) const
{
    for (TCompPanel* candidate : m_componentOrder)
        if (candidate->number() == number - 1 || candidate->number() == number + 11)
            return candidate->number();
    return -1;
}

void TWorkspace::mapModelInput(TCompPanel& target, int axis) const
{
    if (TCompPanel* upstream = block(upstreamOf(target.number())))
        mapAxis(upstream->Extr->Table(), target.Calc->Table(), axis);
}

void TWorkspace::activate(TCompPanel* block)
{
    if (!block)
        return;
    const bool changed = m_state.ActiveBlock != block->number();
    m_state.ActiveBlock = block->number();
    m_state.UpstreamBlock = upstreamOf(block->number());
    if (changed)
        Q_EMIT m_notifier.activeBlockChanged(block->number());
}

void TWorkspace::announce(TFluxComponent* component, FlowChange change)
{
    if (change == FlowChange::Table)
        Q_EMIT m_notifier.tableChanged(static_cast<TTablePanel*>(component));
    else
        Q_EMIT m_notifier.componentChanged(component, change);
}

void TWorkspace::wire()
{
    // Block numbers first, so that the chain below can find the blocks by number.
    for (size_t i = 0; i < m_componentOrder.size(); ++i)
        m_componentOrder[i]->Tag = kComponentOrder[i];
    TCompPanel* pol = block(kPolBlock);
    TCompPanel* conc = block(kConcBlock);
    TCompPanel* dose = block(kRiskBlock);
    TCompPanel* des = block(kDesBlock);
    TCompPanel* death = block(kDeathBlock);

    conc->Switch->SetOutputComp1(dose->Calc);
    dose->Switch->SetOutputComp1(des->Calc);
    des->Switch->SetOutputComp1(death->Calc);
    pol->Switch->SetOutputComp1(conc->Calc);

    for (TCompPanel* b : {pol, conc, dose, des, death}) {
        b->Switch->SetTermIn(2);
        for (TTablePanel* panel : {b->Rule, b->Extr, b->Calc, b->Est, b->Sel})
            panel->Name = b->Name + u'_' + panel->Name;
        for (TFluxPanel* panel : std::initializer_list<TFluxPanel*>{b->Search, b->Rule, b->Extr, b->Est, b->Calc, b->Sel})
            panel->SetStatus(fpsReady);
    }
    // Nothing feeds the emission block's calculation side, and the dose block has no database.
    pol->Est->SetStatus(fpsEmpty);
    pol->Calc->SetStatus(fpsEmpty);
    dose->Extr->SetStatus(fpsEmpty);
}

void TWorkspace::resetDefaultLists()
{
    for (TCompPanel* b : m_componentOrder) {
        for (int axis = 0; axis < kAxisCount; ++axis) {
            for (TTablePanel* panel : {b->Rule, b->Extr, b->Calc, b->Est, b->Sel}) {
                TTab& table = panel->Table();
                table.FLists[axis].clear();
                AddWholeSet(table.FLists[axis], QStringLiteral("T"));
                table.BuildIndex(axis);
            }
            mapAxis(b->Rule->Table(), b->Extr->Table(), axis);
            mapAxis(b->Calc->Table(), b->Est->Table(), axis);
        }
    }
}

} // namespace verola
