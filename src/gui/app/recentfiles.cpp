#include "gui/app/recentfiles.h"

#include "core/platform/privateprofile.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMenu>
#include <algorithm>

namespace verola {

namespace {

const QString kSection = QStringLiteral("FileHistory");

QString entryPath(const QAction* entry)
{
    return entry->text().mid(3);
}

} // namespace

TRecentFiles::TRecentFiles(QObject* owner) : QObject(owner)
{
    m_separator = new QAction(this);
    m_separator->setSeparator(true);
}

TRecentFiles::~TRecentFiles()
{
    // Our entries may still stand in a menu that outlives us.
    if (m_menu) {
        for (QAction* entry : entries())
            m_menu->removeAction(entry);
        m_menu->removeAction(m_separator);
    }
}

QList<QAction*> TRecentFiles::entries() const
{
    if (!m_menu)
        return {};
    const QList<QAction*> items = m_menu->actions();
    const qsizetype at = items.indexOf(m_separator);
    return at < 0 ? QList<QAction*>{} : items.mid(at + 1);
}

QStringList TRecentFiles::paths() const
{
    QStringList result;
    for (const QAction* entry : entries())
        result.append(entryPath(entry));
    return result;
}

void TRecentFiles::renumber()
{
    int digit = 1;
    for (QAction* entry : entries())
        entry->setText(QStringLiteral("&%1 %2").arg(digit++).arg(entryPath(entry)));
}

void TRecentFiles::removeLastMenuItem()
{
    const QList<QAction*> items = m_menu->actions();
    if (items.isEmpty())
        return;
    QAction* last = items.last();
    m_menu->removeAction(last);
    if (last != m_separator && last->parent() == this)
        delete last;
}

QAction* TRecentFiles::createEntry(const QString& path)
{
    auto* entry = new QAction(QStringLiteral("&1 ") + path, this);
    connect(entry, &QAction::triggered, this, [this, entry] { Q_EMIT OnClick(entryPath(entry)); });
    return entry;
}

void TRecentFiles::AddFile(const QString& path)
{
    m_lastAdded = path;
    if (!m_menu || m_maxFiles <= 0 || path.isEmpty())
        return;
    if (!m_menu->actions().contains(m_separator))
        m_menu->addAction(m_separator);
    const QList<QAction*> current = entries();
    QAction* first = current.isEmpty() ? nullptr : current.first();
    const auto found = std::find_if(current.begin(), current.end(),
        [&](const QAction* entry) { return entryPath(entry) == path; });
    if (found != current.end()) {
        QAction* entry = *found;
        if (entry != first) {
            m_menu->removeAction(entry);
            m_menu->insertAction(first, entry);
        }
    } else {
        m_menu->insertAction(first, createEntry(path));
    }
    renumber();
    if (entries().size() > m_maxFiles)
        removeLastMenuItem();
}

void TRecentFiles::SetMaxFiles(int value)
{
    m_maxFiles = std::min(value, 9);
    if (!m_menu || !m_menu->actions().contains(m_separator))
        return;
    const int keep = std::max(m_maxFiles, 0);
    while (entries().size() > keep)
        removeLastMenuItem();
    if (m_maxFiles == 0)
        removeLastMenuItem();
}

QString TRecentFiles::effectiveIniFileName() const
{
    if (!m_iniFileName.isEmpty())
        return m_iniFileName;
    const QFileInfo program(QCoreApplication::applicationFilePath());
    return program.path() + u'/' + program.completeBaseName() + QStringLiteral(".INI");
}

void TRecentFiles::SaveToIni()
{
    if (!m_menu)
        return;
    PrivateProfile ini(effectiveIniFileName());
    ini.eraseSection(kSection);
    ini.writeInteger(kSection, QStringLiteral("MaxFiles"), m_maxFiles);
    int digit = 1;
    for (const QAction* entry : entries())
        ini.writeString(kSection, QStringLiteral("File%1").arg(digit++), entryPath(entry));
}

void TRecentFiles::LoadFromIni()
{
    if (!m_menu)
        return;
    const PrivateProfile ini(effectiveIniFileName());
    const int remembered = m_maxFiles;
    SetMaxFiles(0);
    SetMaxFiles(ini.readInteger(kSection, QStringLiteral("MaxFiles"), remembered));
    QStringList stored;
    for (int digit = 1; digit <= 9; ++digit) {
        const QString path = ini.readString(kSection, QStringLiteral("File%1").arg(digit), QString());
        if (path.isEmpty())
            break;
        stored.append(path);
    }
    for (auto it = stored.crbegin(); it != stored.crend(); ++it)
        AddFile(*it);
}

} // namespace verola
