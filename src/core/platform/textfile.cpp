#include "core/platform/textfile.h"

#include "core/platform/atomicfile.h"
#include "core/platform/errors.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace verola {

QString decodeCp1251(const QByteArray& bytes)
{
    QStringDecoder decoder("windows-1251");
    return decoder(bytes);
}

QByteArray encodeCp1251(const QString& text)
{
    QStringEncoder encoder("windows-1251");
    return encoder(text);
}

QStringList splitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QStringList readTextLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Cannot open file \"%1\": %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(QStringLiteral("Cannot read file \"%1\": %2").arg(path, file.errorString()));
    static const QByteArray utf8Bom("\xEF\xBB\xBF");
    if (bytes.startsWith(utf8Bom))
        return splitLines(QString::fromUtf8(bytes.mid(utf8Bom.size())));
    return splitLines(decodeCp1251(bytes));
}

void writeTextLines(const QString& path, const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += encodeCp1251(line);
        bytes += "\r\n";
    }
    writeFileAtomically(path, bytes);
}

QString csvField(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace verola
