#include "gui/flow/navigatordiagram.h"

#include "core/app/workspace.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QToolButton>

namespace verola {

namespace {

const QString kCoverMime = QStringLiteral("application/x-verola-cover");

// Room given to a block: wider and higher than its own layout, so that the Calc panel at the
// bottom and the block buttons stay visible.
constexpr int kBlockWidth = 130;
constexpr int kBlockHeight = 138;
constexpr int kColumnWidth = 146;
constexpr int kMargin = 8;
constexpr int kCoverHeight = 22;
constexpr int kCoverOverlap = 6; // the cover lies over the block's top edge, not its panels

struct BlockDecoration {
    const char16_t* caption;
    QColor colour;
};

const BlockDecoration kDecorations[kBlockCount] = {
    {u"Источник", QColor(255, 0, 0)},
    {u"Концентр", QColor(128, 0, 0)},
    {u"Инд. риск", QColor(128, 128, 0)},
    {u"Обращ.", QColor(0, 128, 0)},
    {u"Смертн.", QColor(0, 128, 128)},
};

QToolButton* blockButton(CompPanelWidget* block, const QString& name, const QString& hint, const QString& text)
{
    auto* button = new QToolButton(block);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setText(text);
    button->setCheckable(true);
    button->setAutoRaise(true);
    button->setGeometry(98, 108, 26, 24);
    return button;
}

} // namespace

// --- CoverPanel -----------------------------------------------------------------------------

CoverPanel::CoverPanel(int tag, const QString& caption, const QColor& colour, QWidget* parent)
    : QLabel(caption, parent)
{
    setObjectName(QStringLiteral("Panel10%1").arg(tag));
    setProperty("Tag", tag);
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(true);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colour);
    colours.setColor(QPalette::WindowText, Qt::white);
    colours.setColor(QPalette::Disabled, QPalette::Window, colour);
    colours.setColor(QPalette::Disabled, QPalette::WindowText, QColor(128, 128, 128));
    setPalette(colours);
    setAcceptDrops(true);
}

void CoverPanel::setBlockVisible(bool visible)
{
    setEnabled(visible);
}

void CoverPanel::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    m_pressedAt = event->position().toPoint();
}

void CoverPanel::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed || (event->position().toPoint() - m_pressedAt).manhattanLength() < QApplication::startDragDistance())
        return;
    m_pressed = false;
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setData(kCoverMime, objectName().toUtf8());
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction);
}

void CoverPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
    m_pressed = false;
}

void CoverPanel::dragEnterEvent(QDragEnterEvent* event)
{
    // Another cover is accepted while dragging; dropping it moves no data (see dropEvent).
    if (event->mimeData()->hasFormat(kCoverMime) && event->mimeData()->data(kCoverMime) != objectName().toUtf8())
        event->acceptProposedAction();
    else
        event->ignore();
}

void CoverPanel::dropEvent(QDropEvent* event)
{
    // A cover dropped on a cover transfers nothing: a transfer panel made here would be
    // discarded at once and could leave the target's maps pointing at a freed table.
    event->acceptProposedAction();
}

// --- NavigatorDiagram -----------------------------------------------------------------------

NavigatorDiagram::NavigatorDiagram(TWorkspace& workspace, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FlowDiagram"));
    FlowNotifier& notifier = workspace.notifier();
    for (int number = 0; number < kBlockCount; ++number) {
        const int left = kMargin + number * kColumnWidth;
        auto* block = new CompPanelWidget(workspace.block(number), notifier, this);
        block->setGeometry(left, kMargin + kCoverHeight - kCoverOverlap, kBlockWidth, kBlockHeight);
        m_blocks[number] = block;

        auto* cover = new CoverPanel(number + 1, QString::fromUtf16(kDecorations[number].caption),
            kDecorations[number].colour, this);
        cover->setGeometry(left, kMargin, kBlockWidth, kCoverHeight);
        cover->raise();
        connect(cover, &CoverPanel::clicked, this, [this, cover] { Panel101Click(cover); });
        m_covers[number] = cover;

        auto* unit = new QLabel(blockUnitText(number), this);
        unit->setObjectName(QStringLiteral("UnitLabel%1").arg(number));
        unit->setAlignment(Qt::AlignCenter);
        unit->setGeometry(left, block->geometry().bottom() + 4, kBlockWidth, 18);
        m_units[number] = unit;
    }
    ButtonISC3 = blockButton(m_blocks[kPolBlock], QStringLiteral("ButtonISC3"),
        QStringLiteral("Автоматический расчет по модели рассеяния"), QStringLiteral("ISC"));
    ButtonRisk = blockButton(m_blocks[kConcBlock], QStringLiteral("ButtonRisk"),
        QStringLiteral("Автоматический расчет по модели риска"), QStringLiteral("Р"));
    setMinimumSize(2 * kMargin + kBlockCount * kColumnWidth, m_units[0]->geometry().bottom() + kMargin);
}

TablePanelWidget* NavigatorDiagram::tablePanelWidget(const TTablePanel* panel) const
{
    for (CompPanelWidget* block : m_blocks)
        for (TablePanelWidget* widget : {block->Rule, block->Extr, block->Calc, block->Est, block->Sel})
            if (widget->tablePanel() == panel)
                return widget;
    return nullptr;
}

void NavigatorDiagram::Panel101Click(CoverPanel* clicked)
{
    for (CoverPanel* cover : m_covers)
        cover->setVisible(cover != clicked);
}

void NavigatorDiagram::decorate()
{
    const QImage query = panelPicture(QStringLiteral(":/pictures/query.png"));
    const QImage rule = panelPicture(QStringLiteral(":/pictures/rule.png"));
    const QImage extr = panelPicture(QStringLiteral(":/pictures/extr.png"));
    const QImage calc = panelPicture(QStringLiteral(":/pictures/calc.png"));
    const QImage table = panelPicture(QStringLiteral(":/pictures/table.png"));
    const QImage axes = panelPicture(QStringLiteral(":/pictures/axes.png"));
    for (CompPanelWidget* block : m_blocks) {
        block->Search->setPicture(query);
        block->Rule->setPicture(rule);
        block->Extr->setPicture(extr);
        block->Calc->setPicture(calc);
        block->Est->setPicture(table);
        block->Sel->setPicture(axes);
    }
}

} // namespace verola
