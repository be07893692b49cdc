#include "core/platform/textfile.h"

#include "core/platform/atomicfile.h"
#include "core/platform/errors.h"
#include "core/platform/regularfile.h"

#include <QHash>
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

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

// Code page 1251 byte by character, for the characters it has.
const QHash<char32_t, char>& cp1251Bytes()
{
    static const QHash<char32_t, char> bytes = [] {
        QHash<char32_t, char> table;
        for (int byte = 0; byte < 256; ++byte) {
            const QString decoded = decodeCp1251(QByteArray(1, static_cast<char>(byte)));
            if (decoded.size() == 1 && decoded.at(0) != QChar::ReplacementCharacter)
                table.insert(decoded.at(0).unicode(), static_cast<char>(byte));
        }
        return table;
    }();
    return bytes;
}

void appendCp1251(QByteArray& bytes, const QString& path, const QString& line, qsizetype lineNumber)
{
    const QHash<char32_t, char>& table = cp1251Bytes();
    qsizetype character = 0;
    for (const char32_t c : line.toUcs4()) {
        ++character;
        const auto found = table.constFind(c);
        if (found == table.constEnd())
            throw EConvertError(
                QStringLiteral("Не могу сохранить файл \"%1\" в кодовой странице 1251: в ней нет символа «%2» "
                               "(U+%3), строка %4, символ %5")
                    .arg(path, QString::fromUcs4(&c, 1),
                        QString::number(static_cast<uint>(c), 16).toUpper().rightJustified(4, u'0'))
                    .arg(lineNumber)
                    .arg(character));
        bytes += *found;
    }
}

QByteArray encodedLines(const QString& path, const QStringList& lines, TextEncoding encoding)
{
    QByteArray bytes;
    if (encoding == TextEncoding::Utf8Bom)
        bytes = kUtf8Bom;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (encoding == TextEncoding::Utf8Bom)
            bytes += lines.at(i).toUtf8();
        else
            appendCp1251(bytes, path, lines.at(i), i + 1);
        bytes += "\r\n";
    }
    return bytes;
}

} // namespace

TextFileContents readTextFile(const QString& path, qint64 maxBytes)
{
    const QByteArray bytes = readRegularFile(path, maxBytes);
    if (bytes.startsWith(kUtf8Bom))
        return {splitLines(QString::fromUtf8(bytes.mid(kUtf8Bom.size()))), TextEncoding::Utf8Bom};
    return {splitLines(decodeCp1251(bytes)), TextEncoding::Cp1251};
}

QStringList readTextLines(const QString& path)
{
    return readTextFile(path).lines;
}

void writeTextLines(const QString& path, const QStringList& lines, TextEncoding encoding)
{
    writeFileAtomically(path, encodedLines(path, lines, encoding));
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
