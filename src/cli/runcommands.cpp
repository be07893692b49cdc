// The "run" command: open a configuration, run block actions on it, save it.
#include "cli.h"

#include "app/blockactions.h"
#include "app/configuration.h"
#include "app/workspace.h"
#include "platform/errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace verola::cli {

namespace {

struct StepLine {
    QString verb;
    int block = -1;
    QString rest;
};

StepLine parseStep(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^([a-z]+):([0-4])(.*)$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        throw UsageError(QStringLiteral("bad step \"%1\" (expected e.g. rule:0, switch:1=2)").arg(text));
    return {match.captured(1), match.captured(2).toInt(), match.captured(3)};
}

QString runStep(TWorkspace& workspace, const StepLine& step, const QString& text)
{
    static const BlockSteps steps;
    TCompPanel& block = *workspace.block(step.block);
    const bool plain = step.rest.isEmpty();
    if (step.verb == QStringLiteral("rule") && plain)
        return RulePanelClick(workspace, block).text;
    if (step.verb == QStringLiteral("extr") && plain)
        return ExtrPanelClick(workspace, block).text;
    if (step.verb == QStringLiteral("calc") && plain)
        return CalcPanelClick(workspace, block).text;
    if (step.verb == QStringLiteral("est") && plain)
        return EstPanelClick(workspace, block).text;
    if (step.verb == QStringLiteral("summary") && plain) {
        workspace.activate(&block);
        SummaryRecalculation(workspace);
        return QStringLiteral("block %1: summary tables recalculated").arg(step.block);
    }
    if (step.verb == QStringLiteral("switch") && (step.rest == QStringLiteral("=1") || step.rest == QStringLiteral("=2"))) {
        block.Switch->SetTermIn(step.rest.mid(1).toInt());
        return QStringLiteral("block %1: switch takes its %2 panel")
            .arg(step.block)
            .arg(block.Switch->TermIn() == 1 ? QStringLiteral("Est") : QStringLiteral("Extr"));
    }
    throw UsageError(QStringLiteral("bad step \"%1\"").arg(text));
}

} // namespace

int runRun(Context& context, Arguments& args)
{
    const bool save = args.flag(QStringLiteral("--save"));
    const QString saveAs = args.option(QStringLiteral("--save-as"));
    const QString dataDir = args.option(QStringLiteral("--data-dir"));
    QStringList rest = args.positionals();
    if (rest.isEmpty())
        throw UsageError(QStringLiteral("give the configuration path, then the steps"));
    const QString configPath = rest.takeFirst();
    std::vector<StepLine> steps;
    for (const QString& text : rest)
        steps.push_back(parseStep(text));
    if (!QFileInfo(configPath).absoluteDir().exists())
        throw UsageError(QStringLiteral("no such folder: %1").arg(QFileInfo(configPath).absolutePath()));

    ProcessState state;
    initialiseProcessState(state, QCoreApplication::applicationFilePath());
    state.format = context.format;
    state.feedback = &context.feedback;
    if (!dataDir.isEmpty())
        state.DataDirectory = dataDir;
    TWorkspace workspace(state);
    if (!OpenConfiguration(workspace, configPath)) {
        writeErr(QStringLiteral("verola-cli: the configuration could not be read completely: %1\n").arg(configPath));
        return 1;
    }
    writeOut(QStringLiteral("opened %1\n").arg(workspace.caption.trimmed()));
    for (size_t i = 0; i < steps.size(); ++i)
        writeOut(runStep(workspace, steps[i], rest.at(static_cast<qsizetype>(i))) + u'\n');
    if (!saveAs.isEmpty()) {
        SaveConfigurationAs(workspace, saveAs);
        writeOut(QStringLiteral("saved as %1\n").arg(saveAs));
    } else if (save) {
        SaveFileSet(workspace);
        writeOut(QStringLiteral("saved\n"));
    }
    return 0;
}

} // namespace verola::cli
