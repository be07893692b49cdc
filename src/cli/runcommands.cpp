// The "run" command: open a configuration, run block actions on it, save it.
#include "cli.h"
#include "tableselection.h"

#include "core/app/blockactions.h"
#include "core/app/configuration.h"
#include "core/app/publishedoperations.h"
#include "core/app/selectionsteps.h"
#include "core/app/transfer.h"
#include "core/app/workspace.h"
#include "core/db/session.h"
#include "core/platform/errors.h"
#include "core/platform/textfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <atomic>
#include <csignal>

namespace verola::cli {

namespace {

const QString kPanelKinds = QStringLiteral("rule|extr|calc|est");

// One step of the command line, checked before the configuration is opened.
struct StepLine {
    QString text;
    QString verb;
    int block = -1;
    int switchInput = 0;    // switch:N=1|2
    int fromKind = -1;      // transfer:N.KIND>M.KIND
    int toBlock = -1;
    int toKind = -1;
    QString operation;      // op:NAME[=ARG,ARG…]
    QStringList operationArguments;
};

int panelKind(const QString& name)
{
    return static_cast<int>(kPanelKinds.split(u'|').indexOf(name));
}

QString panelCaption(int kind)
{
    static const char* const kCaptions[] = {"Rule", "Extr", "Calc", "Est"};
    return QString::fromLatin1(kCaptions[kind]);
}

StepLine parseStep(const QString& text)
{
    static const QRegularExpression action(QStringLiteral("^(%1|summary|full|select|review):([0-4])$").arg(kPanelKinds));
    static const QRegularExpression toggle(QStringLiteral("^switch:([0-4])=([12])$"));
    static const QRegularExpression transfer(
        QStringLiteral("^transfer:([0-4])\\.(%1)>([0-4])\\.(%1)$").arg(kPanelKinds));
    static const QRegularExpression operation(QStringLiteral("^op:(\\w+)(?:=(.*))?$"));
    StepLine step;
    step.text = text;
    if (text == QStringLiteral("dose")) {
        step.verb = text;
        step.block = kRiskBlock;
    } else if (const auto m = action.match(text); m.hasMatch()) {
        step.verb = m.captured(1);
        step.block = m.captured(2).toInt();
        if (step.verb == QStringLiteral("review") && step.block != kDesBlock && step.block != kDeathBlock)
            throw UsageError(QStringLiteral("неверный шаг \"%1\": обзор баз данных есть только у блоков 3 и 4").arg(text));
    } else if (const auto m = toggle.match(text); m.hasMatch()) {
        step.verb = QStringLiteral("switch");
        step.block = m.captured(1).toInt();
        step.switchInput = m.captured(2).toInt();
    } else if (const auto m = transfer.match(text); m.hasMatch()) {
        step.verb = QStringLiteral("transfer");
        step.block = m.captured(1).toInt();
        step.fromKind = panelKind(m.captured(2));
        step.toBlock = m.captured(3).toInt();
        step.toKind = panelKind(m.captured(4));
    } else if (const auto m = operation.match(text); m.hasMatch()) {
        if (!isPublishedOperation(m.captured(1)))
            throw UsageError(QStringLiteral("неверный шаг \"%1\": нет опубликованной операции \"%2\"").arg(text, m.captured(1)));
        step.verb = QStringLiteral("op");
        step.operation = m.captured(1);
        if (m.hasCaptured(2))
            step.operationArguments = m.captured(2).split(u',');
    } else {
        throw UsageError(QStringLiteral("неверный шаг \"%1\" (ожидается, например, select:3, review:4, rule:0, switch:1=2, "
                                        "transfer:0.extr>1.calc, op:GetActiveNum)")
                             .arg(text));
    }
    return step;
}

// The table of one panel dropped on another: positions of equal names are copied.
QString transferStep(TWorkspace& workspace, const StepLine& step)
{
    TTablePanel* from = workspace.block(step.block)->panelOfKind(step.fromKind);
    TTablePanel* to = workspace.block(step.toBlock)->panelOfKind(step.toKind);
    if (from == to)
        return QStringLiteral("блок %1: таблица не переносится сама на себя, ничего не сделано").arg(step.block);
    TablePanelDragDrop(workspace, to, from);
    return QStringLiteral("блок %1: таблица %2 заполнена из блока %3 (%4), позиции сопоставлены по именам")
        .arg(step.toBlock)
        .arg(panelCaption(step.toKind))
        .arg(step.block)
        .arg(panelCaption(step.fromKind));
}

// The selection's feedback on a terminal: messages on stderr, the model question answered as
// the command line says, and with --progress short progress lines on stderr.
class RunFeedback : public TerminalFeedback {
public:
    RunFeedback(bool progress, bool stopOnMissingModel) : m_progress(progress), m_stopOnMissingModel(stopOnMissingModel) {}
    bool question(const QString& text) override
    {
        writeErr(text + u'\n');
        return m_stopOnMissingModel;
    }
    void progressShow(const QString& caption, int maximum) override
    {
        if (m_progress)
            writeErr(QStringLiteral("%1 (всего %2)\n").arg(caption).arg(maximum));
    }
    void progressCaption(const QString& caption) override
    {
        if (m_progress)
            writeErr(caption.trimmed() + u'\n');
    }
    void progressStatus(int, const QString& text) override
    {
        if (m_progress)
            writeErr(text + u'\n');
    }

private:
    bool m_progress;
    bool m_stopOnMissingModel;
};

// Ctrl-C during the steps clears the continue flag, as a click on the progress window does.
std::atomic<ProgressFeedback*> g_interruptible{nullptr};
static_assert(std::atomic<ProgressFeedback*>::is_always_lock_free);

extern "C" void requestStopOnInterrupt(int)
{
    if (ProgressFeedback* feedback = g_interruptible.load())
        feedback->requestStop();
}

class InterruptStopsRun {
public:
    explicit InterruptStopsRun(ProgressFeedback& feedback)
    {
        g_interruptible.store(&feedback);
        struct sigaction action {};
        action.sa_handler = requestStopOnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_previous);
        // A parent may hand the signal down blocked; Ctrl-C must reach the run all the same.
        sigset_t interrupt;
        sigemptyset(&interrupt);
        sigaddset(&interrupt, SIGINT);
        pthread_sigmask(SIG_UNBLOCK, &interrupt, &m_previousMask);
    }
    ~InterruptStopsRun()
    {
        pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
        sigaction(SIGINT, &m_previous, nullptr);
        g_interruptible.store(nullptr);
    }
    InterruptStopsRun(const InterruptStopsRun&) = delete;
    InterruptStopsRun& operator=(const InterruptStopsRun&) = delete;

private:
    struct sigaction m_previous {};
    sigset_t m_previousMask {};
};

QString reviewStep(TWorkspace& workspace, const StepLine& step)
{
    TReviewList review;
    if (step.block == kDesBlock)
        DBReviewItemClick(workspace, review);
    else
        DBMortalItemClick(workspace, review);
    QString text;
    for (const QString& entry : review.entries)
        text += entry + u'\n';
    return text;
}

// Published operations run with the workbench's steps: a selection among them selects for real.
QString operationStep(TWorkspace& workspace, const StepLine& step)
{
    const PublishedAnswer answer =
        CallPublishedOperation(workspace, workbenchBlockSteps(), step.operation, step.operationArguments);
    return QStringLiteral("op %1: %2\n").arg(step.operation, answer.text.isEmpty() ? QStringLiteral("выполнено") : answer.text);
}

QString runStep(TWorkspace& workspace, const StepLine& step)
{
    if (step.verb == QStringLiteral("op"))
        return operationStep(workspace, step);
    TCompPanel& block = *workspace.block(step.block);
    if (step.verb == QStringLiteral("select"))
        return DBGeneralPanelClick(workspace, block, workbenchBlockSteps()).text + u'\n';
    if (step.verb == QStringLiteral("review"))
        return reviewStep(workspace, step);
    if (step.verb == QStringLiteral("dose"))
        return CalcDosePanelClick(workspace, BlockSteps{}).text + u'\n';
    if (step.verb == QStringLiteral("rule"))
        return RulePanelClick(workspace, block).text + u'\n';
    if (step.verb == QStringLiteral("extr"))
        return ExtrPanelClick(workspace, block).text + u'\n';
    if (step.verb == QStringLiteral("calc"))
        return CalcPanelClick(workspace, block).text + u'\n';
    if (step.verb == QStringLiteral("est"))
        return EstPanelClick(workspace, block).text + u'\n';
    if (step.verb == QStringLiteral("summary")) {
        workspace.activate(&block);
        SummaryRecalculation(workspace);
        return QStringLiteral("блок %1: итоговые таблицы пересчитаны\n").arg(step.block);
    }
    if (step.verb == QStringLiteral("full")) {
        workspace.activate(&block);
        FullRecalculation(workspace, workbenchBlockSteps());
        return QStringLiteral("блок %1: полный пересчет выполнен\n").arg(step.block);
    }
    if (step.verb == QStringLiteral("switch")) {
        block.Switch->SetTermIn(step.switchInput);
        return QStringLiteral("блок %1: переключатель берет панель %2\n")
            .arg(step.block)
            .arg(block.Switch->TermIn() == 1 ? QStringLiteral("Est") : QStringLiteral("Extr"));
    }
    return transferStep(workspace, step) + u'\n';
}

// "--create": a configuration without a ".DES" gets an empty one, so that it is opened as new.
void createMissingDescription(const QString& configPath)
{
    if (ConfigLocation::fromPath(configPath).name.isEmpty())
        throw UsageError(QStringLiteral("--create требует имени конфигурации, как в NAME.DES, а не %1").arg(configPath));
    const QString description = descriptionPathOf(configPath);
    if (!QFileInfo::exists(description) && QFileInfo(configPath).absoluteDir().exists())
        writeTextLines(description, {});
}

} // namespace

