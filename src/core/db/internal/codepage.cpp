#include "core/db/internal/codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace verola {

TextDecoder::TextDecoder(const QString& codecName) : m_codecName(codecName)
{
    m_utf8 = codecName.compare(QStringLiteral("UTF-8"), Qt::CaseInsensitive) == 0;
    if (m_utf8)
        return;
    QStringDecoder probe(codecName.toLatin1().constData());
    if (!probe.isValid())
        m_codecName = QStringLiteral("windows-1251");
    for (int b = 0; b < 256; ++b) {
        QStringDecoder decoder(m_codecName.toLatin1().constData());
        const char byte = static_cast<char>(b);
        const QString text = decoder(QByteArrayView(&byte, 1));
        m_table[static_cast<size_t>(b)] = text.isEmpty() ? u'?' : text.at(0).unicode();
    }
}

QString TextDecoder::decode(const char* bytes, int length) const
{
    if (m_utf8)
        return QString::fromUtf8(bytes, length);
    QString text(length, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (int i = 0; i < length; ++i)
        out[i] = m_table[static_cast<unsigned char>(bytes[i])];
    return text;
}

void TextDecoder::toUtf8(const char* bytes, int length, std::string& out) const
{
    out.clear();
    if (m_utf8) {
        out.assign(bytes, static_cast<size_t>(length));
        return;
    }
    out.reserve(static_cast<size_t>(length) * 2);
    for (int i = 0; i < length; ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
            continue;
        }
        const char16_t c = m_table[b];
        if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

QByteArray TextDecoder::encode(const QString& text) const
{
    QStringEncoder encoder(m_codecName.toLatin1().constData());
    return encoder(text);
}

QString codecForDbfCodePage(const QString& mark)
{
    const QString text = mark.trimmed().toUpper();
    if (text.isEmpty())
        return QStringLiteral("windows-1251");
    if (text.startsWith(QStringLiteral("LDID/"))) {
        switch (text.mid(5).toInt()) {
        case 0x01: return QStringLiteral("IBM437");
        case 0x02: return QStringLiteral("IBM850");
        case 0x03: case 0x57: case 0x58: case 0x59: return QStringLiteral("windows-1252");
        case 0x26: case 0x65: return QStringLiteral("IBM866");
        case 0x64: case 0xC8: return QStringLiteral("windows-1250");
        case 0xCA: return QStringLiteral("windows-1254");
        case 0xCB: return QStringLiteral("windows-1253");
        default: return QStringLiteral("windows-1251");
        }
    }
    if (text.contains(QStringLiteral("UTF-8")) || text.contains(QStringLiteral("UTF8")))
        return QStringLiteral("UTF-8");
    QString digits;
    for (const QChar c : text)
        if (c.isDigit())
            digits += c;
    if (digits == QStringLiteral("866"))
        return QStringLiteral("IBM866");
    if (digits == QStringLiteral("437") || digits == QStringLiteral("850"))
        return QStringLiteral("IBM") + digits;
    if (digits.size() == 4 && digits.startsWith(QStringLiteral("125")))
        return QStringLiteral("windows-") + digits;
    if (text.contains(QStringLiteral("KOI8")))
        return QStringLiteral("KOI8-R");
    return QStringLiteral("windows-1251");
}

} // namespace verola
