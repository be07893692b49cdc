#include "plugins/mapview/choropleth.h"

#include "plugins/api/userformat.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace verola::mapview {
namespace {

// ColorBrewer's sequential "YlOrRd" of five classes.
const QColor kPalette[ColourScale::kClasses] = {
    QColor(0xff, 0xff, 0xb2), QColor(0xfe, 0xcc, 0x5c), QColor(0xfd, 0x8d, 0x3c), QColor(0xf0, 0x3b, 0x20),
    QColor(0xbd, 0x00, 0x26)};

} // namespace

ColourScale ColourScale::equalIntervals(const std::vector<double>& values)
{
    ColourScale scale;
    if (values.empty())
        return scale;
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    scale.m_minimum = *low;
    scale.m_maximum = *high;
    // Equal values make one class; so do ranges too narrow to split.
    scale.m_classes = scale.m_maximum > scale.m_minimum ? kClasses : 1;
    scale.m_width = (scale.m_maximum - scale.m_minimum) / scale.m_classes;
    if (!(scale.m_width > 0) || !std::isfinite(scale.m_width)) {
        scale.m_classes = 1;
        scale.m_width = 0;
    }
    return scale;
}

int ColourScale::classOf(double value) const
{
    if (m_classes <= 1)
        return m_classes - 1;
    const int k = static_cast<int>(std::floor((value - m_minimum) / m_width));
    return std::clamp(k, 0, m_classes - 1);
}

QColor ColourScale::colourOf(int k) const
{
    if (m_classes == 1)
        return kPalette[kClasses / 2];
    return kPalette[std::clamp(k, 0, kClasses - 1)];
}

QColor noDataColour()
{
    return QColor(0xe4, 0xe4, 0xe4);
}

QString valueText(double value, QChar decimalSeparator)
{
    return plugin::shownNumber(value, decimalSeparator);
}

} // namespace verola::mapview
