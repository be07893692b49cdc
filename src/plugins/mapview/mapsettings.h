#pragma once

// The map window's settings, kept as lines of the map list ("Shape=…", "NameField=…") beside
// whatever other lines the list holds.

#include <QString>
#include <QStringList>

namespace verola::mapview {

struct MapSettings {
    QString shape = QStringLiteral("districts.shp"); // relative to the data directory, or absolute
    QString nameField = QStringLiteral("NAME");       // the field of the shapefile's table naming a region

    bool operator==(const MapSettings&) const = default;
};

// True when the lines hold a "Shape=" line (keys compare ignoring case).
bool holdsMapSettings(const QStringList& lines);
// The settings the lines hold; a key that is absent or empty keeps its value in `fallback`.
MapSettings readMapSettings(const QStringList& lines, const MapSettings& fallback = MapSettings());
// The lines with the two settings written in: each replaces the first line of its key (later
// lines of that key are dropped) or, absent, is appended; every other line is kept as it is.
QStringList withMapSettings(const QStringList& lines, const MapSettings& settings);
// The shapefile's path: a relative name is taken from the data directory; "\" separates too.
QString shapePath(const QString& dataDirectory, const QString& shape);

} // namespace verola::mapview
