#include "core/db/description.h"

#include "core/platform/errors.h"
#include "core/platform/privateprofile.h"
#include "core/tables/lineutils.h"
#include "core/tables/ttab.h"

#include <algorithm>

namespace verola {

namespace {

const QString kPanelsSection = QStringLiteral("PanelsStruct");
const QString kModelsSection = QStringLiteral("ModelStruct");
const QString kCaptionsSection = QStringLiteral("CoordsStruct");
const QString kDatabasesSection = QStringLiteral("DataBaseStruct");

QString modelKey(int i)
{
    return QStringLiteral("Model%1").arg(i);
}

QString databaseKey(int i, const QString& field)
{
    return QStringLiteral("DataBase%1.%2").arg(i).arg(field);
}

// Counts beyond these come from a damaged or hostile file; reading on would take memory and time without end.
constexpr int kMaxCoordinates = kAxisCount;
constexpr int kMaxListEntries = 10000;

int readCount(const PrivateProfileDocument& ini, const QString& section, const QString& key, int defaultValue,
              int limit)
{
    const int count = ini.readInteger(section, key, defaultValue);
    if (count > limit)
        throw ELimitError(QStringLiteral("\"%1\" раздела [%2] в %3 равно %4, а допускается не больше %5")
                              .arg(key, section, ini.path()).arg(count).arg(limit));
    return count;
}

std::uint8_t readByte(const PrivateProfileDocument& ini, const QString& section, const QString& key)
{
    return static_cast<std::uint8_t>(ini.readInteger(section, key, 0));
}

void readTimeKeys(TCoordItem& item, const PrivateProfileDocument& ini, const QString& section)
{
    item.SetTime = ini.readString(section, QStringLiteral("SetTime"), item.SetTime);
    item.UseTime = ini.readString(section, QStringLiteral("UseTime"), item.UseTime);
    item.SetYear = readByte(ini, section, QStringLiteral("SetYear"));
    item.UseYear = readByte(ini, section, QStringLiteral("UseYear"));
}

void readSexAgeKeys(TCoordItem& item, const PrivateProfileDocument& ini, const QString& section)
{
    item.Man = ini.readString(section, QStringLiteral("Man"), item.Man);
    item.Woman = ini.readString(section, QStringLiteral("Woman"), item.Woman);
    item.AgeType = ini.readInteger(section, QStringLiteral("AgeType"), item.AgeType);
}

void readDatabaseKeys(TCoordItem& item, const PrivateProfileDocument& ini, const QString& section)
{
    item.Path = ini.readString(section, QStringLiteral("Path"), QString());
    item.File = ini.readString(section, QStringLiteral("File"), QString());
    item.MasterField = ini.readString(section, QStringLiteral("MasterField"), QString());
    item.Code = ini.readString(section, QStringLiteral("Code"), QString());
    const int count = readCount(ini, section, QStringLiteral("Len"), 0, kMaxListEntries);
    for (int n = 0; n < count; ++n) {
        const QString entry = ini.readString(section, QStringLiteral("Item%1").arg(n), QString());
        if (!entry.isEmpty())
            item.Items.append(entry);
    }
}

void readSqlKeys(TCoordItem& item, const PrivateProfileDocument& ini, const QString& section)
{
    const int count = readCount(ini, section, QStringLiteral("SQLLen"), 0, kMaxListEntries);
    for (int n = 0; n < count; ++n)
        item.SqlItems.append(ini.readString(section, QStringLiteral("SQLItem%1").arg(n), QString()));
}

TCoordItem readCoordItem(const PrivateProfileDocument& ini, const QString& section)
{
    TCoordItem item;
    item.NameCoord = ini.readString(section, QStringLiteral("NameCoord"), QString());
    item.Type = ini.readInteger(section, QStringLiteral("Type"), kNoDatabase);
    item.FormatCoord = ini.readString(section, QStringLiteral("FormatCoord"), item.FormatCoord);
    item.Uniq = ini.readBool(section, QStringLiteral("Uniq"), false);
    item.CodeTable = ini.readString(section, QStringLiteral("CodeTable"), QString());
    item.WeightTable = ini.readString(section, QStringLiteral("WeightTable"), QString());
    item.ResultValue = ini.readString(section, QStringLiteral("ResultValue"), QString());
    if (!item.NameCoord.isEmpty())
        item.AxisCaption = ini.readString(kCaptionsSection, item.NameCoord, QString());
    item.MinValue = ini.readString(section, QStringLiteral("MinValue"), QString());
    item.MaxValue = ini.readString(section, QStringLiteral("MaxValue"), QString());
    if (item.NameCoord == kTime)
        readTimeKeys(item, ini, section);
    if (item.NameCoord == kSexAgeGroup)
        readSexAgeKeys(item, ini, section);
    if (item.NameCoord == kRegion) {
        item.SetRegionType = readByte(ini, section, QStringLiteral("SetRegionType"));
        item.UseRegionType = readByte(ini, section, QStringLiteral("UseRegionType"));
    }
    if (item.Type == kKeyedTable) {
        item.Index = ini.readString(section, QStringLiteral("Index"), QString());
        item.Key = ini.readString(section, QStringLiteral("Key"), QString());
    }
    if (item.Type < kNoDatabase)
        readDatabaseKeys(item, ini, section);
    if (item.Type == kQuerySource)
        readSqlKeys(item, ini, section);
    return item;
}

void writeUnlessEmpty(PrivateProfileDocument& ini, const QString& section, const QString& key, const QString& value)
{
    if (!value.isEmpty())
        ini.writeString(section, key, value);
}

void writeCoordItem(PrivateProfileDocument& ini, const QString& section, const TCoordItem& item)
{
    ini.writeString(section, QStringLiteral("NameCoord"), item.NameCoord);
    if (item.Type < kNoDatabase)
        ini.writeInteger(section, QStringLiteral("Type"), item.Type);
    if (item.FormatCoord != QStringLiteral("String"))
        ini.writeString(section, QStringLiteral("FormatCoord"), item.FormatCoord);
    if (item.Uniq)
        ini.writeBool(section, QStringLiteral("Uniq"), true);
    writeUnlessEmpty(ini, section, QStringLiteral("CodeTable"), item.CodeTable);
    writeUnlessEmpty(ini, section, QStringLiteral("WeightTable"), item.WeightTable);
    writeUnlessEmpty(ini, section, QStringLiteral("ResultValue"), item.ResultValue);
    writeUnlessEmpty(ini, section, QStringLiteral("MinValue"), item.MinValue);
    writeUnlessEmpty(ini, section, QStringLiteral("MaxValue"), item.MaxValue);
    if (item.NameCoord == kTime) {
        ini.writeString(section, QStringLiteral("SetTime"), item.SetTime);
        ini.writeString(section, QStringLiteral("UseTime"), item.UseTime);
        if (item.SetYear == 1)
            ini.writeInteger(section, QStringLiteral("SetYear"), 1);
        if (item.UseYear == 1)
            ini.writeInteger(section, QStringLiteral("UseYear"), 1);
    }
    if (item.NameCoord == kSexAgeGroup) {
        ini.writeString(section, QStringLiteral("Man"), item.Man);
        ini.writeString(section, QStringLiteral("Woman"), item.Woman);
        ini.writeInteger(section, QStringLiteral("AgeType"), item.AgeType);
    }
    if (item.NameCoord == kRegion) {
        if (item.SetRegionType != 0)
            ini.writeInteger(section, QStringLiteral("SetRegionType"), item.SetRegionType);
        if (item.UseRegionType != 0)
            ini.writeInteger(section, QStringLiteral("UseRegionType"), item.UseRegionType);
    }
    if (item.Type == kKeyedTable) {
        writeUnlessEmpty(ini, section, QStringLiteral("Index"), item.Index);
        writeUnlessEmpty(ini, section, QStringLiteral("Key"), item.Key);
    }
    if (item.Type < kNoDatabase) {
        ini.writeString(section, QStringLiteral("Path"), item.Path);
        writeUnlessEmpty(ini, section, QStringLiteral("File"), item.File);
        writeUnlessEmpty(ini, section, QStringLiteral("MasterField"), item.MasterField);
        writeUnlessEmpty(ini, section, QStringLiteral("Code"), item.Code);
        if (!item.Items.isEmpty())
            ini.writeInteger(section, QStringLiteral("Len"), static_cast<int>(item.Items.size()));
        for (qsizetype n = 0; n < item.Items.size(); ++n)
            ini.writeString(section, QStringLiteral("Item%1").arg(n), item.Items.at(n));
    }
    if (item.Type == kQuerySource) {
        if (!item.SqlItems.isEmpty())
            ini.writeInteger(section, QStringLiteral("SQLLen"), static_cast<int>(item.SqlItems.size()));
        for (qsizetype n = 0; n < item.SqlItems.size(); ++n)
            ini.writeString(section, QStringLiteral("SQLItem%1").arg(n), item.SqlItems.at(n));
    }
}

void findPanelSection(TPanelInfoStruct& info, const PrivateProfileDocument& ini, const QString& panelKind)
{
    const int panels = readCount(ini, kPanelsSection, QStringLiteral("Panels"), 4, kMaxListEntries);
    for (int i = 0; i < panels; ++i) {
        const QString entry = ini.readString(kPanelsSection, QStringLiteral("Panel%1").arg(i), QString());
        if (entry.toLower().contains(panelKind.toLower())) {
            info.PanelSection = panelKind;
            const qsizetype comma = entry.indexOf(u',');
            info.PanelText = comma < 0 ? QString() : entry.mid(comma + 1);
            return;
        }
    }
}

void loadAliases(TPanelInfoStruct& info, const PrivateProfileDocument& ini)
{
    const int databases = readCount(ini, kDatabasesSection, QStringLiteral("DBLen"), 0, kMaxListEntries);
    // The limit holds for all databases together: counts of many databases multiply the reading.
    int templates = 0;
    for (int i = 0; i < databases; ++i) {
        const int codes = readCount(ini, kDatabasesSection, databaseKey(i, QStringLiteral("CodeLen")), 0, kMaxListEntries);
        templates += std::max(codes, 0);
        if (templates > kMaxListEntries)
            throw ELimitError(QStringLiteral("Базы данных раздела [%1] в %2 перечисляют больше %3 шаблонов имён таблиц")
                                  .arg(kDatabasesSection, ini.path()).arg(kMaxListEntries));
        for (int j = 0; j < codes; ++j) {
            const QString code = ini.readString(kDatabasesSection,
                databaseKey(i, QStringLiteral("Code%1.%2").arg(j).arg(info.PanelSection)), QString());
            if (code.isEmpty())
                continue;
            const QString name = ini.readString(kDatabasesSection, databaseKey(i, QStringLiteral("Name")), QString());
            auto alias = std::find_if(info.Aliases.begin(), info.Aliases.end(),
                [&](const TAliaseType& a) { return a.Name.compare(name, Qt::CaseInsensitive) == 0; });
            if (alias == info.Aliases.end()) {
                info.Aliases.push_back({name,
                    ini.readString(kDatabasesSection, databaseKey(i, QStringLiteral("Path")), QString()), {}});
                alias = info.Aliases.end() - 1;
            }
            alias->Codes.append(code);
        }
    }
}

} // namespace

const QStringList& panelKinds()
{
    static const QStringList kinds = {QStringLiteral("PolPanel"), QStringLiteral("ConcPanel"),
        QStringLiteral("DesPanel"), QStringLiteral("DeathPanel")};
    return kinds;
}

QString panelKindOfComponent(const QString& componentName)
{
    qsizetype end = componentName.size();
    while (end > 0 && componentName.at(end - 1) >= u'0' && componentName.at(end - 1) <= u'9')
        --end;
    return componentName.left(end);
}

QString coordSectionName(const QString& model, const QString& panelKind, int n)
{
    return QStringLiteral("%1 %2 Loop%3").arg(model, panelKind).arg(n);
}

void LoadPanelInfo(TPanelInfoStruct& info, const QString& file, const QString& panelKind, const QString& model)
{
    LoadPanelInfo(info, PrivateProfileDocument(file), panelKind, model);
}

void LoadPanelInfo(TPanelInfoStruct& info, const PrivateProfileDocument& ini, const QString& panelKind,
    const QString& model)
{
    info.ModelName = model;
    info.CoordItems.clear();
    info.Aliases.clear();
    findPanelSection(info, ini, panelKind);
    const int coords = readCount(ini, info.PanelSection, QStringLiteral("Coords"), 4, kMaxCoordinates);
    for (int n = 0; n < coords; ++n)
        info.CoordItems.push_back(readCoordItem(ini, coordSectionName(info.ModelName, info.PanelSection, n)));
    loadAliases(info, ini);
    info.DataType = ini.readBool(coordSectionName(model, panelKind, 0), QStringLiteral("DataType"), false);
}

int IndexOfCoord(const TPanelInfoStruct& info, const QString& name)
{
    if (name.isEmpty())
        return -1;
    for (size_t n = 0; n < info.CoordItems.size(); ++n) {
        const TCoordItem& item = info.CoordItems[n];
        if (item.NameCoord.compare(name, Qt::CaseInsensitive) == 0
            || item.AxisCaption.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(n);
    }
    return -1;
}

int ReadCoordCount(const QString& file, const QString& panelKind)
{
    return ReadCoordCount(PrivateProfileDocument(file), panelKind);
}

int ReadCoordCount(const PrivateProfileDocument& description, const QString& panelKind)
{
    return readCount(description, panelKind, QStringLiteral("Coords"), 0, kMaxCoordinates);
}

QString FindModel(const QString& file, const QString& code)
{
    return code.isEmpty() ? QString() : FindModel(PrivateProfileDocument(file), code);
}

QString FindModel(const PrivateProfileDocument& ini, const QString& code)
{
    if (code.isEmpty())
        return QString();
    const int models = readCount(ini, kModelsSection, QStringLiteral("Models"), 0, kMaxListEntries);
    for (int i = 0; i < models; ++i) {
        const QString name = ini.readString(kModelsSection, modelKey(i), QString());
        if (name.contains(code, Qt::CaseInsensitive))
            return name;
    }
    return QString();
}

void ListModels(const QString& file, QStringList& list)
{
    list.clear();
    const PrivateProfileDocument ini(file);
    const int models = readCount(ini, kModelsSection, QStringLiteral("Models"), 0, kMaxListEntries);
    for (int i = 0; i < models; ++i) {
        const QString name = ini.readString(kModelsSection, modelKey(i), QString());
        if (!name.isEmpty())
            list.append(name);
    }
}

std::array<bool, 4> ModelPanelKinds(const QString& file, const QString& model)
{
    const PrivateProfileDocument ini(file);
    std::array<bool, 4> described{};
    for (int k = 0; k < 4; ++k)
        described[k] = !ini.readString(coordSectionName(model, panelKinds().at(k), 0), QStringLiteral("NameCoord"),
                               QString()).isEmpty();
    return described;
}

void AddModel(const QString& file, const QString& name)
{
    PrivateProfileDocument ini(file);
    const int models = readCount(ini, kModelsSection, QStringLiteral("Models"), 0, kMaxListEntries);
    for (int i = 0; i < models; ++i)
        if (ini.readString(kModelsSection, modelKey(i), QString()) == name)
            return;
    ini.writeInteger(kModelsSection, QStringLiteral("Models"), models + 1);
    ini.writeString(kModelsSection, modelKey(models), name);
    ini.save();
}

void WriteCoordItems(const QString& file, const QString& prefix, int count, const TCoordItemList& editList)
{
    PrivateProfileDocument ini(file);
    for (int n = 0; n < count; ++n) {
        const QString section = QStringLiteral("%1 Loop%2").arg(prefix).arg(n);
        ini.eraseSection(section);
        // A count beyond the edit list leaves those sections erased rather than reading past its end.
        if (n < static_cast<int>(editList.size()))
            writeCoordItem(ini, section, editList[static_cast<size_t>(n)]);
    }
    ini.save();
}

void WriteDataType(const QString& file, const QString& model, const QString& panelKind, bool value)
{
    if (!value)
        return;
    PrivateProfileDocument ini(file);
    ini.writeBool(coordSectionName(model, panelKind, 0), QStringLiteral("DataType"), true);
    ini.save();
}

void DefaultCoordItems(const QString& file, const QString& panelKind, TCoordItemList& editList)
{
    const int count = ReadCoordCount(file, panelKind);
    if (count <= 0)
        return;
    editList.assign(static_cast<size_t>(count), TCoordItem());
    editList[0].NameCoord = kRegion;
    if (count > 1) {
        editList[1].Type = kQuerySource;
        if (panelKind == QStringLiteral("PolPanel"))
            editList[1].NameCoord = QStringLiteral("Industry");
        else if (panelKind == QStringLiteral("ConcPanel"))
            editList[1].NameCoord = QStringLiteral("Pollutant");
    }
    if (count > 2) {
        editList[2].NameCoord = kTime;
        editList[2].FormatCoord = QStringLiteral("DateTime");
    }
    if (count > 3 && panelKind == QStringLiteral("PolPanel"))
        editList[3].NameCoord = QStringLiteral("Pollutant");
    for (TCoordItem& item : editList)
        if (item.NameCoord == QStringLiteral("Pollutant"))
            item.FormatCoord = QStringLiteral("Float");
}

QString PanelKindName(const QString& file, int block)
{
    int entry = -1;
    switch (block) {
    case 0: entry = 0; break;
    case 1: entry = 1; break;
    case 3: entry = 2; break;
    case 4: entry = 3; break;
    default: return QString();
    }
    const QString text = PrivateProfileDocument(file).readString(kPanelsSection, QStringLiteral("Panel%1").arg(entry),
                                                                 QString());
    const qsizetype comma = text.indexOf(u',');
    return comma < 0 ? text : text.left(comma);
}

AxisRole DefaultAxisRole(int axis)
{
    AxisRole result{CoordFieldName(axis), QString()};
    if (axis == 0 || axis == 1 || axis == 2 || axis == 7)
        result.role = QStringLiteral("Value");
    else if (axis == 9 || axis == 10 || axis == 11)
        result.role = QStringLiteral("Title");
    return result;
}

QString CommonPrefix(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return QString();
    const QString& s = a.size() < b.size() ? a : b;
    const QString& t = a.size() < b.size() ? b : a;
    if (t.startsWith(s))
        return s;
    qsizetype n = 0;
    while (n < s.size() && !s.at(n).isDigit() && s.at(n).toLower() == t.at(n).toLower())
        ++n;
    return s.left(n);
}

ItemEntry SplitItemEntry(const QString& entry)
{
    return {FirstItem(entry), SecondItem(entry), ThirdItem(entry)};
}

ValueRange SplitRange(const QString& text)
{
    const qsizetype dash = text.indexOf(u'-');
    if (dash < 0)
        return {text, QString()};
    return {text.left(dash), text.mid(dash + 1)};
}

} // namespace verola
