#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace verola {

QString decodeCp1251(const QByteArray& bytes);
QByteArray encodeCp1251(const QString& text);

// One CSV field, quoted when it holds a comma, a quote or a line break.
QString csvField(const QString& text);

// Splits on CR, LF or CR LF; a final line break does not start another line.
QStringList splitLines(const QString& text);

// The encodings a text file is read in: code page 1251, the system's own, or UTF-8 when the file
// starts with a byte-order mark.
enum class TextEncoding { Cp1251, Utf8Bom };

struct TextFileContents {
    QStringList lines;
    TextEncoding encoding = TextEncoding::Cp1251;
};

// The most a list, a description or another text file of the system may hold.
constexpr qint64 kTextFileByteLimit = qint64(64) << 20;

// Reads a text file with the encoding it is in. Only a regular file of at most maxBytes is read
// (a FIFO, a device or a folder never). Throws EInOutError naming the file and why.
TextFileContents readTextFile(const QString& path, qint64 maxBytes = kTextFileByteLimit);
QStringList readTextLines(const QString& path);

// Writes the lines with CR LF after every one, replacing the file in one step: a failure
// part-way leaves any earlier file untouched. UTF-8 is written with its byte-order mark. A text
// code page 1251 cannot hold is refused with EConvertError naming the file, the line and the
// character, before anything is written; other failures throw EInOutError.
void writeTextLines(const QString& path, const QStringList& lines, TextEncoding encoding = TextEncoding::Cp1251);

} // namespace verola
