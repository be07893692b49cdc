#pragma once

// What the map window shows: the regions of the map, the table whose slice fills them, the
// slice, the colour scale and the selected regions. The window's widgets only draw it.

#include "plugins/mapview/choropleth.h"
#include "plugins/mapview/regionshapes.h"

#include "core/tables/ttab.h"

#include <QList>
#include <QObject>
#include <optional>

namespace verola::mapview {

// The show-object answer when no region with a table position is selected.
constexpr int kNothingSelected = 111;

struct LegendEntry {
    QColor colour;
    QString text;
};

class MapModel : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    void setRegions(RegionShapes shapes);
    const std::vector<MapRegion>& regions() const { return m_shapes.regions; }
    QRectF bounds() const { return m_shapes.bounds; }

    // The table whose slice fills the map; its comparison view is what is read, against the
    // background the table itself names (FCompareSource), so the partner is not kept; `mode` only
    // names the comparison in the heading. The slice starts at the table's own slice (view axes at
    // their first position).
    void setTable(TTab* table, TTab* partner, int mode);
    TTab* table() const { return m_table; }
    int mode() const { return m_mode; }
    // The slice over `regionAxis` with every other axis at its position in `index`.
    void setSlice(int regionAxis, const CoordIndex& index);
    int regionAxis() const { return m_regionAxis; }
    const CoordIndex& sliceIndex() const { return m_index; }
    void setCaption(const QString& kindName, const QString& unitText);
    QString kindName() const { return m_kindName; }
    QString unitText() const { return m_unitText; }
    // Reads the slice again (the table's cells or lists changed).
    void refresh();

    // The region's position on the region axis, -1 when the table has none of its name.
    int positionOf(int region) const;
    // The region's value; none without a position or when the cell is missing.
    std::optional<double> valueOf(int region) const;
    // The colour class of the region, -1 without a value.
    int classOf(int region) const;
    QColor fillOf(int region) const;
    const ColourScale& scale() const { return m_scale; }
    std::vector<LegendEntry> legend() const;
    // The positions the other axes of the slice are at, for the window's heading.
    QString sliceText() const;
    // "name: value", or "name: нет данных".
    QString describe(int region) const;
    // The first region of that name (ignoring case), -1 when none.
    int regionNamed(const QString& name) const;

    // Selects one region (-1: none); `toggle` adds it to the selection or takes it out.
    void select(int region, bool toggle = false);
    const QList<int>& selection() const { return m_selection; }
    // Selects the region of that name and answers its position on the region axis (-1 when the
    // map has no such region or the table no such position).
    int selectByName(const QString& name);
    // The position of the selected region (the first one when several are) on the region axis,
    // or kNothingSelected when none with a position is selected.
    int showObjectFlag() const;

Q_SIGNALS:
    void regionsChanged();
    void valuesChanged();
    void selectionChanged();

private:
    void matchRegions();
    void readValues();

    RegionShapes m_shapes;
    TTab* m_table = nullptr;
    int m_mode = 0;
    int m_regionAxis = kRegionAxis;
    CoordIndex m_index{};
    QString m_kindName;
    QString m_unitText;
    std::vector<int> m_positions;                // per region
    std::vector<std::optional<double>> m_values; // per region
    ColourScale m_scale;
    QList<int> m_selection;
};

} // namespace verola::mapview
