#include "plugins/mapview/maplegend.h"

#include "plugins/mapview/mapmodel.h"

#include <QPainter>

namespace verola::mapview {
namespace {

constexpr int kMargin = 8;
constexpr int kSwatchGap = 6;

} // namespace

MapLegend::MapLegend(const MapModel& model, QWidget* parent)
    : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("mapLegend"));
    auto relayout = [this] {
        updateGeometry();
        update();
    };
    connect(&m_model, &MapModel::valuesChanged, this, relayout);
    connect(&m_model, &MapModel::regionsChanged, this, relayout);
}

QString MapLegend::title() const
{
    return m_model.unitText().isEmpty() ? QStringLiteral("Легенда") : m_model.unitText();
}

QFont MapLegend::titleFont() const
{
    QFont bold = font();
    bold.setBold(true);
    return bold;
}

int MapLegend::rowHeight() const
{
    return fontMetrics().height() + 4;
}

QSize MapLegend::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    const int swatch = metrics.height();
    int width = QFontMetrics(titleFont()).horizontalAdvance(title());
    const std::vector<LegendEntry> entries = m_model.legend();
    for (const LegendEntry& entry : entries)
        width = std::max(width, swatch + kSwatchGap + metrics.horizontalAdvance(entry.text));
    const int rows = 1 + static_cast<int>(entries.size());
    return QSize(width + 2 * kMargin, rows * rowHeight() + 2 * kMargin);
}

void MapLegend::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int swatch = metrics.height();
    int y = kMargin;
    painter.setFont(titleFont());
    painter.drawText(QRect(kMargin, y, width() - 2 * kMargin, rowHeight()), Qt::AlignLeft | Qt::AlignVCenter, title());
    painter.setFont(font());
    y += rowHeight();
    for (const LegendEntry& entry : m_model.legend()) {
        const QRect box(kMargin, y + (rowHeight() - swatch) / 2, swatch, swatch);
        painter.setPen(QColor(0x55, 0x55, 0x55));
        painter.setBrush(entry.colour);
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(box.right() + kSwatchGap, y, width() - box.right() - kSwatchGap - kMargin, rowHeight()),
            Qt::AlignLeft | Qt::AlignVCenter, entry.text);
        y += rowHeight();
    }
}

} // namespace verola::mapview
