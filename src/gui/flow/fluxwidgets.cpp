#include "gui/flow/fluxwidgets.h"

#include "core/app/transfer.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QStyleOptionFrame>

namespace verola {

namespace {

const QString kTablePanelMime = QStringLiteral("application/x-verola-table-panel");
constexpr int kPictureHalf = 24;

// The diagram at the top of the owner chain, where every panel can be found by name.
const TFluxComponent* diagramOf(const TFluxComponent* component)
{
    while (component->Owner())
        component = component->Owner();
    return component;
}

TTablePanel* findTablePanel(const TFluxComponent* owner, const QString& name)
{
    for (TFluxComponent* component : owner->Components()) {
        if (auto* panel = dynamic_cast<TTablePanel*>(component); panel && panel->Name == name)
            return panel;
        if (TTablePanel* found = findTablePanel(component, name))
            return found;
    }
    return nullptr;
}

// Repaints a widget whenever its component changes or a configuration is opened.
void repaintOnChange(QWidget* widget, const TFluxComponent* component, FlowNotifier& notifier)
{
    QObject::connect(&notifier, &FlowNotifier::componentChanged, widget,
        [widget, component](TFluxComponent* changed, FlowChange) {
            if (changed == component)
                widget->update();
        });
    QObject::connect(&notifier, &FlowNotifier::workspaceReloaded, widget, qOverload<>(&QWidget::update));
}

} // namespace

QColor statusColor(TfpStatus status)
{
    switch (status) {
    case fpsReady:
        return QColor(0, 128, 0);
    case fpsSelected:
        return QColor(0, 255, 0);
    case fpsBusy:
        return QColor(255, 0, 0);
    case fpsEmpty:
        break;
    }
    return QApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
}

QImage panelPicture(const QString& fileName)
{
    QImage picture(fileName);
    if (picture.isNull())
        return picture;
    picture = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb white = qRgb(255, 255, 255);
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            if (line[x] == white)
                line[x] = qRgba(0, 0, 0, 0);
    }
    return picture;
}

// --- FluxPanelWidget ---------------------------------------------------------------------------

FluxPanelWidget::FluxPanelWidget(TFluxPanel* panel, FlowNotifier& notifier, QWidget* parent)
    : QWidget(parent), m_panel(panel)
{
    setObjectName(panel->Name);
    setToolTip(panel->Hint);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    repaintOnChange(this, panel, notifier);
}

void FluxPanelWidget::setPicture(const QImage& picture)
{
    m_picture = picture;
    update();
}

void FluxPanelWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.lineWidth = 1;
    frame.state |= QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
    if (!m_picture.isNull()) {
        const int half = m_panel->Status() == fpsReady ? 0 : kPictureHalf;
        painter.drawImage(QPoint(0, 0), m_picture, QRect(half, 0, kPictureHalf, kPictureHalf));
    }
    if (!m_panel->Capt().isEmpty()) {
        painter.setPen(statusColor(m_panel->Status()));
        painter.drawText(rect(), Qt::AlignCenter, m_panel->Capt());
    }
}

void FluxPanelWidget::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    m_pressedAt = event->position().toPoint();
}

void FluxPanelWidget::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click)
        Q_EMIT clicked();
}

void FluxPanelWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_pressed = false;
    if (event->button() == Qt::LeftButton)
        Q_EMIT doubleClicked();
}

// --- TablePanelWidget --------------------------------------------------------------------------

TablePanelWidget::TablePanelWidget(TTablePanel* panel, FlowNotifier& notifier, QWidget* parent)
    : FluxPanelWidget(panel, notifier, parent)
{
    // The Sel panel holds coordinate intervals, no table of the study: it is neither dragged
    // nor dropped on.
    setAcceptDrops(isBlockTablePanel(panel));
}

QMimeData* TablePanelWidget::dragData() const
{
    auto* data = new QMimeData;
    data->setData(kTablePanelMime,
        QStringLiteral("%1\n%2").arg(QCoreApplication::applicationPid()).arg(tablePanel()->Name).toUtf8());
    return data;
}

TTablePanel* TablePanelWidget::draggedPanel(const QMimeData* data) const
{
    if (!data || !data->hasFormat(kTablePanelMime))
        return nullptr;
    const QStringList parts = QString::fromUtf8(data->data(kTablePanelMime)).split(u'\n');
    if (parts.size() != 2 || parts[0].toLongLong() != QCoreApplication::applicationPid())
        return nullptr; // a panel of another running workbench
    return findTablePanel(diagramOf(tablePanel()), parts[1]);
}

void TablePanelWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed || !(event->buttons() & Qt::LeftButton) || !isBlockTablePanel(tablePanel()))
        return;
    if ((event->position().toPoint() - m_pressedAt).manhattanLength() < QApplication::startDragDistance())
        return;
    m_pressed = false;
    auto* drag = new QDrag(this);
    drag->setMimeData(dragData());
    if (!picture().isNull())
        drag->setPixmap(QPixmap::fromImage(picture().copy(0, 0, kPictureHalf, kPictureHalf)));
    drag->exec(Qt::CopyAction);
}

