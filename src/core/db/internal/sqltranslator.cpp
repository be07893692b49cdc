#include "core/db/internal/sqltranslator.h"

#include "core/db/dberrors.h"
#include "core/db/internal/sqlnames.h"
#include "core/platform/conversions.h"

#include <QFileInfo>
#include <algorithm>

namespace verola {

namespace {

struct Token {
    enum Kind { Space, Word, Number, SingleString, DoubleString, Identifier, Operator, Punct, FromList } kind = Space;
    QString text; // for strings: the text between the quotes
    QList<SqlTableRef> tables;
};

[[noreturn]] void badStatement(const QString& what, const QString& statement)
{
    throw EDatabaseError(QStringLiteral("%1. SQL-запрос:\n%2").arg(what, statement));
}

bool isWordStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c == u'#';
}

bool isClauseKeyword(const QString& word)
{
    static const QStringList keywords = {QStringLiteral("WHERE"), QStringLiteral("GROUP"), QStringLiteral("ORDER"),
        QStringLiteral("HAVING"), QStringLiteral("UNION"), QStringLiteral("LIMIT")};
    return keywords.contains(word, Qt::CaseInsensitive);
}

class Scanner {
public:
    explicit Scanner(const QString& statement) : s(statement) {}

    QList<Token> tokens()
    {
        QList<Token> list;
        while (i < s.size())
            list.append(next());
        return list;
    }

private:
    Token next()
    {
        const QChar c = s.at(i);
        Token t;
        if (c.isSpace()) {
            while (i < s.size() && s.at(i).isSpace())
                ++i;
            t.text = QStringLiteral(" ");
            return t;
        }
        if (c == u'\'' || c == u'"') {
            t.kind = c == u'\'' ? Token::SingleString : Token::DoubleString;
            t.text = quoted(c);
            return t;
        }
        if (isWordStart(c)) {
            const qsizetype start = i;
            while (i < s.size() && isWordChar(s.at(i)))
                ++i;
            t.kind = Token::Word;
            t.text = s.mid(start, i - start);
            if (t.text.compare(QStringLiteral("FROM"), Qt::CaseInsensitive) == 0) {
                t.kind = Token::FromList;
                t.tables = fromList();
            }
            return t;
        }
        if (c.isDigit() || (c == u'.' && i + 1 < s.size() && s.at(i + 1).isDigit())) {
            const qsizetype start = i;
            while (i < s.size() && (s.at(i).isDigit() || s.at(i) == u'.'))
                ++i;
            if (i < s.size() && (s.at(i) == u'e' || s.at(i) == u'E')) {
                ++i;
                if (i < s.size() && (s.at(i) == u'+' || s.at(i) == u'-'))
                    ++i;
                while (i < s.size() && s.at(i).isDigit())
                    ++i;
            }
            t.kind = Token::Number;
            t.text = s.mid(start, i - start);
            return t;
        }
        static const QStringList twoCharOperators = {
            QStringLiteral("<="), QStringLiteral(">="), QStringLiteral("<>"), QStringLiteral("!="), QStringLiteral("||")};
        const QString two = s.mid(i, 2);
        if (twoCharOperators.contains(two)) {
            i += 2;
            t.kind = Token::Operator;
            t.text = two;
            return t;
        }
        if (QStringLiteral("=<>+-*/").contains(c)) {
            ++i;
            t.kind = Token::Operator;
            t.text = c;
            return t;
        }
        if (QStringLiteral("(),.;").contains(c)) {
            ++i;
            t.kind = Token::Punct;
            t.text = c;
            return t;
        }
        badStatement(QStringLiteral("Неожиданный символ \"%1\"").arg(c), s);
    }

    QString quoted(QChar quote)
    {
        QString text;
        ++i;
        while (true) {
            if (i >= s.size())
                badStatement(QStringLiteral("Не закрыта кавычка"), s);
            const QChar c = s.at(i++);
            if (c == quote) {
                if (i < s.size() && s.at(i) == quote) {
                    text += quote;
                    ++i;
                    continue;
                }
                return text;
            }
            text += c;
        }
    }

    void skipSpaces()
    {
        while (i < s.size() && s.at(i).isSpace())
            ++i;
    }

    QString peekWord() const
    {
        qsizetype k = i;
        while (k < s.size() && isWordChar(s.at(k)))
            ++k;
        return s.mid(i, k - i);
    }

