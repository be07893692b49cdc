#pragma once

// The graduated colour scale of the map: five classes of equal width between the smallest and
// the largest value shown, light yellow to dark red.

#include <QColor>
#include <QString>
#include <vector>

namespace verola::mapview {

class ColourScale {
public:
    static constexpr int kClasses = 5;

    ColourScale() = default;
    // The scale of the given values; without values it has no class.
    static ColourScale equalIntervals(const std::vector<double>& values);

    int classCount() const { return m_classes; }
    // The class of a value, 0 … classCount() − 1; values outside the range go to the nearest end.
    int classOf(double value) const;
    double lowerBound(int k) const { return m_minimum + k * m_width; }
    double upperBound(int k) const { return k + 1 == m_classes ? m_maximum : m_minimum + (k + 1) * m_width; }
    // The colour of class k (a scale of one class takes the middle colour).
    QColor colourOf(int k) const;

private:
    double m_minimum = 0;
    double m_maximum = 0;
    double m_width = 0;
    int m_classes = 0;
};

// The fill of a region that has no value.
QColor noDataColour();
// A value as the map writes it: six significant digits, the user's decimal separator.
QString valueText(double value, QChar decimalSeparator);

} // namespace verola::mapview
