#pragma once

#include "core/coreexport.h"

// The database description "Local.Ini": for every model and panel kind, the coordinates a
// block's sample walks, where each level's records come from and how their values are typed.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

namespace verola {

class PrivateProfileDocument;

inline const QString kDescriptionFile = QStringLiteral("Local.Ini");

// Coordinate names that the description and the query building treat specially.
inline const QString kRegion = QStringLiteral("Region");
inline const QString kTime = QStringLiteral("Time");
inline const QString kSexAgeGroup = QStringLiteral("SexAgeGroup");

// Data source of a coordinate level (TCoordItem::Type).
enum CoordSourceType : std::int32_t {
    kNoRecords = 0,   // no records are drawn at this level
    kQuerySource = 1, // SQL query (the query database)
    kTableSource = 2, // table (the table database)
    kKeyedTable = 3,  // table positioned by a key
    kNoDatabase = 4,  // the level is walked once per position
};

// One coordinate of a panel, in the order of the fields of its description section.
struct VEROLA_CORE_EXPORT TCoordItem {
    std::int32_t Type = kNoDatabase;
    QString NameCoord;
    QString AxisCaption;
    QString Path;
    QString File;
    QString Index;
    QString Code;
    QString MasterField;
    QStringList Items;
    QString FormatCoord = QStringLiteral("String");
    QStringList SqlItems;
    bool Uniq = false;
    QString CodeTable;
    QString WeightTable;
    QString Man = QStringLiteral("1");
    QString Woman = QStringLiteral("2");
    QString SetTime = QStringLiteral("Date");
    QString UseTime = QStringLiteral("Date");
    std::int32_t AgeType = 3;
    QString ResultValue;
    std::uint8_t SetRegionType = 0;
    std::uint8_t UseRegionType = 0;
    QString MinValue;
    QString MaxValue;
    std::uint8_t SetYear = 0;
    std::uint8_t UseYear = 0;
    QString Key;

    bool operator==(const TCoordItem&) const = default;
};

// One database of the description as one panel kind sees it.
struct VEROLA_CORE_EXPORT TAliaseType {
    QString Name;
    QString Path;
    QStringList Codes; // table-name templates
};

// One panel kind under one model, as loaded for a selection.
struct VEROLA_CORE_EXPORT TPanelInfoStruct {
    QString PanelSection;
    QString PanelText;
    QString ModelName;
    bool DataType = false;
    std::vector<TCoordItem> CoordItems; // in level order
    std::vector<TAliaseType> Aliases;
};

// The process-wide list of coordinates the block definition edits and WriteCoordItems writes.
using TCoordItemList = std::vector<TCoordItem>;

// The four panel kinds in the order of the panel list.
const QStringList& panelKinds();
// A block component's name without its trailing digits ("PolPanel1" -> "PolPanel").
QString panelKindOfComponent(const QString& componentName);
// Section of coordinate n of a panel kind under a model: "<model> <kind> Loop<n>".
QString coordSectionName(const QString& model, const QString& panelKind, int n);

void LoadPanelInfo(TPanelInfoStruct& info, const QString& file, const QString& panelKind, const QString& model);
int IndexOfCoord(const TPanelInfoStruct& info, const QString& name);
int ReadCoordCount(const QString& file, const QString& panelKind);
QString FindModel(const QString& file, const QString& code);
// The same over a description read once, for a run that looks into it again and again.
void LoadPanelInfo(TPanelInfoStruct& info, const PrivateProfileDocument& description, const QString& panelKind,
    const QString& model);
int ReadCoordCount(const PrivateProfileDocument& description, const QString& panelKind);
QString FindModel(const PrivateProfileDocument& description, const QString& code);
void ListModels(const QString& file, QStringList& list);
std::array<bool, 4> ModelPanelKinds(const QString& file, const QString& model);
void AddModel(const QString& file, const QString& name);
// Writes the first `count` items of the edit list as the coordinates of `prefix` ("<model> <kind>").
void WriteCoordItems(const QString& file, const QString& prefix, int count, const TCoordItemList& editList);
void WriteDataType(const QString& file, const QString& model, const QString& panelKind, bool value);
void DefaultCoordItems(const QString& file, const QString& panelKind, TCoordItemList& editList);
QString PanelKindName(const QString& file, int block);

struct VEROLA_CORE_EXPORT AxisRole {
    QString axisName;
    QString role; // "Value", "Title" or empty
};
AxisRole DefaultAxisRole(int axis);

QString CommonPrefix(const QString& a, const QString& b);

struct VEROLA_CORE_EXPORT ItemEntry {
    QString field;
    QString coordinate;
    QString role;
};
ItemEntry SplitItemEntry(const QString& entry);

struct VEROLA_CORE_EXPORT ValueRange {
    QString lower;
    QString upper;
};
ValueRange SplitRange(const QString& text);

} // namespace verola
