#pragma once

#include "core/coreexport.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace verola {

// Helpers for lines of the form: tabs, name, "|", comma-separated items.

QString FirstItem(const QString& s);
QString RestItems(const QString& s);
QString SecondItem(const QString& s);
QString ThirdItem(const QString& s);
QString FourthItem(const QString& s);
QString LastItem(const QString& s);
int TabLevel(const QString& s);
QString StripTabs(const QString& s);
QString LineName(const QString& s);
QString LineAttributes(const QString& s);

void ReplaceAll(QString& s, const QString& find, const QString& by);
QString ReplaceEach(const QString& s, const QString& find, const QString& by);

struct VEROLA_CORE_EXPORT NthFieldResult {
    QString field;
    int start = 0; // 1-based, within the text after the first "|"
};
std::optional<NthFieldResult> NthField(int n, const QString& s, QChar delimiter);

QString Reindent(int from, int to, const QString& s);
void DeleteFileIfExists(const QString& name);
QString MonthNumber(const QString& name);
int SubList(const QStringList& list, int a, QStringList& out);
QString FormatDateMDY(double date);
// Sorts lines by the date in their name (or attributes); non-zero when a line holds no date.
struct FormatSettings;
int DateSort(const QStringList& list, QStringList& out, bool byName, const FormatSettings& format);
QString SwapWords(const QString& s);

} // namespace verola
