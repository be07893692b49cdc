#pragma once

// The map of the demo city: a polygon shapefile of its ten districts.

#include <filesystem>

namespace demo {

// Writes `stem`.shp, .shx and .dbf (fields NAME, CODE, AREA; code page 1251). The districts tile
// the city without overlaps; a river runs through it from west to east, between the left bank
// (north) and the right bank with the suburbs south of it. Coordinates are metres of a local grid,
// whole numbers, so the files are the same on every machine.
void writeDistrictMap(const std::filesystem::path& stem);

} // namespace demo
