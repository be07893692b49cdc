// verola-cli: the workbench's operations without windows.
#include "cli.h"

#include "core/platform/errors.h"

#include <QCoreApplication>
#include <cstdio>
#include <new>

using namespace verola;
using namespace verola::cli;

namespace {

void printUsage()
{
    QString text = QStringLiteral("вызов: verola-cli [--date-format FORMAT] [--decimal CHAR] [--system-dir DIR] "
                                  "COMMAND ...\nкоманды:\n");
    for (const Command& command : commands())
        text += QStringLiteral("  %1\n").arg(QString::fromLatin1(command.usage));
    writeErr(text);
}

// Takes the global options out of the arguments, wherever they stand, and applies them.
QStringList applyGlobalOptions(const QStringList& raw, Context& context)
{
    QStringList rest;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QString& arg = raw.at(i);
        const bool global = arg == QStringLiteral("--date-format") || arg == QStringLiteral("--decimal")
            || arg == QStringLiteral("--system-dir");
        if (!global) {
            rest.append(arg);
            continue;
        }
        if (i + 1 >= raw.size())
            throw UsageError(QStringLiteral("у параметра %1 не задано значение").arg(arg));
        const QString value = raw.at(++i);
        if (arg == QStringLiteral("--date-format")) {
            context.format.setShortDateFormat(value);
        } else if (arg == QStringLiteral("--decimal")) {
            if (value.size() != 1)
                throw UsageError(QStringLiteral("--decimal принимает один символ, а не \"%1\"").arg(value));
            context.format.decimalSeparator = value.at(0);
        } else {
            qputenv("VEROLA_SYSTEM_DIR", value.toLocal8Bit());
        }
    }
    return rest;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QStringList raw = application.arguments().mid(1);
    if (raw.isEmpty() || raw.first() == QStringLiteral("--help") || raw.first() == QStringLiteral("-h")) {
        printUsage();
        return raw.isEmpty() ? 1 : 0;
    }
    Context context;
    context.format = FormatSettings::fromSystemLocale();
    QString name;
    try {
        QStringList remaining = applyGlobalOptions(raw, context);
        if (remaining.isEmpty())
            throw UsageError(QStringLiteral("не задана команда"));
        name = remaining.takeFirst();
        for (const Command& command : commands()) {
            if (name == QString::fromLatin1(command.name)) {
                Arguments commandArguments(remaining);
                const int status = command.run(context, commandArguments);
                std::fflush(stdout);
                return status;
            }
        }
        throw UsageError(QStringLiteral("неизвестная команда \"%1\"").arg(name));
    } catch (const UsageError& error) {
        writeErr(QStringLiteral("verola-cli: %1\n").arg(QString::fromStdString(error.what())));
        return 1;
    } catch (const EPlatformError& error) {
        writeErr(QStringLiteral("verola-cli: %1\n").arg(error.message()));
        return 1;
    } catch (const std::bad_alloc&) {
        writeErr(QStringLiteral("verola-cli: %1\n").arg(outOfMemoryMessage(QStringLiteral("команда ") + name)));
        return 1;
    } catch (const std::exception& error) {
        writeErr(QStringLiteral("verola-cli: %1\n").arg(QString::fromStdString(error.what())));
        return 1;
    }
}
