#pragma once

// C++ side of the plug-in interface: what the opaque handles are in this program, and the text
// conversions. Both the program and our own plug-ins include it.

#include "plugins/api/verolaplugin.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QString>
#include <QStringList>
#include <cstring>

namespace verola {
class TTab;
class TCompPanel;
class TTablePanel;
} // namespace verola

namespace verola::plugin {

inline TTab* tableOf(VerolaTable* table) { return reinterpret_cast<TTab*>(table); }
inline VerolaTable* handleOf(TTab* table) { return reinterpret_cast<VerolaTable*>(table); }
inline QStringList* listOf(VerolaList* list) { return reinterpret_cast<QStringList*>(list); }
inline VerolaList* handleOf(QStringList* list) { return reinterpret_cast<VerolaList*>(list); }
inline TCompPanel* blockOf(VerolaBlock* block) { return reinterpret_cast<TCompPanel*>(block); }
inline VerolaBlock* handleOf(TCompPanel* block) { return reinterpret_cast<VerolaBlock*>(block); }
inline TTablePanel* panelOf(VerolaPanel* panel) { return reinterpret_cast<TTablePanel*>(panel); }
inline VerolaPanel* handleOf(TTablePanel* panel) { return reinterpret_cast<VerolaPanel*>(panel); }

inline QString fromString(VerolaString s)
{
    return s.data && s.length > 0 ? QString::fromUtf8(s.data, s.length) : QString();
}

// The counted string viewing `bytes`, which must outlive the call it is passed to.
inline VerolaString toString(const QByteArray& bytes)
{
    return VerolaString{bytes.constData(), static_cast<int>(bytes.size())};
}

inline QString fromText(const char* text)
{
    return text ? QString::fromUtf8(text, static_cast<qsizetype>(strnlen(text, VEROLA_TEXT_SIZE - 1))) : QString();
}

// A text buffer of VEROLA_TEXT_SIZE bytes holding `value`, cut at a character boundary when long.
struct TextBuffer {
    char data[VEROLA_TEXT_SIZE] = {};
    explicit TextBuffer(const QString& value = QString())
    {
        QByteArray bytes = value.toUtf8();
        qsizetype length = qMin<qsizetype>(bytes.size(), VEROLA_TEXT_SIZE - 1);
        while (length > 0 && length < bytes.size() && (static_cast<unsigned char>(bytes[length]) & 0xC0) == 0x80)
            --length;
        std::memcpy(data, bytes.constData(), static_cast<size_t>(length));
    }
};

// Posts a plug-in window's notification (VEROLA_NOTIFY_…) to the main window it was made for.
inline void postNotification(QObject* application, int number)
{
    QCoreApplication::postEvent(application, new QEvent(QEvent::Type(VEROLA_NOTIFY_EVENT_BASE + number)));
}

} // namespace verola::plugin