int runRun(Context& context, Arguments& args)
{
    const bool save = args.flag(QStringLiteral("--save"));
    const bool create = args.flag(QStringLiteral("--create"));
    const QString saveAs = args.option(QStringLiteral("--save-as"));
    const QString dataDir = args.option(QStringLiteral("--data-dir"));
    const QString riskDir = args.option(QStringLiteral("--risk-dir"));
    const bool progress = args.flag(QStringLiteral("--progress"));
    const bool stopOnMissingModel = args.flag(QStringLiteral("--stop-on-missing-model"));
    QStringList rest = args.positionals();
    if (rest.isEmpty())
        throw UsageError(QStringLiteral("укажите путь к конфигурации, затем шаги"));
    const QString configPath = rest.takeFirst();
    std::vector<StepLine> steps;
    for (const QString& text : rest)
        steps.push_back(parseStep(text));
    if (create)
        createMissingDescription(configPath);
    requireConfiguration(configPath, QStringLiteral(" (новую конфигурацию создает параметр --create)"));

    ProcessState state;
    initialiseProcessState(state, QCoreApplication::applicationFilePath());
    state.format = context.format;
    RunFeedback feedback(progress, stopOnMissingModel);
    state.feedback = &feedback;
    TSession::Default().setFormatSettings(context.format);
    if (!dataDir.isEmpty())
        state.DataDirectory = dataDir;
    if (!riskDir.isEmpty())
        state.DataDBFRiskDirectory = riskDir;
    TWorkspace workspace(state);
    if (!OpenConfiguration(workspace, configPath)) {
        writeErr(QStringLiteral("verola-cli: конфигурация \"%1\" прочитана не полностью\n").arg(configPath));
        return 1;
    }
    writeOut(QStringLiteral("открыта конфигурация %1\n").arg(workspace.caption.trimmed()));
    // Ctrl-C stops a running step; once the steps are done the files are saved whole.
    InterruptStopsRun interrupt(feedback);
    for (const StepLine& step : steps) {
        writeOut(runStep(workspace, step));
        if (!feedback.continueFlag()) {
            writeErr(QStringLiteral("verola-cli: прервано, ничего не сохранено\n"));
            return 130;
        }
    }
    if (!saveAs.isEmpty()) {
        SaveConfigurationAs(workspace, saveAs);
        writeOut(QStringLiteral("сохранено как %1\n").arg(saveAs));
    } else if (save) {
        SaveFileSet(workspace);
        writeOut(QStringLiteral("сохранено\n"));
    }
    return 0;
}

} // namespace verola::cli
