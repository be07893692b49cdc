#pragma once

#include "gui/guiexport.h"
#include "core/app/flownotifier.h"
#include "core/app/flux.h"

#include <QImage>
#include <QPoint>
#include <QWidget>

class QMimeData;

namespace verola {

// The colour of a status: the caption of a panel and the lines of a switch.
VEROLA_GUI_EXPORT QColor statusColor(TfpStatus status);
// A two-state picture of a panel (48 x 24, the ready half on the left) with white made transparent.
VEROLA_GUI_EXPORT QImage panelPicture(const QString& fileName);

// Shows one panel of the flow diagram: its face, the half of its picture that fits its status and
// its caption in the status colour. It keeps nothing of the panel but the pointer and repaints
// whenever the workspace announces a change of the panel.
class VEROLA_GUI_EXPORT FluxPanelWidget : public QWidget {
    Q_OBJECT
public:
    FluxPanelWidget(TFluxPanel* panel, FlowNotifier& notifier, QWidget* parent);

    TFluxPanel* panel() const { return m_panel; }
    void setPicture(const QImage& picture);
    const QImage& picture() const { return m_picture; }

Q_SIGNALS:
    void clicked();
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

    // A left press not yet released, ended by a double click or a drag: only its release clicks,
    // so a double click runs the click once and the double-click handler once.
    bool m_pressed = false;
    QPoint m_pressedAt;

private:
    TFluxPanel* m_panel;
    QImage m_picture;
};

// A table panel: a left press and a move start dragging it onto another table panel; a drop of
// another table panel asks the window to transfer its table here. The Sel panel, a table panel
// too, takes part in neither.
class VEROLA_GUI_EXPORT TablePanelWidget : public FluxPanelWidget {
    Q_OBJECT
public:
    TablePanelWidget(TTablePanel* panel, FlowNotifier& notifier, QWidget* parent);

    TTablePanel* tablePanel() const { return static_cast<TTablePanel*>(panel()); }
    // What a drag of the panel carries: the panel's name, valid within this process only.
    QMimeData* dragData() const;
    // The table panel a drag carries, looked up among the panels of this panel's diagram; null
    // for anything else.
    TTablePanel* draggedPanel(const QMimeData* data) const;

Q_SIGNALS:
    // Another table panel was dropped here.
    void tablePanelDropped(verola::TTablePanel* dragged);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

// The arrow of a block's switch: two parallel lines in the status colour from the selected
// input terminal to the selected output terminal. A click selects the other input.
class VEROLA_GUI_EXPORT SwitchFluxWidget : public QWidget {
    Q_OBJECT
public:
    SwitchFluxWidget(TSwitchFlux* flux, FlowNotifier& notifier, QWidget* parent);
    TSwitchFlux* flux() const { return m_switch; }
    // The two lines as drawn for the switch's direction, terminals and size.
    static std::pair<QLine, QLine> arrowLines(const TSwitchFlux& flux, int width, int height);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TSwitchFlux* m_switch;
};

// A block: its six small panels and its switch, laid out by the block's direction.
class VEROLA_GUI_EXPORT CompPanelWidget : public FluxPanelWidget {
    Q_OBJECT
public:
    CompPanelWidget(TCompPanel* block, FlowNotifier& notifier, QWidget* parent);

    TCompPanel* block() const { return static_cast<TCompPanel*>(panel()); }
    TfpDirection direction() const { return block()->Switch->Direction(); }
    // Moves the parts and sizes the block for a direction; the switch turns with the block.
    void setDirection(TfpDirection direction);

    FluxPanelWidget* Search;
    TablePanelWidget* Rule;
    TablePanelWidget* Extr;
    TablePanelWidget* Calc;
    TablePanelWidget* Est;
    TablePanelWidget* Sel;
    SwitchFluxWidget* Switch;

private:
    void applyLayout(TfpDirection direction);
};

} // namespace verola