    QString readName()
    {
        if (s.at(i) == u'"')
            return quoted(u'"');
        const qsizetype start = i;
        while (i < s.size() && !s.at(i).isSpace() && s.at(i) != u',' && s.at(i) != u')' && s.at(i) != u';')
            ++i;
        return s.mid(start, i - start);
    }

    QList<SqlTableRef> fromList()
    {
        QList<SqlTableRef> tables;
        while (true) {
            skipSpaces();
            if (i >= s.size() || isClauseKeyword(peekWord()) || s.at(i) == u')' || s.at(i) == u';')
                break;
            SqlTableRef ref;
            ref.name = readName();
            if (ref.name.isEmpty())
                badStatement(QStringLiteral("Не указано имя таблицы"), s);
            skipSpaces();
            QString word = peekWord();
            if (!word.isEmpty() && !isClauseKeyword(word)) {
                i += word.size();
                if (word.compare(QStringLiteral("AS"), Qt::CaseInsensitive) == 0) {
                    skipSpaces();
                    word = peekWord();
                    if (word.isEmpty())
                        badStatement(QStringLiteral("После AS не указано второе имя таблицы"), s);
                    i += word.size();
                }
                ref.alias = word;
                skipSpaces();
            }
            tables.append(ref);
            if (i < s.size() && s.at(i) == u',') {
                ++i;
                continue;
            }
            break;
        }
        if (tables.isEmpty())
            badStatement(QStringLiteral("После FROM не названа ни одна таблица"), s);
        return tables;
    }

    const QString& s;
    qsizetype i = 0;
};

struct FieldRef {
    int table = -1;
    int field = -1;
};

class Translator {
public:
    Translator(const QString& statement, const QList<SqlBoundTable>& tables, const FormatSettings& format)
        : m_statement(statement), m_tables(tables), m_format(format)
    {
    }

    SqlTranslation run()
    {
        m_tokens = Scanner(m_statement).tokens();
        markIdentifiers();
        compareDates();
        const QString order = naturalOrder();
        const QString numbers = selectsOneTableWhole() ? emit(true) + order : QString();
        return {emit(), order, numbers};
    }

private:
    FieldRef findField(const QString& name, const QString& alias = QString()) const
    {
        for (int t = 0; t < m_tables.size(); ++t) {
            if (!alias.isEmpty() && m_tables.at(t).alias.compare(alias, Qt::CaseInsensitive) != 0)
                continue;
            const int f = m_tables.at(t).fields.IndexOf(name);
            if (f >= 0)
                return {t, f};
        }
        return {};
    }

    // Double-quoted text that names a field stays a name; any other is a string.
    void markIdentifiers()
    {
        for (Token& t : m_tokens)
            if (t.kind == Token::DoubleString)
                t.kind = findField(t.text).table >= 0 ? Token::Identifier : Token::SingleString;
    }

    int significantBefore(int k) const
    {
        for (--k; k >= 0; --k)
            if (m_tokens.at(k).kind != Token::Space)
                return k;
        return -1;
    }

    int significantAfter(int k) const
    {
        for (++k; k < m_tokens.size(); ++k)
            if (m_tokens.at(k).kind != Token::Space)
                return k;
        return -1;
    }

    // The field a name token at k refers to, looking at "alias." before it.
    FieldRef fieldAt(int k) const
    {
        if (k < 0)
            return {};
        const Token& t = m_tokens.at(k);
        if (t.kind != Token::Word && t.kind != Token::Identifier)
            return {};
        const int dot = significantBefore(k);
        if (dot >= 0 && m_tokens.at(dot).kind == Token::Punct && m_tokens.at(dot).text == QStringLiteral(".")) {
            const int alias = significantBefore(dot);
            if (alias >= 0)
                return findField(t.text, m_tokens.at(alias).text);
        }
        return findField(t.text);
    }

    bool isLiteral(int k) const
    {
        return k >= 0 && (m_tokens.at(k).kind == Token::SingleString || m_tokens.at(k).kind == Token::Number);
    }

    // The user writes dates in the short date format; a date field holds day numbers.
    void compareDates()
    {
        static const QStringList comparisons = {QStringLiteral("="), QStringLiteral("<"), QStringLiteral(">"),
            QStringLiteral("<="), QStringLiteral(">="), QStringLiteral("<>"), QStringLiteral("!=")};
        for (int k = 0; k < m_tokens.size(); ++k) {
            const Token& t = m_tokens.at(k);
            if (t.kind == Token::Operator && comparisons.contains(t.text))
                compareDatesAround(k);
            else if (isWord(k, "BETWEEN"))
                compareDatesOfBetween(k);
            else if (isWord(k, "IN"))
                compareDatesOfList(k);
        }
    }

