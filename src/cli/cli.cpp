#include "cli.h"

#include <cstdio>

namespace verola::cli {

void TerminalFeedback::message(const QString& text)
{
    writeErr(text + u'\n');
}

void TerminalFeedback::progressShow(const QString& caption, int)
{
    writeErr(caption + u'\n');
}

QString Arguments::option(const QString& name)
{
    const QStringList values = options(name);
    return values.isEmpty() ? QString() : values.last();
}

QStringList Arguments::options(const QString& name)
{
    QStringList values;
    for (qsizetype i = 0; i < m_args.size();) {
        if (m_args.at(i) != name) {
            ++i;
            continue;
        }
        if (i + 1 >= m_args.size())
            throw UsageError(QStringLiteral("у параметра %1 не задано значение").arg(name));
        values.append(m_args.at(i + 1));
        m_args.remove(i, 2);
    }
    return values;
}

bool Arguments::flag(const QString& name)
{
    return m_args.removeAll(name) > 0;
}

int Arguments::intOption(const QString& name, int defaultValue, int minimum, int maximum)
{
    const QString text = option(name);
    if (text.isEmpty())
        return defaultValue;
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < minimum || value > maximum)
        throw UsageError(QStringLiteral("параметр %1 принимает целое число от %2 до %3, а не \"%4\"")
                             .arg(name).arg(minimum).arg(maximum).arg(text));
    return value;
}

QString Arguments::requiredOption(const QString& name)
{
    const QString value = option(name);
    if (value.isEmpty())
        throw UsageError(QStringLiteral("не задан обязательный параметр %1").arg(name));
    return value;
}

QStringList Arguments::positionals() const
{
    for (const QString& arg : m_args)
        if (arg.startsWith(QStringLiteral("--")))
            throw UsageError(QStringLiteral("неизвестный параметр %1").arg(arg));
    return m_args;
}

void writeOut(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

void writeErr(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

const std::vector<Command>& commands()
{
    static const std::vector<Command> list = {
        {"dump",
            "dump CONFIG --block N --table rule|extr|calc|est|block [--missing] [--compare MODE[,SOURCE[,AXIS,POS]]]",
            runDump},
        {"export-dbf",
            "export-dbf CONFIG --block N --table rule|extr|calc|est|block --out FILE.dbf [--codes] [--field NAME]",
            runExportDbf},
        {"eval", "eval EXPR [NAME=VALUE ...] | eval --formula TEXT", runEval},
        {"summarize", "summarize CONFIG --block N --table rule|extr|calc|est|block [--out FILE] [--value-line N]",
            runSummarize},
        {"horoscope", "horoscope DATE [--orb FILE]", runHoroscope},
        {"run",
            "run CONFIG STEP... [--create] [--save] [--save-as NEWCONFIG] [--data-dir DIR] [--risk-dir DIR] [--progress] "
            "[--stop-on-missing-model]  (steps: select:N review:3|4 rule:N extr:N calc:N est:N summary:N full:N switch:N=1|2 "
            "transfer:N.KIND>M.KIND dose op:NAME[=ARGS])",
            runRun},
        {"sql", "sql --db FOLDER \"SELECT ...\" [more lines ...]", runSql},
        {"table", "table --db FOLDER NAME", runTable},
        {"describe", "describe [--model NAME] [--panel PolPanel|ConcPanel|DesPanel|DeathPanel]", runDescribe},
        {"query",
            "query --model NAME --panel KIND --level L [--code LEVEL=CODE ...] [--data-dir DIR] [--open] [--show-sql]",
            runQuery},
    };
    return list;
}

} // namespace verola::cli
