#include "core/db/specialcoords.h"

#include "core/platform/feedback.h"

#include <array>
#include <utility>

namespace verola {

namespace {

constexpr float kNoValue = -999.0f;

} // namespace

bool IsWindOrTempField(const QString& name)
{
    static const std::array<QString, 4> marks = {QStringLiteral("ветра"), QStringLiteral("VET"),
        QStringLiteral("Темпер"), QStringLiteral("TEMPER")};
    for (const QString& mark : marks)
        if (name.contains(mark))
            return true;
    return false;
}

SectorReading SectorDegrees(const QString& text, int degrees)
{
    // С, В, Ю, З are Cyrillic; the south may be written with a Latin P.
    static const std::array<std::pair<QString, int>, 11> sectors = {{
        {QStringLiteral("С"), 0},
        {QStringLiteral("СВ"), 45},
        {QStringLiteral("В"), 90},
        {QStringLiteral("ЮВ"), 135},
        {QStringLiteral("PВ"), 135},
        {QStringLiteral("Ю"), 180},
        {QStringLiteral("P"), 180},
        {QStringLiteral("ЮЗ"), 225},
        {QStringLiteral("PЗ"), 225},
        {QStringLiteral("З"), 270},
        {QStringLiteral("СЗ"), 315},
    }};
    if (text.isEmpty())
        return {false, -999};
    for (const auto& [sector, value] : sectors)
        if (text == sector)
            return {true, value};
    return {false, degrees};
}

bool IsHoroscopeMarked(const QString& codes)
{
    return codes.contains(QStringLiteral("HORO")) || codes.contains(QStringLiteral("Horo"));
}

TOneTempItem* accumulatorAt(TTempList& list, int n, Feedback& feedback)
{
    const int count = static_cast<int>(list.size());
    if (n >= 0 && n < count)
        return &list[static_cast<size_t>(n)];
    feedback.message(QStringLiteral("Максимальный номер ") + QString::number(count - 1)
                     + QStringLiteral("\r\nтекущий номер ") + QString::number(n));
    return nullptr;
}

void AngleAccumulate(TTempList* list, int n, float x, Feedback& feedback)
{
    if (x == kNoValue || !list)
        return;
    TOneTempItem* found = accumulatorAt(*list, n, feedback);
    if (!found)
        return;
    TOneTempItem& item = *found;
    const int c = item.Count;
    item.Count = c + 1;
    if (c == 0) {
        item.Sum = x;
        return;
    }
    double mean = static_cast<double>(item.Sum) / c;
    mean += (x - mean) / (c + 1);
    if (mean > 360)
        mean -= 360;
    else if (mean < 0)
        mean += 360;
    item.Sum = static_cast<float>((c + 1) * mean);
}

} // namespace verola
