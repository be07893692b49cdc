#pragma once

// The small dialog of the map's settings: the shapefile and the field naming its regions.

#include "plugins/mapview/mapsettings.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace verola::mapview {

class MapSettingsDialog : public QDialog {
    Q_OBJECT
public:
    MapSettingsDialog(const MapSettings& settings, const QString& dataDirectory, QWidget* parent);

    MapSettings settings() const;

private:
    void browse();
    void offerFields();

    QString m_dataDirectory;
    QLineEdit* m_shape;
    QComboBox* m_nameField;
};

} // namespace verola::mapview