    bool isWord(int k, const char* word) const
    {
        return k >= 0 && m_tokens.at(k).kind == Token::Word
            && m_tokens.at(k).text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }

    // FIELD op 'date' or 'date' op FIELD.
    void compareDatesAround(int k)
    {
        const int left = significantBefore(k);
        const int right = significantAfter(k);
        FieldRef field = fieldAt(left);
        int literal = right;
        if (field.table < 0 || !isLiteral(right)) {
            // constant on the left: 'date' <= FIELD
            int last = right;
            int afterRight = significantAfter(right);
            if (afterRight >= 0 && m_tokens.at(afterRight).text == QStringLiteral("."))
                last = significantAfter(afterRight);
            field = isLiteral(left) ? fieldAt(last) : FieldRef{};
            literal = left;
        }
        convertDateLiteral(field, literal);
    }

    // The field before "[NOT] BETWEEN" or "[NOT] IN".
    FieldRef fieldBeforeKeyword(int k) const
    {
        int before = significantBefore(k);
        if (isWord(before, "NOT"))
            before = significantBefore(before);
        return fieldAt(before);
    }

    // FIELD [NOT] BETWEEN 'date' AND 'date'.
    void compareDatesOfBetween(int k)
    {
        const FieldRef field = fieldBeforeKeyword(k);
        const int lower = significantAfter(k);
        const int andWord = significantAfter(lower);
        convertDateLiteral(field, lower);
        if (isWord(andWord, "AND"))
            convertDateLiteral(field, significantAfter(andWord));
    }

    // FIELD [NOT] IN ('date', 'date', ...); a subquery in the parentheses is left alone.
    void compareDatesOfList(int k)
    {
        const FieldRef field = fieldBeforeKeyword(k);
        int at = significantAfter(k);
        if (at < 0 || m_tokens.at(at).text != QStringLiteral("("))
            return;
        for (at = significantAfter(at); at >= 0 && isLiteral(at); at = significantAfter(at)) {
            convertDateLiteral(field, at);
            at = significantAfter(at);
            if (at < 0 || m_tokens.at(at).text != QStringLiteral(","))
                return;
        }
    }

    void convertDateLiteral(const FieldRef& field, int literal)
    {
        if (field.table < 0 || literal < 0)
            return;
        const TFieldDef& def = m_tables.at(field.table).fields[field.field];
        Token& value = m_tokens[literal];
        if (def.DataType != TFieldType::ftDate || value.kind != Token::SingleString)
            return;
        double dayNumber = 0;
        if (!tryStrToDateTime(value.text.trimmed(), m_format, dayNumber))
            badStatement(QStringLiteral("\"%1\" не является датой для сравнения с полем %2").arg(value.text, def.Name),
                m_statement);
        value.kind = Token::Number;
        value.text = QString::number(dayNumber, 'g', 17);
    }

    // Without an order of its own a statement gives its records in the order of the files.
    // Only the outer statement counts: words and tables inside parentheses belong to subqueries.
    QString naturalOrder() const
    {
        QStringList keys;
        int depth = 0;
        int table = 0;
        for (const Token& t : m_tokens) {
            if (t.kind == Token::Punct)
                depth += t.text == QStringLiteral("(") ? 1 : t.text == QStringLiteral(")") ? -1 : 0;
            if (depth != 0) {
                table += t.kind == Token::FromList ? static_cast<int>(t.tables.size()) : 0;
                continue;
            }
            if (t.kind == Token::Word && isOrderingKeyword(t.text))
                return QString();
            if (t.kind == Token::FromList)
                for (int n = 0; n < t.tables.size(); ++n)
                    keys.append(quoteSqlName(m_tables.at(table++).alias) + QStringLiteral(".rowid"));
        }
        return keys.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + keys.join(QStringLiteral(", "));
    }

