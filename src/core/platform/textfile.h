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

// Reads a code page 1251 text file (UTF-8 when it starts with a byte-order mark).
// Throws EInOutError when the file cannot be read.
QStringList readTextLines(const QString& path);

// Writes code page 1251 with CR LF after every line, replacing the file in one step:
// a failure part-way leaves any earlier file untouched. Throws EInOutError.
void writeTextLines(const QString& path, const QStringList& lines);

} // namespace verola
