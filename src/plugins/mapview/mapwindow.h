#pragma once

// The map window: a heading naming the slice, the map with its legend, and a status line that
// names the region clicked and its value. It is a top-level window of the main window it was
// created for; closing or hiding it is asked of the main window by a notification.

#include "plugins/api/verolaplugin.h"
#include "plugins/mapview/mapmodel.h"
#include "plugins/mapview/mapsettings.h"

#include <QDateTime>
#include <QPointer>
#include <QWidget>

class QAction;
class QLabel;

namespace verola {
class TCompPanel;
}

namespace verola::mapview {

class MapCanvas;
class MapLegend;

class MapWindow : public QWidget {
    Q_OBJECT
public:
    // `application` is the main window: the parent, and the receiver of the notifications.
    explicit MapWindow(QWidget* application);

    MapModel& model() { return m_model; }
    MapCanvas& canvas() { return *m_canvas; }

    void setCallbacks(VerolaSetListCallback setList, VerolaMapListCallback mapList, VerolaShowTableCallback showTable);
    // The configuration's name and folder, for the title.
    void setDescription(const QString& name, const QString& directory);
    void setTables(TTab* table, TTab* partner, int mode);
    // Reads the map the settings name from the data directory (again only when something changed).
    void loadMap(const QString& dataDirectory, TCompPanel* block);
    // Shows the slice of `index` over axis `regionAxis`, as the table window asks.
    void setMapFromTable(int regionAxis, TCompPanel* block, const int* index, const QString& kindName,
        const QString& unitText);
    int nameToNode(const QString& name) { return m_model.selectByName(name); }

    // The settings in force: the map list's, else those of the data directory's "Default.map",
    // else the defaults.
    MapSettings settings() const;
    // Writes the settings into the map list (other lines kept) and reads the map they name.
    void applySettings(const MapSettings& settings);
    void editSettings();
    // Hands the selected regions to the block as the region list of its sample.
    void sendSelectionToSample();

    QString statusText() const;
    QString headingText() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QStringList mapList() const;
    void storeMapList(const QStringList& lines);
    void readMap(bool force);
    void notify(int number);
    void updateHeading();
    void updateActions();
    void showStatus(const QString& text);
    void regionClicked(int region);
    void updateTitle();

    QPointer<QWidget> m_application;
    MapModel m_model;
    MapCanvas* m_canvas;
    MapLegend* m_legend;
    QLabel* m_heading;
    QLabel* m_status;
    QAction* m_settingsAction;
    QAction* m_tableAction;
    QAction* m_sampleAction;
    QAction* m_hideAction;

    VerolaSetListCallback m_setList = nullptr;
    VerolaMapListCallback m_mapList = nullptr;
    VerolaShowTableCallback m_showTable = nullptr;
    QStringList m_ownMapList; // the map list while no callback keeps it
    QString m_configName;
    QString m_dataDirectory;
    TCompPanel* m_block = nullptr;
    // What the map on show was read from.
    QString m_loadedPath;
    QString m_loadedField;
    QDateTime m_loadedTime;
};

} // namespace verola::mapview
