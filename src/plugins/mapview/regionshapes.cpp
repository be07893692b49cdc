#include "plugins/mapview/regionshapes.h"

#include "core/platform/errors.h"
#include "core/platform/textfile.h"

#include <shapefil.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPolygonF>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>

namespace verola::mapview {
namespace {

struct ShpCloser {
    void operator()(SHPInfo* handle) const { SHPClose(handle); }
};
struct DbfCloser {
    void operator()(DBFInfo* handle) const { DBFClose(handle); }
};
struct ObjectDestroyer {
    void operator()(SHPObject* object) const { SHPDestroyObject(object); }
};
using ShapeFile = std::unique_ptr<SHPInfo, ShpCloser>;
using ShapeTable = std::unique_ptr<DBFInfo, DbfCloser>;
using ShapeObject = std::unique_ptr<SHPObject, ObjectDestroyer>;

QString tablePath(const QString& shpPath)
{
    const QFileInfo info(shpPath);
    return info.path() + u'/' + info.completeBaseName() + QStringLiteral(".dbf");
}

ShapeTable openTable(const QString& shpPath)
{
    return ShapeTable(DBFOpen(QFile::encodeName(tablePath(shpPath)).constData(), "rb"));
}

bool isPolygon(int type)
{
    return type == SHPT_POLYGON || type == SHPT_POLYGONZ || type == SHPT_POLYGONM;
}

// A mark of the table's code page (its ".cpg", else its dBase language mark) that names UTF-8,
// or code page 1251.
bool markedUtf8(const QString& mark)
{
    return mark.contains(QStringLiteral("UTF")) || mark == QStringLiteral("65001");
}

bool marked1251(const QString& mark)
{
    return mark.contains(QStringLiteral("1251")) || mark == QStringLiteral("LDID/201");
}

// Texts that are all valid UTF-8 with at least one byte beyond ASCII: text in code page 1251
// almost never is, as its letters stand in pairs no UTF-8 sequence has.
bool readsAsUtf8(const std::vector<QByteArray>& texts)
{
    bool beyondAscii = false;
    for (const QByteArray& text : texts) {
        if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            beyondAscii = true;
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString decoded = decoder.decode(text);
        if (decoder.hasError())
            return false;
    }
    return beyondAscii;
}

// The table's texts are code page 1251, the system's own, unless its mark says UTF-8, or it has
// no mark for 1251 and its texts read as UTF-8 (a map saved as UTF-8 without its ".cpg").
bool namesInUtf8(DBFHandle table, const std::vector<QByteArray>& texts)
{
    const QString mark = QString::fromLatin1(DBFGetCodePage(table) ? DBFGetCodePage(table) : "").toUpper();
    if (markedUtf8(mark))
        return true;
    return !marked1251(mark) && readsAsUtf8(texts);
}

double signedArea(const QPolygonF& ring)
{
    double twice = 0;
    for (qsizetype i = 0; i + 1 < ring.size(); ++i)
        twice += ring[i].x() * ring[i + 1].y() - ring[i + 1].x() * ring[i].y();
    return twice / 2;
}

QPointF centroid(const QPolygonF& ring)
{
    double area = 0;
    double cx = 0;
    double cy = 0;
    for (qsizetype i = 0; i + 1 < ring.size(); ++i) {
        const double cross = ring[i].x() * ring[i + 1].y() - ring[i + 1].x() * ring[i].y();
        area += cross;
        cx += (ring[i].x() + ring[i + 1].x()) * cross;
        cy += (ring[i].y() + ring[i + 1].y()) * cross;
    }
    if (std::abs(area) < 1e-12)
        return ring.boundingRect().center();
    return QPointF(cx / (3 * area), cy / (3 * area));
}

// Where the lines of `rings` cross the horizontal (or vertical) line at `at`, in order.
std::vector<double> crossings(const std::vector<QPolygonF>& rings, double at, bool horizontal)
{
    std::vector<double> found;
    for (const QPolygonF& ring : rings) {
        for (qsizetype i = 0; i + 1 < ring.size(); ++i) {
            const QPointF a = horizontal ? ring[i] : QPointF(ring[i].y(), ring[i].x());
            const QPointF b = horizontal ? ring[i + 1] : QPointF(ring[i + 1].y(), ring[i + 1].x());
            if ((a.y() <= at) != (b.y() <= at))
                found.push_back(a.x() + (at - a.y()) * (b.x() - a.x()) / (b.y() - a.y()));
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

// How far `point` is from the outline along the vertical line through it; 0 when outside.
double verticalRoom(const std::vector<QPolygonF>& rings, const QPointF& point)
{
    const std::vector<double> ys = crossings(rings, point.x(), false);
    for (size_t i = 0; i + 1 < ys.size(); i += 2)
        if (ys[i] <= point.y() && point.y() <= ys[i + 1])
            return std::min(point.y() - ys[i], ys[i + 1] - point.y());
    return 0;
}

// A point inside the polygon (its holes left out) for its label, away from its lines: of the
// middles of the stretches inside it along a few horizontal lines through the largest ring, the
// one with the most room around it both ways. The centroid of the largest ring when the polygon
// is too small for any line to find room.
QPointF labelPointOf(const std::vector<QPolygonF>& rings, const QPolygonF& largest)
{
    constexpr int kLines = 15;
    const QRectF box = largest.boundingRect();
    QPointF best = centroid(largest);
    double bestRoom = -1;
    for (int line = 1; line <= kLines; ++line) {
        const double y = box.top() + box.height() * line / (kLines + 1);
        const std::vector<double> xs = crossings(rings, y, true);
        for (size_t i = 0; i + 1 < xs.size(); i += 2) {
            const QPointF middle((xs[i] + xs[i + 1]) / 2, y);
            if (!largest.containsPoint(middle, Qt::OddEvenFill))
                continue;
            const double room = std::min((xs[i + 1] - xs[i]) / 2, verticalRoom(rings, middle));
            if (room > bestRoom) {
                bestRoom = room;
                best = middle;
            }
        }
    }
    return best;
}

// The rings of a polygon record as one path; false when it holds no ring with an area.
bool readOutline(const SHPObject& object, MapRegion& region)
{
    const int parts = std::max(1, object.nParts);
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    double largest = -1;
    std::vector<QPolygonF> rings;
    qsizetype largestRing = -1;
    for (int part = 0; part < parts; ++part) {
        const int start = object.nParts > 0 ? object.panPartStart[part] : 0;
        const int end = part + 1 < object.nParts ? object.panPartStart[part + 1] : object.nVertices;
        if (start < 0 || end > object.nVertices || end - start < 3)
            continue;
        QPolygonF ring;
        ring.reserve(end - start + 1);
        for (int v = start; v < end; ++v)
            ring.append(QPointF(object.padfX[v], object.padfY[v]));
        if (!ring.isClosed())
            ring.append(ring.first());
        path.addPolygon(ring);
        path.closeSubpath();
        const double area = std::abs(signedArea(ring));
        if (area > largest) {
            largest = area;
            largestRing = static_cast<qsizetype>(rings.size());
        }
        rings.push_back(std::move(ring));
    }
    if (largestRing >= 0)
        region.labelPoint = labelPointOf(rings, rings[largestRing]);
    region.outline = path;
    return largest > 0;
}

// The index entries of a ".shx" that may be read: each byte of the ".shp" belongs to one record
// at most. A damaged index whose entries point outside the file, or again and again at one
// record, would otherwise take the same polygon a million times over.
class RecordRanges {
public:
    explicit RecordRanges(qint64 fileSize) : m_fileSize(fileSize) {}

    // False for a record outside the file or overlapping one already taken.
    bool take(std::uint64_t offset, std::uint64_t contentSize)
    {
        const std::uint64_t end = offset + kRecordHeader + contentSize;
        if (offset < kFileHeader || end > static_cast<std::uint64_t>(m_fileSize))
            return false;
        const auto next = m_taken.lower_bound(offset);
        if (next != m_taken.end() && next->first < end)
            return false;
        if (next != m_taken.begin() && std::prev(next)->second > offset)
            return false;
        m_taken.emplace_hint(next, offset, end);
        return true;
    }

private:
    static constexpr std::uint64_t kFileHeader = 100;
    static constexpr std::uint64_t kRecordHeader = 8;
    qint64 m_fileSize;
    std::map<std::uint64_t, std::uint64_t> m_taken; // first byte -> one past the last
};

} // namespace

RegionShapes readRegionShapes(const QString& shpPath, const QString& nameField)
{
    ShapeFile file(SHPOpen(QFile::encodeName(shpPath).constData(), "rb"));
    if (!file)
        throw EInOutError(QStringLiteral("Не могу открыть карту %1").arg(QDir::toNativeSeparators(shpPath)));
    ShapeTable table = openTable(shpPath);
    if (!table)
        throw EInOutError(QStringLiteral("Не могу открыть таблицу карты %1")
                              .arg(QDir::toNativeSeparators(tablePath(shpPath))));
    const int field = DBFGetFieldIndex(table.get(), nameField.toLatin1().constData());
    if (field < 0)
        throw EInOutError(QStringLiteral("В таблице карты %1 нет поля %2")
                              .arg(QDir::toNativeSeparators(tablePath(shpPath)), nameField));

    int count = 0;
    int type = 0;
    SHPGetInfo(file.get(), &count, &type, nullptr, nullptr);
    const int named = DBFGetRecordCount(table.get());
    RecordRanges ranges(QFileInfo(shpPath).size());
    RegionShapes shapes;
    std::vector<QByteArray> names; // as the table holds them, one per region
    for (int record = 0; record < count; ++record) {
        if (!ranges.take(file->panRecOffset[record], file->panRecSize[record]))
            continue;
        ShapeObject object(SHPReadObject(file.get(), record));
        if (!object || !isPolygon(object->nSHPType))
            continue;
        MapRegion region;
        if (!readOutline(*object, region))
            continue;
        QByteArray name;
        if (record < named && !DBFIsAttributeNULL(table.get(), record, field))
            name = DBFReadStringAttribute(table.get(), record, field);
        shapes.bounds = shapes.bounds.united(region.outline.boundingRect());
        shapes.regions.push_back(std::move(region));
        names.push_back(name);
    }
    const bool utf8 = namesInUtf8(table.get(), names);
    for (size_t i = 0; i < shapes.regions.size(); ++i)
        shapes.regions[i].name = (utf8 ? QString::fromUtf8(names[i]) : decodeCp1251(names[i])).trimmed();
    if (shapes.regions.empty())
        throw EInOutError(QStringLiteral("На карте %1 нет многоугольников").arg(QDir::toNativeSeparators(shpPath)));
    return shapes;
}

QStringList shapeTableFields(const QString& shpPath)
{
    QStringList names;
    ShapeTable table = openTable(shpPath);
    if (!table)
        return names;
    for (int i = 0; i < DBFGetFieldCount(table.get()); ++i) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {0};
        DBFGetFieldInfo(table.get(), i, name, nullptr, nullptr);
        names.append(QString::fromLatin1(name));
    }
    return names;
}

} // namespace verola::mapview
