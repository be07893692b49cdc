#pragma once

#include "core/tables/ttab.h"
#include "testsupport.h"

#include <memory>

namespace verola::test {

// A small table as a block holds one: two pollutants (axis 0), a region tree with one group of
// two districts and a leaf (axis 1), three years (axis 2); every other axis the whole set.
// Cell (p, r, t) holds 1000·p + 100·r + t + 0.5, except the missing cell (0, 3, 2).
inline std::unique_ptr<TTab> makeRegionTable()
{
    auto table = std::make_unique<TTab>();
    std::array<QStringList, kAxisCount> lists;
    lists[0] = makeList(QStringLiteral("Загрязнители"), {QStringLiteral("\tNO2|D"), QStringLiteral("\tSO2|D")});
    lists[1] = makeList(QStringLiteral("Регионы"),
        {QStringLiteral("\tГород|T,GROUP:SUM"), QStringLiteral("\t\tСевер|D"), QStringLiteral("\t\tЮг|D"),
            QStringLiteral("\tПригород|D")});
    lists[2] = makeList(QStringLiteral("Годы"), {QStringLiteral("\t2018|D"), QStringLiteral("\t2019|D"),
        QStringLiteral("\t2020|D")});
    shapeTable(*table, lists);
    for (int p = 0; p < 2; ++p)
        for (int r = 0; r < 4; ++r)
            for (int t = 0; t < 3; ++t)
                table->SetCell(at({p, r, t}), 1000.0f * p + 100.0f * r + t + 0.5f);
    table->SetCell(at({0, 3, 2}), kMissing);
    return table;
}

// The main window's default view: regions across, years down, every other axis at 0.
inline void showRegionsByYears(TTab& table)
{
    CoordIndex v{};
    v[1] = -1;
    v[2] = -2;
    table.SetViewAxes(v);
}

} // namespace verola::test
