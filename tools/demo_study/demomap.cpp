#include "demomap.h"

#include "demodata.h"
#include "demofiles.h"

#include <shapefil.h>

#include <cmath>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace demo {
namespace {

// Kilometres east and north of the city's south-west corner.
struct Point {
    double x;
    double y;
};
using Chain = std::vector<Point>;
using Curve = std::function<double(double)>;

constexpr double kWidth = 24;   // km from the west edge to the east edge
constexpr double kStep = 0.5;   // km between the vertices of the long boundaries
constexpr double kOriginX = 512000; // metres of the local grid at x = 0
constexpr double kOriginY = 6215000;

double square(double v)
{
    return v * v;
}

// The boundaries that run across the city from west to east, south to north.
double riverMiddle(double x)
{
    return 9.6 + 1.3 * std::sin((x - 2) * 0.32);
}
const Curve southEdge = [](double x) { return -1.0 + 3.0 * square((x - 12) / 12) + 0.3 * std::sin(1.1 * x); };
const Curve suburbEdge = [](double x) { return riverMiddle(x) - 4.2 + 0.5 * std::sin(0.7 * x); };
const Curve rightBank = [](double x) { return riverMiddle(x) - 0.25; };
const Curve leftBank = [](double x) { return riverMiddle(x) + 0.25; };
const Curve northEdge = [](double x) { return 17.5 - 2.5 * square((x - 12) / 12) + 0.4 * std::sin(0.9 * x); };
// Between the two districts of the middle of the left bank.
const Curve leftMiddle = [](double x) { return (leftBank(x) + northEdge(x)) / 2 + 0.3 * std::sin(1.3 * x); };

// A curve from x = a to x = b (either way), a vertex at every step of the grid, so that two
// districts sharing a stretch of it share every vertex.
Chain along(const Curve& curve, double a, double b)
{
    Chain chain;
    const int from = int(std::lround(a / kStep));
    const int to = int(std::lround(b / kStep));
    const int direction = to >= from ? 1 : -1;
    for (int i = from;; i += direction) {
        chain.push_back({i * kStep, curve(i * kStep)});
        if (i == to)
            break;
    }
    return chain;
}

// A boundary between two districts of one band, from the lower curve up to the upper one at x,
// bending a little; the outer edges of the city bend outwards further.
Chain across(double x, const Curve& lower, const Curve& upper)
{
    const double y0 = lower(x);
    const double y1 = upper(x);
    const double bend = (x <= 0 || x >= kWidth) ? 0.45 : 0.3;
    const double outward = x <= 0 ? -1 : (x >= kWidth ? 1 : 0);
    Chain chain = {{x, y0}};
    for (double t : {0.25, 0.5, 0.75}) {
        const double wave = outward != 0 ? outward * (0.6 + std::sin(3 * t + x)) : std::sin(2.1 * x + 5 * t);
        chain.push_back({x + bend * wave, y0 + t * (y1 - y0)});
    }
    chain.push_back({x, y1});
    return chain;
}

void append(Chain& ring, const Chain& more)
{
    // The first point of a stretch is the last of the one before.
    ring.insert(ring.end(), more.begin() + (ring.empty() ? 0 : 1), more.end());
}

Chain reversed(Chain chain)
{
    return Chain(chain.rbegin(), chain.rend());
}

// The side boundary at x of a district between `lower` and `upper`, split at the curves in
// `through` where a neighbour on that side is divided.
Chain side(double x, const Curve& lower, const Curve& upper, const std::vector<const Curve*>& through)
{
    Chain chain;
    const Curve* from = &lower;
    for (const Curve* curve : through) {
        append(chain, across(x, *from, *curve));
        from = curve;
    }
    append(chain, across(x, *from, upper));
    return chain;
}

struct Shape {
    std::string district;
    double west;
    double east;
    const Curve* lower;
    const Curve* upper;
    std::vector<const Curve*> westSplits = {};
    std::vector<const Curve*> eastSplits = {};
};

// The outer ring of a district, clockwise as the shapefile format wants it.
Chain ring(const Shape& s)
{
    Chain chain;
    append(chain, along(*s.lower, s.west, s.east));
    append(chain, side(s.east, *s.lower, *s.upper, s.eastSplits));
    append(chain, along(*s.upper, s.east, s.west));
    append(chain, reversed(side(s.west, *s.lower, *s.upper, s.westSplits)));
    return reversed(chain);
}

const std::vector<Shape>& shapes()
{
    static const std::vector<Shape> list = {
        // The left bank, north of the river.
        {"Заводской", 0, 7, &leftBank, &northEdge, {}, {&leftMiddle}},
        {"Нефтяников", 7, 17, &leftBank, &leftMiddle},
        {"Северный", 7, 17, &leftMiddle, &northEdge},
        {"Промышленный", 17, kWidth, &leftBank, &northEdge, {&leftMiddle}, {}},
        // The right bank, south of it.
        {"Речной", 0, 8, &suburbEdge, &rightBank},
        {"Центральный", 8, 15, &suburbEdge, &rightBank},
        {"Октябрьский", 15, kWidth, &suburbEdge, &rightBank},
        // The suburbs.
        {"Сосновый", 0, 8, &southEdge, &suburbEdge},
        {"Южный", 8, 16, &southEdge, &suburbEdge},
        {"Луговой", 16, kWidth, &southEdge, &suburbEdge},
    };
    return list;
}

double metres(double km, double origin)
{
    return origin + std::round(km * 1000);
}

} // namespace

void writeDistrictMap(const std::filesystem::path& stem)
{
    std::map<std::string, const District*> byName;
    for (const District& d : districts())
        byName[d.name] = &d;

    const std::string base = stem.string();
    SHPHandle file = SHPCreate(base.c_str(), SHPT_POLYGON);
    if (!file)
        throw std::runtime_error("cannot create " + base + ".shp");
    DbfWriter table(base + ".dbf", {{"NAME", 'C', 30}, {"CODE", 'C', 2}, {"AREA", 'C', 20}});
    for (const Shape& s : shapes()) {
        const District* district = byName.at(s.district);
        const Chain points = ring(s);
        std::vector<double> x;
        std::vector<double> y;
        for (const Point& p : points) {
            x.push_back(metres(p.x, kOriginX));
            y.push_back(metres(p.y, kOriginY));
        }
        SHPObject* object = SHPCreateSimpleObject(SHPT_POLYGON, int(x.size()), x.data(), y.data(), nullptr);
        const int written = SHPWriteObject(file, -1, object);
        SHPDestroyObject(object);
        if (written < 0) {
            SHPClose(file);
            throw std::runtime_error("cannot write " + base + ".shp");
        }
        table.add({district->name, district->code, district->area});
    }
    SHPClose(file);
}

} // namespace demo
