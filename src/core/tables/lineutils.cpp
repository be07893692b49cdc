#include "core/tables/lineutils.h"

#include "core/platform/conversions.h"
#include "core/platform/formatsettings.h"

#include <QFile>
#include <algorithm>
#include <vector>

namespace verola {

namespace {

QString afterBar(const QString& s)
{
    const qsizetype bar = s.indexOf(u'|');
    return bar < 0 ? s : s.mid(bar + 1);
}

} // namespace

QString FirstItem(const QString& s)
{
    const QString items = afterBar(s);
    const qsizetype comma = items.indexOf(u',');
    return comma < 0 ? items : items.left(comma);
}

QString RestItems(const QString& s)
{
    const QString items = afterBar(s);
    const qsizetype comma = items.indexOf(u',');
    return comma < 0 ? QString() : items.mid(comma + 1);
}

QString SecondItem(const QString& s)
{
    return FirstItem(RestItems(s));
}

QString ThirdItem(const QString& s)
{
    return FirstItem(RestItems(RestItems(s)));
}

QString FourthItem(const QString& s)
{
    return FirstItem(RestItems(RestItems(RestItems(s))));
}

QString LastItem(const QString& s)
{
    QString t = s;
    QString p;
    for (;;) {
        p = FirstItem(t);
        if (p == t || p.isEmpty())
            return p;
        t = RestItems(t);
    }
}

int TabLevel(const QString& s)
{
    if (s.isEmpty())
        return -1;
    int level = 0;
    while (level < s.size() && s.at(level) == u'\t')
        ++level;
    return level;
}

QString StripTabs(const QString& s)
{
    qsizetype i = 0;
    while (i < s.size() && s.at(i) == u'\t')
        ++i;
    return s.mid(i);
}

QString LineName(const QString& s)
{
    const QString t = StripTabs(s);
    const qsizetype bar = t.indexOf(u'|');
    return bar < 0 ? t : t.left(bar);
}

QString LineAttributes(const QString& s)
{
    const QString t = StripTabs(s);
    const qsizetype bar = t.indexOf(u'|');
    return bar < 0 ? t : t.mid(bar + 1);
}

void ReplaceAll(QString& s, const QString& find, const QString& by)
{
    if (s.isEmpty() || find.isEmpty())
        return;
    if (by.contains(find)) {
        // Replacing again and again would never end; replace each occurrence once instead.
        s = ReplaceEach(s, find, by);
        return;
    }
    qsizetype at;
    while ((at = s.indexOf(find)) >= 0)
        s.replace(at, find.size(), by);
}

QString ReplaceEach(const QString& s, const QString& find, const QString& by)
{
    if (find.isEmpty())
        return s;
    QString result;
    qsizetype from = 0;
    qsizetype at;
    while ((at = s.indexOf(find, from)) >= 0) {
        result += s.mid(from, at - from);
        result += by;
        from = at + find.size();
    }
    result += s.mid(from);
    return result;
}

std::optional<NthFieldResult> NthField(int n, const QString& s, QChar delimiter)
{
    if (n < 0 || s.isEmpty())
        return std::nullopt;
    const QString text = afterBar(s);
    const QStringList fields = text.split(delimiter);
    const int index = (n == 0 || n > fields.size()) ? static_cast<int>(fields.size()) - 1 : n - 1;
    int start = 1;
    for (int i = 0; i < index; ++i)
        start += static_cast<int>(fields.at(i).size()) + 1;
    return NthFieldResult{fields.at(index), start};
}

QString Reindent(int from, int to, const QString& s)
{
    if (from == -1 || to == -1 || from == to)
        return s;
    if (from < to)
        return QString(to - from, u'\t') + s;
    return s.mid(from - to);
}

void DeleteFileIfExists(const QString& name)
{
    if (QFile::exists(name))
        QFile::remove(name);
}

QString MonthNumber(const QString& name)
{
    static const char16_t* const months[] = {u"Январь", u"Февраль", u"Март", u"Апрель", u"Май", u"Июнь",
        u"Июль", u"Август", u"Сентябрь", u"Октябрь", u"Ноябрь", u"Декабрь"};
    for (int i = 0; i < 12; ++i)
        if (name == QString::fromUtf16(months[i]))
            return QStringLiteral("%1").arg(i + 1, 2, 10, QChar(u'0'));
    return QStringLiteral("??");
}

int SubList(const QStringList& list, int a, QStringList& out)
{
    out.clear();
    if (a < 0 || a >= list.size() || a == list.size() - 1)
        return 0;
    const int level = TabLevel(list.at(a));
    if (level == -1)
        return 0;
    for (int i = a + 1; i < list.size(); ++i) {
        const QString& line = list.at(i);
        if (line.isEmpty())
            return -i;
        if (TabLevel(line) <= level)
            break;
        out.append(line);
    }
    return static_cast<int>(out.size());
}

QString FormatDateMDY(double date)
{
    int year, month, day;
    decodeDate(date, year, month, day);
    return QStringLiteral("%1/%2/%3").arg(month, 2, 10, QChar(u'0')).arg(day, 2, 10, QChar(u'0')).arg(year);
}

int DateSort(const QStringList& list, QStringList& out, bool byName, const FormatSettings& format)
{
    std::vector<std::pair<QString, int>> keys;
    keys.reserve(static_cast<size_t>(list.size()));
    for (int i = 0; i < list.size(); ++i) {
        QString key = byName ? LineName(list.at(i)) : LineAttributes(list.at(i));
        qsizetype blanks = 0;
        while (blanks < key.size() && key.at(blanks) == u' ')
            ++blanks;
        double date = 0;
        if (!tryStrToDateTime(key.mid(blanks), format, date)) {
            out = list;
            return 1;
        }
        keys.emplace_back(FormatDateMDY(date), i);
    }
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
        return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
    });
    out.clear();
    for (const auto& key : keys)
        out.append(list.at(key.second));
    return 0;
}

QString SwapWords(const QString& s)
{
    const qsizetype blank = s.indexOf(u' ');
    if (blank <= 0 || blank == s.size() - 1)
        return s;
    return s.mid(blank + 1) + u' ' + s.left(blank);
}

} // namespace verola
