// Commands that read one table of a configuration's file set: dump and export-dbf.
#include "cli.h"
#include "tableselection.h"

#include "core/app/fileset.h"
#include "core/app/flux.h"
#include "core/app/processstate.h"
#include "core/platform/conversions.h"
#include "core/tables/lineutils.h"
#include "core/tables/compare.h"
#include "core/tables/tablefile.h"
#include "core/tables/ttab.h"

#include <QDir>
#include <QFileInfo>

namespace verola::cli {

namespace {

struct CompareSettings {
    int mode = 0;
    int source = 0;
    int axis = 0;
    int position = 0;
};

// MODE[,SOURCE[,AXIS,POS]]: mode 0 none, 1 difference, 2 ratio; sources 0..4.
CompareSettings parseCompare(const QString& text)
{
    const QStringList parts = text.split(u',');
    CompareSettings settings;
    int* fields[] = {&settings.mode, &settings.source, &settings.axis, &settings.position};
    const int maxima[] = {2, 4, kAxisCount - 1, 32766};
    if (parts.size() > 4 || parts.size() == 3)
        throw UsageError(QStringLiteral("--compare принимает MODE[,SOURCE[,AXIS,POS]], а не \"%1\"").arg(text));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        bool ok = false;
        const int value = parts.at(i).toInt(&ok);
        if (!ok || value < 0 || value > maxima[i])
            throw UsageError(QStringLiteral("--compare: \"%1\" вне допустимых пределов в \"%2\"").arg(parts.at(i), text));
        *fields[i] = value;
    }
    return settings;
}

// Reads every table of the block, linked to its background and block table as in the workbench.
TTab& readBlockForComparison(TCompPanel& block, const TableSelection& selection)
{
    for (int kind = 0; kind <= 4; ++kind)
        readTableFromFileSet(block.tableOfKind(kind), selection.location, selection.block, static_cast<TableKind>(kind));
    return block.tableOfKind(static_cast<int>(selection.kind));
}

// Advances an index with axis 11 fastest; false after the last cell.
bool nextIndex(CoordIndex& v, const CoordIndex& dims)
{
    for (int k = kAxisCount - 1; k >= 0; --k) {
        if (++v[k] < dims[k])
            return true;
        v[k] = 0;
    }
    return false;
}

} // namespace

int runDump(Context&, Arguments& args)
{
    TableSelection selection = selectTable(args);
    const bool withMissing = args.flag(QStringLiteral("--missing"));
    const QString compareText = args.option(QStringLiteral("--compare"));
    const QString configPath = takeConfigPath(args);
    TCompPanel block(nullptr);
    block.Tag = selection.block;
    TTab* selected = nullptr;
    if (compareText.isEmpty()) {
        selected = &block.tableOfKind(static_cast<int>(selection.kind));
        readSelection(*selected, selection, configPath);
    } else {
        const CompareSettings compare = parseCompare(compareText);
        locateSelection(selection, configPath);
        selected = &readBlockForComparison(block, selection);
        selected->FCompareMode = compare.mode;
        selected->FCompareSource = static_cast<std::uint32_t>(compare.source);
        selected->FCompareAxis = static_cast<std::uint16_t>(compare.axis);
        selected->FComparePos = static_cast<std::uint16_t>(compare.position);
    }
    TTab& table = *selected;

    QStringList header;
    for (int k = 0; k < kAxisCount; ++k)
        if (table.FDims[k] > 1)
            header.append(CoordFieldName(k));
    header.append(QStringLiteral("Value"));
    QString out = header.join(u',') + u'\n';

    CoordIndex v{};
    if (table.FCellCount > 0) {
        do {
            const float value = CompareRead(table, v);
            if (isMissing(value) && !withMissing)
                continue;
            for (int k = 0; k < kAxisCount; ++k)
                if (table.FDims[k] > 1)
                    out += csvField(LineName(table.PositionText(k, v[k]))) + u',';
            out += formatGeneral(value, 9, u'.') + u'\n';
            if (out.size() > (1 << 20)) {
                writeOut(out);
                out.clear();
            }
        } while (nextIndex(v, table.FDims));
    }
    writeOut(out);
    return 0;
}

int runExportDbf(Context& context, Arguments& args)
{
    static const char* const kValueFields[kBlockCount] = {"POL", "CONC", "DOSE", "DES", "DEATH"};
    TableSelection selection = selectTable(args);
    const QString outPath = args.requiredOption(QStringLiteral("--out"));
    const bool codes = args.flag(QStringLiteral("--codes"));
    QString field = args.option(QStringLiteral("--field"));
    if (field.isEmpty())
        field = QString::fromLatin1(kValueFields[selection.block]);
    const QString configPath = takeConfigPath(args);
    TTab table;
    readSelection(table, selection, configPath);

    const DbfExportResult result = ExportDbf(table, outPath, field, !codes, 7, 10, 104857600, 20, &context.feedback,
        QStringLiteral("Труба"));
    if (!result.created) {
        writeErr(QStringLiteral("файл не записан: у таблицы нет оси больше чем с одной позицией, или на диске "
                                "не хватает места\n"));
        return 1;
    }
    writeOut(QStringLiteral("в файл %2 записано записей: %1%3\n")
                 .arg(result.records)
                 .arg(outPath, result.stoppedAtLimit ? QStringLiteral(" (остановлено на пределе размера файла)") : QString()));
    if (result.unstorableValues > 0)
        writeErr(QStringLiteral("предупреждение: значений, которые не помещаются в поле значения (N 20.10) и записаны как -999: %1\n")
                     .arg(result.unstorableValues));
    return 0;
}

} // namespace verola::cli
