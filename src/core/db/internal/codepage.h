#pragma once

#include <QString>
#include <array>
#include <string>

namespace verola {

// Decodes the texts of one table file. Single-byte code pages go through a
// 256-entry table, which keeps full scans fast; UTF-8 through Qt.
class TextDecoder {
public:
    // A codec name Qt knows ("windows-1251", "IBM866", "UTF-8"); unknown names give code page 1251.
    explicit TextDecoder(const QString& codecName = QStringLiteral("windows-1251"));

    QString decode(const char* bytes, int length) const;
    void toUtf8(const char* bytes, int length, std::string& out) const;
    QByteArray encode(const QString& text) const;
    const QString& codecName() const { return m_codecName; }

private:
    QString m_codecName;
    bool m_utf8 = false;
    std::array<char16_t, 256> m_table{};
};

// The codec a dBase file's code page mark means: shapelib's "LDID/n" for the
// language driver byte, or the text of a ".cpg" file. Empty or unknown: code page 1251.
QString codecForDbfCodePage(const QString& mark);

} // namespace verola
