// Commands over the database description "Local.Ini": describe and query.
#include "cli.h"

#include "core/db/description.h"
#include "core/db/querybuilder.h"
#include "core/db/session.h"
#include "core/platform/paths.h"

#include <QDir>

namespace verola::cli {

namespace {

QString flagText(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

QString coordinateText(const TCoordItem& c, int n)
{
    QString text = QStringLiteral("Coordinate %1\n").arg(n);
    const auto field = [&text](const char* name, const QString& value) {
        text += QStringLiteral("  %1: %2\n").arg(QLatin1String(name), value);
    };
    const auto list = [&text](const char* name, const QStringList& values) {
        text += QStringLiteral("  %1: %2\n").arg(QLatin1String(name)).arg(values.size());
        for (qsizetype i = 0; i < values.size(); ++i)
            text += QStringLiteral("    %1[%2]: %3\n").arg(QLatin1String(name)).arg(i).arg(values.at(i));
    };
    field("Type", QString::number(c.Type));
    field("NameCoord", c.NameCoord);
    field("AxisCaption", c.AxisCaption);
    field("Path", c.Path);
    field("File", c.File);
    field("Index", c.Index);
    field("Code", c.Code);
    field("MasterField", c.MasterField);
    list("Items", c.Items);
    field("FormatCoord", c.FormatCoord);
    list("SqlItems", c.SqlItems);
    field("Uniq", flagText(c.Uniq));
    field("CodeTable", c.CodeTable);
    field("WeightTable", c.WeightTable);
    field("Man", c.Man);
    field("Woman", c.Woman);
    field("SetTime", c.SetTime);
    field("UseTime", c.UseTime);
    field("AgeType", QString::number(c.AgeType));
    field("ResultValue", c.ResultValue);
    field("SetRegionType", QString::number(c.SetRegionType));
    field("UseRegionType", QString::number(c.UseRegionType));
    field("MinValue", c.MinValue);
    field("MaxValue", c.MaxValue);
    field("SetYear", QString::number(c.SetYear));
    field("UseYear", QString::number(c.UseYear));
    field("Key", c.Key);
    return text;
}

QString panelInfoText(const TPanelInfoStruct& info, const QString& panelKind)
{
    QString text = QStringLiteral("Model: %1\nPanel: %2\nPanelSection: %3\nPanelText: %4\nDataType: %5\n")
                       .arg(info.ModelName, panelKind, info.PanelSection, info.PanelText, flagText(info.DataType));
    for (size_t n = 0; n < info.CoordItems.size(); ++n)
        text += coordinateText(info.CoordItems[n], static_cast<int>(n));
    text += QStringLiteral("Aliases: %1\n").arg(info.Aliases.size());
    for (const TAliaseType& alias : info.Aliases) {
        text += QStringLiteral("  %1: %2\n").arg(alias.Name, alias.Path);
        for (const QString& code : alias.Codes)
            text += QStringLiteral("    %1\n").arg(code);
    }
    return text;
}

QString checkedPanelKind(const QString& kind)
{
    if (!panelKinds().contains(kind))
        throw UsageError(QStringLiteral("--panel принимает %1, а не \"%2\"").arg(panelKinds().join(u'|'), kind));
    return kind;
}

// A model given by its full name, or by a code that FindModel resolves.
QString resolvedModel(const QString& given)
{
    QStringList models;
    ListModels(kDescriptionFile, models);
    if (models.contains(given))
        return given;
    const QString found = FindModel(kDescriptionFile, given);
    if (found.isEmpty())
        throw UsageError(QStringLiteral("нет модели \"%1\" в %2").arg(given, resolveSystemFile(kDescriptionFile)));
    return found;
}

QStringList describedKinds(const QString& model)
{
    const std::array<bool, 4> described = ModelPanelKinds(kDescriptionFile, model);
    QStringList kinds;
    for (int k = 0; k < 4; ++k)
        if (described[static_cast<size_t>(k)])
            kinds.append(panelKinds().at(k));
    return kinds;
}

void setCurrentCodes(TSelectionSources& sources, const QStringList& codes)
{
    for (const QString& assignment : codes) {
        const qsizetype equals = assignment.indexOf(u'=');
        bool ok = false;
        const int level = equals < 0 ? -1 : assignment.left(equals).toInt(&ok);
        if (!ok || level < 0 || level >= kLevelCount)
            throw UsageError(QStringLiteral("--code принимает LEVEL=CODE с уровнем от 0 до 3, а не \"%1\"").arg(assignment));
        sources.currentCodes[static_cast<size_t>(level)] = assignment.mid(equals + 1);
    }
}

void prepare(TSelectionSources& sources, int level)
{
    if (sources.UsesTemplatedTable(level))
        sources.PrepareTemplatedLevel(level);
    else
        sources.PrepareLevel(level);
}

bool drawsRecords(const TSelectionSources& sources, int level)
{
    const TCoordItem* c = sources.coordinate(level);
    return c && (c->Type == kQuerySource || c->Type == kTableSource || c->Type == kKeyedTable);
}

int openAndCount(TSelectionSources& sources, int level)
{
    // As in the selection, the outer levels that draw records are open before an inner one:
    // a linked table follows its query, a keyed table is searched at an inner key level.
    for (int outer = 0; outer < level; ++outer) {
        if (!drawsRecords(sources, outer))
            continue;
        prepare(sources, outer);
        if (sources.OpenLevel(outer) <= 0) {
            writeErr(QStringLiteral("уровень %1 (%2) не дал записей, поэтому уровень %3 не достигнут\n")
                         .arg(outer).arg(sources.coordinate(outer)->NameCoord).arg(level));
            writeOut(QStringLiteral("Записей: 0\n"));
            return 0;
        }
    }
    prepare(sources, level);
    const int count = sources.OpenLevel(level);
    QString text = QStringLiteral("Записей: %1\n").arg(count);
    if (count > 0 && level == sources.keyLevel && sources.queryLevel < 0)
        text += QStringLiteral("Ключ %1: %2\n")
                    .arg(sources.KeyValue(), sources.PositionByKey(level) ? QStringLiteral("найден")
                                                                          : QStringLiteral("не найден"));
    writeOut(text);
    return 0;
}

} // namespace

int runDescribe(Context&, Arguments& args)
{
    const QString modelOption = args.option(QStringLiteral("--model"));
    const QString panelOption = args.option(QStringLiteral("--panel"));
    if (!args.positionals().isEmpty())
        throw UsageError(QStringLiteral("команда describe не принимает файл: она читает %1 системной папки").arg(kDescriptionFile));
    if (modelOption.isEmpty()) {
        if (!panelOption.isEmpty())
            throw UsageError(QStringLiteral("--panel задается только вместе с --model"));
        QStringList models;
        ListModels(kDescriptionFile, models);
        QString text;
        for (const QString& model : models)
            text += QStringLiteral("%1: %2\n").arg(model, describedKinds(model).join(QStringLiteral(", ")));
        writeOut(text);
        return 0;
    }
    const QString model = resolvedModel(modelOption);
    const QStringList kinds = panelOption.isEmpty() ? describedKinds(model) : QStringList{checkedPanelKind(panelOption)};
    QString text;
    for (const QString& kind : kinds) {
        TPanelInfoStruct info;
        LoadPanelInfo(info, kDescriptionFile, kind, model);
        text += panelInfoText(info, kind);
    }
    writeOut(text);
    return 0;
}

int runQuery(Context& context, Arguments& args)
{
    const QString model = resolvedModel(args.requiredOption(QStringLiteral("--model")));
    const QString panelKind = checkedPanelKind(args.requiredOption(QStringLiteral("--panel")));
    const int level = args.intOption(QStringLiteral("--level"), -1, 0, kLevelCount - 1);
    if (level < 0)
        throw UsageError(QStringLiteral("не задан обязательный параметр --level"));
    const QStringList codes = args.options(QStringLiteral("--code"));
    const QString dataDir = args.option(QStringLiteral("--data-dir"));
    const bool open = args.flag(QStringLiteral("--open"));
    const bool showSql = args.flag(QStringLiteral("--show-sql"));
    if (!args.positionals().isEmpty())
        throw UsageError(QStringLiteral("команда query не принимает файл: она читает %1 системной папки").arg(kDescriptionFile));
    if (!dataDir.isEmpty() && !QDir::setCurrent(dataDir))
        throw UsageError(QStringLiteral("нет такой папки: %1").arg(dataDir));

    TSession::Default().setFormatSettings(context.format);
    TSelectionSources sources(context.format, context.feedback);
    LoadPanelInfo(sources.description, kDescriptionFile, panelKind, model);
    if (level >= static_cast<int>(sources.description.CoordItems.size()))
        throw UsageError(QStringLiteral("уровня %1 нет: %2 модели %3 описывает координат: %4")
                             .arg(level)
                             .arg(panelKind, model)
                             .arg(sources.description.CoordItems.size()));
    sources.setLevelsFromDescription(static_cast<int>(sources.description.CoordItems.size()));
    sources.showSql = showSql;
    setCurrentCodes(sources, codes);

    const TCoordItem& c = *sources.coordinate(level);
    if (c.Type == kQuerySource) {
        const bool built = sources.BuildQuery(level);
        writeOut(sources.sqlLines().join(u'\n') + (sources.sqlLines().isEmpty() ? QString() : QStringLiteral("\n")));
        if (!built) {
            writeErr(QStringLiteral("запрос не построен: у уровня не осталось строк SQL или нет таблицы из его строки FROM\n"));
            return 1;
        }
    } else if (c.Type == kTableSource || c.Type == kKeyedTable) {
        writeOut((sources.UsesTemplatedTable(level) ? sources.TemplatedTableName(level) : c.File) + u'\n');
    } else {
        writeOut(QStringLiteral("у уровня %1 (%2) нет базы данных: Type %3\n").arg(level).arg(c.NameCoord).arg(c.Type));
    }
    return open ? openAndCount(sources, level) : 0;
}

} // namespace verola::cli
