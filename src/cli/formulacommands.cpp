// Commands of formulas and summaries: eval and summarize.
#include "cli.h"
#include "tableselection.h"

#include "core/app/fileset.h"
#include "core/app/processstate.h"
#include "core/expr/parser.h"
#include "core/platform/conversions.h"
#include "core/platform/errors.h"
#include "core/tables/summary.h"
#include "core/tables/tablefile.h"
#include "core/tables/ttab.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

namespace verola::cli {

namespace {

constexpr int kCompileErrorStatus = 2;
constexpr int kArithmeticFaultStatus = 3;

double* parserVariable(TParser& parser, const QString& name)
{
    const QString upper = name.toUpper();
    double* const addresses[] = {&parser.A, &parser.B, &parser.C, &parser.D, &parser.E, &parser.X, &parser.Y,
        &parser.T};
    const char* const names[] = {"A", "B", "C", "D", "E", "X", "Y", "T"};
    for (int i = 0; i < 8; ++i)
        if (upper == QLatin1String(names[i]))
            return addresses[i];
    return nullptr;
}

void assignVariable(TParser& parser, const QString& assignment)
{
    const qsizetype equals = assignment.indexOf(u'=');
    if (equals <= 0)
        throw UsageError(QStringLiteral("переменные задаются как NAME=VALUE, а не \"%1\"").arg(assignment));
    const QString name = assignment.left(equals);
    double* variable = parserVariable(parser, name);
    if (!variable)
        throw UsageError(QStringLiteral("\"%1\" не является переменной: допустимы A, B, C, D, E, X, Y и T").arg(name));
    bool ok = false;
    const double value = assignment.mid(equals + 1).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw UsageError(QStringLiteral("\"%1\" не является числом (десятичный разделитель \".\")")
                             .arg(assignment.mid(equals + 1)));
    *variable = value;
}

int reportArithmeticFault(const EFloatingPointError& error)
{
    writeErr(QStringLiteral("ошибка вычисления с плавающей точкой: %1\n").arg(error.message()));
    return kArithmeticFaultStatus;
}

} // namespace

int runEval(Context& context, Arguments& args)
{
    const QString formula = args.option(QStringLiteral("--formula"));
    const QStringList rest = args.positionals();
    if (!formula.isEmpty()) {
        if (!rest.isEmpty())
            throw UsageError(QStringLiteral("после --formula других аргументов не бывает"));
        SummaryState state(context.format);
        try {
            const float value = EvaluateFormula(formula, state);
            writeOut(formatGeneral(value, 15, u'.') + u'\n');
            return 0;
        } catch (const EFloatingPointError& error) {
            return reportArithmeticFault(error);
        }
    }
    if (rest.isEmpty())
        throw UsageError(QStringLiteral("укажите выражение"));
    TParser parser;
    parser.SetDotNumberFormat(true);
    for (qsizetype i = 1; i < rest.size(); ++i)
        assignVariable(parser, rest.at(i));
    try {
        parser.SetExpression(rest.first());
    } catch (const EMathParserError& error) {
        QString message = error.message();
        message.replace(u'\r', u' ');
        writeErr(QStringLiteral("%1: %2\n").arg(QString::fromLatin1(error.className()), message));
        return kCompileErrorStatus;
    }
    try {
        writeOut(formatGeneral(parser.Value(), 15, u'.') + u'\n');
        return 0;
    } catch (const EFloatingPointError& error) {
        return reportArithmeticFault(error);
    }
}

int runSummarize(Context& context, Arguments& args)
{
    TableSelection selection = selectTable(args);
    QString outPath = args.option(QStringLiteral("--out"));
    // The value line FORM rules read ("Текущее поле"); none unless given.
    const int valueLine = args.intOption(QStringLiteral("--value-line"), -1, -1, kMaxAxisLines - 1);
    TTab table;
    readSelection(table, selection, takeConfigPath(args));
    if (outPath.isEmpty())
        outPath = selection.location.filePath(tableFileExtension(selection.kind, selection.block));
    int status = 0;
    try {
        Summarize(table, context.format, valueLine);
    } catch (const EFloatingPointError& error) {
        status = reportArithmeticFault(error);
    } catch (const EConvertError& error) {
        writeErr(QStringLiteral("ошибка преобразования: %1\n").arg(error.message()));
        status = 1;
    }
    // Cells computed before a stop keep their values, so they are written either way.
    SaveToFile(table, outPath);
    writeOut(QStringLiteral("в файл %2 записано ячеек: %1\n").arg(table.FCellCount).arg(outPath));
    return status;
}

} // namespace verola::cli