void TablePanelWidget::dragEnterEvent(QDragEnterEvent* event)
{
    if (TablePanelDragOver(tablePanel(), draggedPanel(event->mimeData())))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TablePanelWidget::dragMoveEvent(QDragMoveEvent* event)
{
    if (TablePanelDragOver(tablePanel(), draggedPanel(event->mimeData())))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TablePanelWidget::dropEvent(QDropEvent* event)
{
    TTablePanel* dragged = draggedPanel(event->mimeData());
    if (!TablePanelDragOver(tablePanel(), dragged)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    Q_EMIT tablePanelDropped(dragged);
}

// --- SwitchFluxWidget --------------------------------------------------------------------------

SwitchFluxWidget::SwitchFluxWidget(TSwitchFlux* flux, FlowNotifier& notifier, QWidget* parent)
    : QWidget(parent), m_switch(flux)
{
    setObjectName(flux->Name);
    repaintOnChange(this, flux, notifier);
}

namespace {

// Where a terminal lies along the edge it sits on.
int terminalPosition(TfpDirection direction, int count, int terminal, int width, int height)
{
    const bool across = direction == fpdNord || direction == fpdSouth;
    const int extent = across ? width : height;
    if (count != 2)
        return direction == fpdEast ? height : extent / 2;
    const bool first = terminal == 1;
    switch (direction) {
    case fpdNord:
        return first ? width - 8 : 8;
    case fpdSouth:
    case fpdWest:
        return first ? 8 : extent - 8;
    case fpdEast:
        return first ? height - 8 : 8;
    }
    return 0;
}

} // namespace

std::pair<QLine, QLine> SwitchFluxWidget::arrowLines(const TSwitchFlux& flux, int w, int h)
{
    const TfpDirection d = flux.Direction();
    const int in = terminalPosition(d, flux.TermInNo(), flux.TermIn(), w, h);
    const int out = terminalPosition(d, flux.TermOutNo(), flux.TermOut(), w, h);
    switch (d) {
    case fpdNord:
        return {QLine(in - 2, h, out - 2, 0), QLine(in + 2, h, out + 2, 0)};
    case fpdSouth:
        return {QLine(in - 2, 0, out - 2, h), QLine(in + 2, 0, out + 2, h)};
    case fpdWest:
        return {QLine(w, in - 2, 0, out - 2), QLine(w, in + 2, 0, out + 2)};
    case fpdEast:
        break;
    }
    return {QLine(0, in - 2, w, out - 2), QLine(0, in + 2, w, out + 2)};
}

void SwitchFluxWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QPen(statusColor(m_switch->Status()), 1));
    const auto [first, second] = arrowLines(*m_switch, width(), height());
    painter.drawLine(first);
    painter.drawLine(second);
}

void SwitchFluxWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        m_switch->Click();
}

// --- CompPanelWidget ---------------------------------------------------------------------------

CompPanelWidget::CompPanelWidget(TCompPanel* b, FlowNotifier& notifier, QWidget* parent)
    : FluxPanelWidget(b, notifier, parent)
{
    Search = new FluxPanelWidget(b->Search, notifier, this);
    Search->setObjectName(b->Name + QStringLiteral("_Search"));
    Rule = new TablePanelWidget(b->Rule, notifier, this);
    Extr = new TablePanelWidget(b->Extr, notifier, this);
    Calc = new TablePanelWidget(b->Calc, notifier, this);
    Est = new TablePanelWidget(b->Est, notifier, this);
    Sel = new TablePanelWidget(b->Sel, notifier, this);
    Switch = new SwitchFluxWidget(b->Switch, notifier, this);
    Switch->setObjectName(b->Name + QStringLiteral("_Switch"));
    for (QWidget* part : std::initializer_list<QWidget*>{Search, Rule, Extr, Calc, Est, Sel})
        part->resize(24, 24);
    applyLayout(direction());
}

void CompPanelWidget::setDirection(TfpDirection d)
{
    if (d == direction())
        return;
    applyLayout(d);
}

void CompPanelWidget::applyLayout(TfpDirection d)
{
    struct Layout {
        QSize block;
        QPoint search, rule, extr, calc, est, sel;
        QRect flux;
    };
    static const Layout layouts[4] = {
        /* fpdNord */ {{104, 96}, {0, 72}, {40, 72}, {48, 32}, {80, 72}, {72, 32}, {0, 32}, {56, 0, 40, 32}},
        /* fpdWest */ {{96, 104}, {72, 80}, {72, 40}, {32, 32}, {72, 0}, {32, 8}, {32, 80}, {0, 8, 32, 40}},
        /* fpdSouth */ {{104, 96}, {80, 0}, {40, 0}, {32, 40}, {0, 0}, {8, 40}, {80, 40}, {8, 64, 40, 32}},
        /* fpdEast */ {{96, 104}, {10, 8}, {10, 56}, {50, 64}, {10, 104}, {50, 96}, {50, 8}, {64, 72, 32, 40}},
    };
    const Layout& layout = layouts[d];
    resize(layout.block);
    Search->move(layout.search);
    Rule->move(layout.rule);
    Extr->move(layout.extr);
    Calc->move(layout.calc);
    Est->move(layout.est);
    Sel->move(layout.sel);
    Switch->setGeometry(layout.flux);
    block()->Switch->SetDirection(d);
    update();
    Switch->update();
}

} // namespace verola
