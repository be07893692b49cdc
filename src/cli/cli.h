#pragma once

#include "core/platform/feedback.h"
#include "core/platform/formatsettings.h"
#include "core/platform/textfile.h"

#include <QString>
#include <QStringList>
#include <stdexcept>

namespace verola::cli {

// Bad command-line arguments: printed as one line, exit status 1.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& text) : std::runtime_error(text.toStdString()) {}
};

// Prints messages on stderr, answers questions yes, and shows progress captions on stderr.
class TerminalFeedback : public SilentFeedback {
public:
    void message(const QString& text) override;
    void progressShow(const QString& caption, int maximum) override;
};

struct Context {
    FormatSettings format;
    TerminalFeedback feedback;
};

// The arguments of one command; options are taken out as they are read.
class Arguments {
public:
    explicit Arguments(QStringList args) : m_args(std::move(args)) {}
    // Value of "--name VALUE"; empty when absent. Throws UsageError when the value is missing.
    QString option(const QString& name);
    QStringList options(const QString& name);
    bool flag(const QString& name);
    int intOption(const QString& name, int defaultValue, int minimum, int maximum);
    QString requiredOption(const QString& name);
    // What is left once every option was taken; throws on an unknown "--" option.
    QStringList positionals() const;

private:
    QStringList m_args;
};

void writeOut(const QString& text);
void writeErr(const QString& text);

using CommandFunction = int (*)(Context&, Arguments&);
struct Command {
    const char* name;
    const char* usage;
    CommandFunction run;
};
// Every command of verola-cli, in the order the help lists them.
const std::vector<Command>& commands();

int runDump(Context& context, Arguments& args);
int runExportDbf(Context& context, Arguments& args);
int runEval(Context& context, Arguments& args);
int runSummarize(Context& context, Arguments& args);
int runHoroscope(Context& context, Arguments& args);
int runRun(Context& context, Arguments& args);
int runSql(Context& context, Arguments& args);
int runTable(Context& context, Arguments& args);
int runDescribe(Context& context, Arguments& args);
int runQuery(Context& context, Arguments& args);

} // namespace verola::cli
