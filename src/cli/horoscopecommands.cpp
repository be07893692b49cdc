// The horoscope command: longitudes, signs and aspects of a birth date.
#include "cli.h"

#include "core/app/processstate.h"
#include "core/app/settings.h"
#include "core/astro/horoscope.h"
#include "core/astro/orbitmath.h"

#include <QCoreApplication>

namespace verola::cli {

namespace {

THoroscope computeFor(const QString& date, const QString& orbFile, const FormatSettings& format)
{
    if (!orbFile.isEmpty())
        return horoscopeForDay(birthDayNumber(date, format), readOrbitFile(orbFile));
    ProcessState state;
    LoadSettings(state, QCoreApplication::applicationFilePath());
    THoroscopeState horoscope;
    return horoscope.ComputeHoroscope(date, state.DataDirectory, format);
}

void printHoroscope(const THoroscope& horoscope)
{
    QString text;
    for (int body = 0; body < kBodyCount; ++body) {
        const int sign = horoscope.signs[body];
        text += QStringLiteral("%1,%2,%3,%4\n")
                    .arg(bodyName(body), QString::number(horoscope.longitudes[body] / kRadiansPerDegree, 'f', 4))
                    .arg(sign)
                    .arg(signName(sign));
    }
    for (int k = 0; k < kAspectKindCount; ++k) {
        const TAspectList& list = horoscope.aspects[k];
        for (int i = 0; i < list.count; ++i)
            text += QStringLiteral("%1,%2,%3\n")
                        .arg(QString::fromLatin1(aspectKinds()[k].name),
                            bodyName(list.pairs[i].first - kFirstAspectBody),
                            bodyName(list.pairs[i].second - kFirstAspectBody));
    }
    writeOut(text);
}

} // namespace

int runHoroscope(Context& context, Arguments& args)
{
    const QString orbFile = args.option(QStringLiteral("--orb"));
    const QStringList rest = args.positionals();
    if (rest.size() != 1)
        throw UsageError(QStringLiteral("укажите ровно одну дату рождения"));
    printHoroscope(computeFor(rest.first(), orbFile, context.format));
    return 0;
}

} // namespace verola::cli
