#include "core/app/flux.h"

#include <algorithm>
#include <stdexcept>

namespace verola {

TFluxComponent::TFluxComponent(TFluxComponent* owner) : m_owner(owner)
{
    if (m_owner)
        m_owner->m_components.push_back(this);
}

TFluxComponent::~TFluxComponent()
{
    while (!m_components.empty())
        delete m_components.back(); // each child takes itself out of the list
    if (m_owner) {
        auto& siblings = m_owner->m_components;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
        for (TFluxComponent* sibling : siblings)
            sibling->forget(this);
    }
}

void TFluxComponent::announce(TFluxComponent* component, FlowChange change)
{
    if (m_owner)
        m_owner->announce(component, change);
}

bool TFluxComponent::sameOwner(const TFluxComponent* other) const
{
    return other != nullptr && m_owner != nullptr && other->m_owner == m_owner;
}

void TFluxComponent::linkInput(TFluxComponent*& link, TFluxComponent* component)
{
    link = sameOwner(component) ? component : nullptr;
    if (link)
        SetStatus(link->Status());
}

void TFluxPanel::SetStatus(TfpStatus status)
{
    if (status == m_status)
        return;
    m_status = status;
    announce(this, FlowChange::Status);
    if (auto* flowSwitch = dynamic_cast<TSwitchFlux*>(m_output)) {
        if (flowSwitch->InputComponent() == this)
            flowSwitch->SetStatus(status);
    } else if (m_output) {
        m_output->SetStatus(status);
    }
}

void TFluxPanel::SetCapt(const QString& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    announce(this, FlowChange::Caption);
}

void TFluxPanel::SetInputComponent(TFluxComponent* component)
{
    linkInput(m_input, component);
}

void TFluxPanel::SetOutputComponent(TFluxComponent* component)
{
    if (!sameOwner(component)) {
        m_output = nullptr;
        return;
    }
    m_output = component;
    component->SetStatus(m_status);
}

void TFluxPanel::forget(TFluxComponent* component)
{
    if (m_input == component)
        SetInputComponent(nullptr);
    if (m_output == component)
        SetOutputComponent(nullptr);
}

TTablePanel::TTablePanel(TFluxComponent* owner) : TFluxPanel(owner), m_table(std::make_unique<TTab>()) {}

void TSwitchFlux::SetStatus(TfpStatus status)
{
    if (status == m_status)
        return;
    m_status = status;
    announce(this, FlowChange::Status);
    if (m_output)
        m_output->SetStatus(status);
}

void TSwitchFlux::SetTermIn(int terminal)
{
    if (terminal < 1 || terminal > m_termInNo || terminal == m_termIn)
        return;
    m_termIn = terminal;
    SetInputComponent(m_inputs[terminal - 1]);
    announce(this, FlowChange::Terminals);
}

void TSwitchFlux::SetTermOut(int terminal)
{
    if (terminal < 1 || terminal > m_termOutNo || terminal == m_termOut)
        return;
    m_termOut = terminal;
    SetOutputComponent(m_outputs[terminal - 1]);
    announce(this, FlowChange::Terminals);
}

void TSwitchFlux::SetTermInNo(int count)
{
    if (count == 0 || count >= 3 || count == m_termInNo)
        return;
    m_termInNo = count;
    if (m_termIn > count) {
        m_termIn = 1;
        SetInputComponent(m_inputs[0]);
    }
    announce(this, FlowChange::Terminals);
}

void TSwitchFlux::SetTermOutNo(int count)
{
    if (count == 0 || count >= 3 || count == m_termOutNo)
        return;
    m_termOutNo = count;
    if (m_termOut > count) {
        m_termOut = 1;
        SetOutputComponent(m_outputs[0]);
    }
    announce(this, FlowChange::Terminals);
}

void TSwitchFlux::SetInputComponent(TFluxComponent* component)
{
    linkInput(m_input, component);
}

void TSwitchFlux::SetOutputComponent(TFluxComponent* component)
{
    if (component == m_output)
        return;
    m_output = component;
    if (component)
        component->SetStatus(m_status);
}

void TSwitchFlux::setInputTerminal(int terminal, TFluxComponent* component)
{
    m_inputs[terminal - 1] = component;
    if (m_termIn == terminal)
        SetInputComponent(component);
}

void TSwitchFlux::setOutputTerminal(int terminal, TFluxComponent* component)
{
    m_outputs[terminal - 1] = component;
    if (m_termOut == terminal)
        SetOutputComponent(component);
}

void TSwitchFlux::Click()
{
    if (m_termInNo == 2)
        SetTermIn(3 - m_termIn);
}

void TSwitchFlux::forget(TFluxComponent* component)
{
    for (int i = 0; i < 2; ++i) {
        if (m_inputs[i] == component)
            setInputTerminal(i + 1, nullptr);
        if (m_outputs[i] == component)
            setOutputTerminal(i + 1, nullptr);
    }
    if (m_input == component)
        m_input = nullptr;
    if (m_output == component)
        m_output = nullptr;
}

namespace {

TTablePanel* makeTablePanel(TCompPanel* block, const char* name, int tag, const char16_t* hint)
{
    auto* panel = new TTablePanel(block);
    panel->Name = QString::fromLatin1(name);
    panel->Tag = tag;
    panel->Hint = QString::fromUtf16(hint);
    return panel;
}

} // namespace

TCompPanel::TCompPanel(TFluxComponent* owner) : TFluxPanel(owner), m_blockTable(std::make_unique<TTab>())
{
    Search = new TFluxPanel(this);
    Search->Tag = -1;
    Search->Hint = QStringLiteral("Поиск в базе данных");
    Rule = makeTablePanel(this, "Rule", 0, u"Импорт данных в первичную таблицу");
    Extr = makeTablePanel(this, "Extr", 1, u"Формирование итоговой таблицы данных");
    Calc = makeTablePanel(this, "Calc", 2, u"Импорт результатов модельного расчета");
    Est = makeTablePanel(this, "Est", 3, u"Формирование итоговой таблицы модельного расчета");
    Sel = makeTablePanel(this, "Sel", -1, u"Задание координатных интервалов для выборки");
    Switch = new TSwitchFlux(this);
    Switch->SetTermInNo(2);
    Switch->SetTermOutNo(2);
    Switch->SetInputComp1(Est);
    Switch->SetInputComp2(Extr);

    Search->SetOutputComponent(Rule);
    Rule->SetInputComponent(Search);
    Rule->SetOutputComponent(Extr);
    Extr->SetInputComponent(Rule);
    Extr->SetOutputComponent(Switch);
    Calc->SetOutputComponent(Est);
    Est->SetInputComponent(Calc);
    Est->SetOutputComponent(Switch);

    // Summary tables read each other as background; primary tables and the block table read themselves.
    Extr->Table().FBackground = &Est->Table();
    Est->Table().FBackground = &Extr->Table();
    for (TTab* table : {&Rule->Table(), &Calc->Table(), &Sel->Table(), m_blockTable.get()})
        table->FBackground = table;
    for (TTab* table : {&Rule->Table(), &Extr->Table(), &Calc->Table(), &Est->Table(), &Sel->Table(),
             m_blockTable.get()}) {
        table->FBlock = this;
        table->FBlockTable = m_blockTable.get();
    }
}

TCompPanel::~TCompPanel() = default;

TTab& TCompPanel::tableOfKind(int kind)
{
    return kind == 4 ? BlockTable() : panelOfKind(kind)->Table();
}

TTablePanel* TCompPanel::panelOfKind(int kind)
{
    switch (kind) {
    case 0:
        return Rule;
    case 1:
        return Extr;
    case 2:
        return Calc;
    case 3:
        return Est;
    default:
        throw std::out_of_range("a block has table panels of kinds 0 to 3 only");
    }
}

TTablePanel* TCompPanel::SelectedSummary()
{
    return Switch->TermIn() == 1 ? Est : Extr;
}

} // namespace verola