    static bool isOrderingKeyword(const QString& word)
    {
        for (const char* keyword : {"ORDER", "GROUP", "UNION", "LIMIT"})
            if (word.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }

    // "SELECT * FROM t ..." with nothing after FROM that merges rows, limits them or refers to
    // the result's columns by number (DISTINCT, GROUP BY, ORDER BY, LIMIT, UNION ...).
    bool selectsOneTableWhole() const
    {
        const int select = significantAfter(-1);
        const int star = significantAfter(select);
        const int from = significantAfter(star);
        if (!isWord(select, "SELECT") || star < 0 || m_tokens.at(star).kind != Token::Operator
            || m_tokens.at(star).text != QStringLiteral("*") || from < 0 || m_tokens.at(from).kind != Token::FromList
            || m_tokens.at(from).tables.size() != 1 || m_tables.isEmpty())
            return false;
        // A field of that name would stand for the record number.
        if (m_tables.at(0).fields.IndexOf(QStringLiteral("rowid")) >= 0)
            return false;
        int depth = 0;
        for (int k = from + 1; k < m_tokens.size(); ++k) {
            const Token& t = m_tokens.at(k);
            if (t.kind == Token::Punct)
                depth += t.text == QStringLiteral("(") ? 1 : t.text == QStringLiteral(")") ? -1 : 0;
            if (depth == 0 && t.kind == Token::Word && mergesOrOrdersRows(t.text))
                return false;
        }
        return true;
    }

    static bool mergesOrOrdersRows(const QString& word)
    {
        for (const char* keyword : {"DISTINCT", "GROUP", "HAVING", "ORDER", "LIMIT", "OFFSET", "UNION", "INTERSECT",
                 "EXCEPT", "WINDOW", "JOIN"})
            if (word.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }

    // The statement in SQLite's words; with recordNumbers its "*" becomes the table's rowid.
    QString emit(bool recordNumbers = false) const
    {
        QString sql;
        int fromIndex = 0;
        for (const Token& t : m_tokens) {
            if (recordNumbers && t.kind == Token::Operator && t.text == QStringLiteral("*")) {
                sql += quoteSqlName(m_tables.at(0).alias) + QStringLiteral(".rowid");
                recordNumbers = false;
                continue;
            }
            switch (t.kind) {
            case Token::SingleString: {
                QString text = t.text;
                text.replace(u'\'', QStringLiteral("''"));
                sql += u'\'' + text + u'\'';
                break;
            }
            case Token::Identifier:
                sql += quoteSqlName(t.text);
                break;
            case Token::FromList: {
                sql += QStringLiteral("FROM ");
                for (int n = 0; n < t.tables.size(); ++n, ++fromIndex) {
                    const SqlBoundTable& bound = m_tables.at(fromIndex);
                    sql += (n ? QStringLiteral(", ") : QString()) + quoteSqlName(bound.sqlName) + QStringLiteral(" AS ")
                        + quoteSqlName(bound.alias);
                }
                sql += u' ';
                break;
            }
            default:
                sql += t.text;
            }
        }
        return sql;
    }

    const QString& m_statement;
    const QList<SqlBoundTable>& m_tables;
    const FormatSettings& m_format;
    QList<Token> m_tokens;
};

} // namespace

QList<SqlTableRef> SqlTranslator::tablesOf(const QString& statement)
{
    const QList<Token> tokens = Scanner(statement).tokens();
    int first = 0;
    while (first < tokens.size() && tokens.at(first).kind == Token::Space)
        ++first;
    if (first >= tokens.size() || tokens.at(first).text.compare(QStringLiteral("SELECT"), Qt::CaseInsensitive) != 0)
        badStatement(QStringLiteral("Выполнять можно только запросы SELECT"), statement);
    QList<SqlTableRef> tables;
    for (qsizetype k = 0; k < tokens.size(); ++k) {
        if (tokens.at(k).kind == Token::FromList)
            tables += tokens.at(k).tables;
        if (tokens.at(k).kind == Token::Punct && tokens.at(k).text == QStringLiteral(";")
            && std::any_of(tokens.begin() + k + 1, tokens.end(), [](const Token& t) { return t.kind != Token::Space; }))
            badStatement(QStringLiteral("Выполнять можно только один запрос за раз"), statement);
    }
    if (tables.isEmpty())
        badStatement(QStringLiteral("В запросе не названа ни одна таблица"), statement);
    for (SqlTableRef& ref : tables)
        if (ref.alias.isEmpty())
            ref.alias = QFileInfo(QString(ref.name).replace(u'\\', u'/')).completeBaseName();
    return tables;
}

SqlTranslation SqlTranslator::translate(const QString& statement, const QList<SqlBoundTable>& tables,
                                        const FormatSettings& format)
{
    return Translator(statement, tables, format).run();
}

} // namespace verola
