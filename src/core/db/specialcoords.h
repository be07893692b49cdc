#pragma once

// Positions that the per-record step treats specially: wind directions written as compass
// sectors and averaged as angles, temperatures read as integers, and horoscope questions.

#include "core/coreexport.h"
#include <QString>
#include <cstdint>
#include <vector>

namespace verola {

class Feedback;

// One accumulator of the innermost level: values summed (or an angle mean times the count).
struct VEROLA_CORE_EXPORT TOneTempItem {
    float Sum = -999.0f;
    std::int32_t Count = 0;
};
using TTempList = std::vector<TOneTempItem>;

// A field whose name holds "ветра", "VET", "Темпер" or "TEMPER" (letter case counting).
bool IsWindOrTempField(const QString& name);

struct VEROLA_CORE_EXPORT SectorReading {
    bool isSector = false;
    int degrees = 0;
};
// Degrees of a compass sector text ("С", "СВ", ... and the Latin-P spellings of the south).
// Empty text: not a sector, -999; any other text: not a sector, `degrees` unchanged.
SectorReading SectorDegrees(const QString& text, int degrees = 0);

// Codes that ask the horoscope test: they hold "HORO" or "Horo".
bool IsHoroscopeMarked(const QString& codes);

// Item n of a list; null, after showing "Максимальный номер …", when n lies outside it.
TOneTempItem* accumulatorAt(TTempList& list, int n, Feedback& feedback);

// Adds an angle to the running angular mean of item n. A missing value is dropped; an index
// outside the list is reported and dropped.
void AngleAccumulate(TTempList* list, int n, float x, Feedback& feedback);

} // namespace verola
