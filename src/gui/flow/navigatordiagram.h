#pragma once

#include "gui/guiexport.h"
#include "gui/flow/fluxwidgets.h"

#include <QLabel>
#include <array>

class QToolButton;

namespace verola {

class TWorkspace;

// The coloured panel over a block's top edge, captioned with the block's kind. Clicking it
// uncovers its block; a left press and a move drag it onto another cover.
class VEROLA_GUI_EXPORT CoverPanel : public QLabel {
    Q_OBJECT
public:
    CoverPanel(int tag, const QString& caption, const QColor& colour, QWidget* parent);
    // A cover of a block kind switched off in the settings: disabled, its caption grey.
    void setBlockVisible(bool visible);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool m_pressed = false;
    QPoint m_pressedAt;
};

// The flow diagram of the navigator: the five blocks from emission to mortality, left to right,
// each with its cover above it and its unit text below it.
class VEROLA_GUI_EXPORT NavigatorDiagram : public QWidget {
    Q_OBJECT
public:
    NavigatorDiagram(TWorkspace& workspace, QWidget* parent);

    // The block of a number 0..4, as shown.
    CompPanelWidget* blockWidget(int number) const { return m_blocks.at(number); }
    CoverPanel* cover(int number) const { return m_covers.at(number); }
    QLabel* unitLabel(int number) const { return m_units.at(number); }
    // The widget showing a table panel; null when none does.
    TablePanelWidget* tablePanelWidget(const TTablePanel* panel) const;
    // Shows every cover but the clicked one.
    void Panel101Click(CoverPanel* clicked);
    // Gives every block's small panels their pictures.
    void decorate();

    QToolButton* ButtonISC3 = nullptr;
    QToolButton* ButtonRisk = nullptr;

private:
    std::array<CompPanelWidget*, 5> m_blocks{};
    std::array<CoverPanel*, 5> m_covers{};
    std::array<QLabel*, 5> m_units{};
};

} // namespace verola
