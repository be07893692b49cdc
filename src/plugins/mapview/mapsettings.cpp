#include "plugins/mapview/mapsettings.h"

#include <QDir>
#include <algorithm>

namespace verola::mapview {
namespace {

const QString kShapeKey = QStringLiteral("Shape");
const QString kNameFieldKey = QStringLiteral("NameField");

// The key of a "Key=value" line, empty for any other line.
QString keyOf(const QString& line)
{
    const qsizetype equals = line.indexOf(u'=');
    return equals > 0 ? line.left(equals).trimmed() : QString();
}

QString valueOf(const QString& line)
{
    return line.mid(line.indexOf(u'=') + 1).trimmed();
}

bool isKey(const QString& line, const QString& key)
{
    return keyOf(line).compare(key, Qt::CaseInsensitive) == 0;
}

} // namespace

bool holdsMapSettings(const QStringList& lines)
{
    return std::any_of(lines.begin(), lines.end(), [](const QString& line) { return isKey(line, kShapeKey); });
}

MapSettings readMapSettings(const QStringList& lines, const MapSettings& fallback)
{
    MapSettings settings = fallback;
    bool shapeSeen = false;
    bool fieldSeen = false;
    for (const QString& line : lines) {
        if (!shapeSeen && isKey(line, kShapeKey)) {
            shapeSeen = true;
            if (!valueOf(line).isEmpty())
                settings.shape = valueOf(line);
        } else if (!fieldSeen && isKey(line, kNameFieldKey)) {
            fieldSeen = true;
            if (!valueOf(line).isEmpty())
                settings.nameField = valueOf(line);
        }
    }
    return settings;
}

QStringList withMapSettings(const QStringList& lines, const MapSettings& settings)
{
    const std::pair<QString, QString> entries[] = {{kShapeKey, settings.shape}, {kNameFieldKey, settings.nameField}};
    QStringList result;
    bool written[2] = {false, false};
    for (const QString& line : lines) {
        bool settingLine = false;
        for (int i = 0; i < 2; ++i) {
            if (!isKey(line, entries[i].first))
                continue;
            settingLine = true;
            if (!written[i])
                result.append(entries[i].first + u'=' + entries[i].second);
            written[i] = true;
        }
        if (!settingLine)
            result.append(line);
    }
    for (int i = 0; i < 2; ++i)
        if (!written[i])
            result.append(entries[i].first + u'=' + entries[i].second);
    return result;
}

QString shapePath(const QString& dataDirectory, const QString& shape)
{
    QString name = shape;
    name.replace(u'\\', u'/');
    if (QDir::isAbsolutePath(name))
        return QDir::cleanPath(name);
    return QDir::cleanPath(QDir(dataDirectory).filePath(name));
}

} // namespace verola::mapview
