#pragma once

#include "core/coreexport.h"
#include "core/tables/ttab.h"

#include <QString>
#include <memory>
#include <vector>

namespace verola {

enum TfpStatus { fpsReady = 0, fpsSelected = 1, fpsEmpty = 2, fpsBusy = 3 };
enum TfpDirection { fpdNord = 0, fpdWest = 1, fpdSouth = 2, fpdEast = 3 };

class TFluxPanel;
class TSwitchFlux;
class TTablePanel;

// What changed in a component, as announced to the owner chain.
enum class FlowChange { Status, Caption, Terminals, Table };

// A part of the flow diagram. Components belong to an owner (a block, or the diagram for
// the blocks themselves); links between components are refused across owners except
// where a switch sends its status on to the next block.
class VEROLA_CORE_EXPORT TFluxComponent {
public:
    explicit TFluxComponent(TFluxComponent* owner);
    virtual ~TFluxComponent();
    TFluxComponent(const TFluxComponent&) = delete;
    TFluxComponent& operator=(const TFluxComponent&) = delete;

    TFluxComponent* Owner() const { return m_owner; }
    const std::vector<TFluxComponent*>& Components() const { return m_components; }

    virtual TfpStatus Status() const = 0;
    virtual void SetStatus(TfpStatus status) = 0;
    // Forgets every link to the component, which is going away.
    virtual void forget(TFluxComponent* component) = 0;
    // Passes a change of a component up the owner chain; the diagram at its top tells observers.
    virtual void announce(TFluxComponent* component, FlowChange change);

    QString Name;
    int Tag = 0;

protected:
    bool sameOwner(const TFluxComponent* other) const;
    // Links an input of the same owner and takes on its status; any other component unlinks.
    void linkInput(TFluxComponent*& link, TFluxComponent* component);

private:
    TFluxComponent* m_owner;
    std::vector<TFluxComponent*> m_components;
};

// A panel with a status that it passes downstream along its output link.
class VEROLA_CORE_EXPORT TFluxPanel : public TFluxComponent {
public:
    using TFluxComponent::TFluxComponent;

    TfpStatus Status() const override { return m_status; }
    void SetStatus(TfpStatus status) override;
    TFluxComponent* InputComponent() const { return m_input; }
    void SetInputComponent(TFluxComponent* component);
    TFluxComponent* OutputComponent() const { return m_output; }
    void SetOutputComponent(TFluxComponent* component);
    const QString& Capt() const { return m_caption; }
    void SetCapt(const QString& caption);
    void forget(TFluxComponent* component) override;

    QString Hint;

private:
    TfpStatus m_status = fpsEmpty;
    TFluxComponent* m_input = nullptr;
    TFluxComponent* m_output = nullptr;
    QString m_caption;
};

// A panel holding one multi-axis table.
class VEROLA_CORE_EXPORT TTablePanel : public TFluxPanel {
public:
    explicit TTablePanel(TFluxComponent* owner);
    TTab& Table() { return *m_table; }
    // Called by whoever changed the table's cells or lists.
    void tableChanged() { announce(this, FlowChange::Table); }

private:
    std::unique_ptr<TTab> m_table;
};

// The arrow that selects which of up to two inputs feeds up to two outputs.
class VEROLA_CORE_EXPORT TSwitchFlux : public TFluxComponent {
public:
    using TFluxComponent::TFluxComponent;

    TfpStatus Status() const override { return m_status; }
    void SetStatus(TfpStatus status) override;
    int TermIn() const { return m_termIn; }
    void SetTermIn(int terminal);
    int TermOut() const { return m_termOut; }
    void SetTermOut(int terminal);
    int TermInNo() const { return m_termInNo; }
    void SetTermInNo(int count);
    int TermOutNo() const { return m_termOutNo; }
    void SetTermOutNo(int count);
    TfpDirection Direction() const { return m_direction; }
    void SetDirection(TfpDirection direction) { m_direction = direction; }

    TFluxComponent* InputComponent() const { return m_input; }
    void SetInputComponent(TFluxComponent* component);
    TFluxComponent* OutputComponent() const { return m_output; }
    void SetOutputComponent(TFluxComponent* component);
    TFluxComponent* InputComp1() const { return m_inputs[0]; }
    TFluxComponent* InputComp2() const { return m_inputs[1]; }
    TFluxComponent* OutputComp1() const { return m_outputs[0]; }
    TFluxComponent* OutputComp2() const { return m_outputs[1]; }
    void SetInputComp1(TFluxComponent* component) { setInputTerminal(1, component); }
    void SetInputComp2(TFluxComponent* component) { setInputTerminal(2, component); }
    void SetOutputComp1(TFluxComponent* component) { setOutputTerminal(1, component); }
    void SetOutputComp2(TFluxComponent* component) { setOutputTerminal(2, component); }
    // A click selects the other input when there are two.
    void Click();
    void forget(TFluxComponent* component) override;

private:
    void setInputTerminal(int terminal, TFluxComponent* component);
    void setOutputTerminal(int terminal, TFluxComponent* component);

    TfpStatus m_status = fpsEmpty;
    int m_termIn = 1;
    int m_termOut = 1;
    int m_termInNo = 1;
    int m_termOutNo = 1;
    TfpDirection m_direction = fpdEast;
    TFluxComponent* m_input = nullptr;
    TFluxComponent* m_output = nullptr;
    TFluxComponent* m_inputs[2] = {nullptr, nullptr};
    TFluxComponent* m_outputs[2] = {nullptr, nullptr};
};

// A block: search panel, the Rule, Extr, Calc, Est and Sel table panels, the switch and the
// block table, linked so that statuses flow from the search panel to the switch.
class VEROLA_CORE_EXPORT TCompPanel : public TFluxPanel {
public:
    explicit TCompPanel(TFluxComponent* owner);
    ~TCompPanel() override;

    int number() const { return Tag; }
    TFluxPanel* Search;
    TTablePanel* Rule;
    TTablePanel* Extr;
    TTablePanel* Calc;
    TTablePanel* Est;
    TTablePanel* Sel;
    TSwitchFlux* Switch;
    TTab& BlockTable() { return *m_blockTable; }
    // Table of kind 0..3, or the block table for kind 4; std::out_of_range for any other kind.
    TTab& tableOfKind(int kind);
    TTablePanel* panelOfKind(int kind);
    // The block's selected summary: Est when its switch takes input 1, else Extr.
    TTablePanel* SelectedSummary();

    // Why the block's files could not be read at the last open; empty when they were. Such a
    // block holds empty tables, and the steps on it are refused (requireBlockLoaded).
    const QString& loadFailure() const { return m_loadFailure; }
    void setLoadFailure(const QString& reason) { m_loadFailure = reason; }

private:
    std::unique_ptr<TTab> m_blockTable;
    QString m_loadFailure;
};

} // namespace verola
