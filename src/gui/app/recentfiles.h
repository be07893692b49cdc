#pragma once

#include "gui/guiexport.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>

class QAction;

namespace verola {

// The recent-files list at the tail of a menu: a separator, then one item per file,
// captioned "&1 path", "&2 path", … with the most recent on top.
class VEROLA_GUI_EXPORT TRecentFiles : public QObject {
    Q_OBJECT
public:
    explicit TRecentFiles(QObject* owner = nullptr);
    ~TRecentFiles() override;

    QMenu* Menu() const { return m_menu; }
    void SetMenu(QMenu* menu) { m_menu = menu; }
    int MaxFiles() const { return m_maxFiles; }
    void SetMaxFiles(int value);
    // Empty means the program's file name with the extension ".INI".
    QString IniFileName() const { return m_iniFileName; }
    void SetIniFileName(const QString& name) { m_iniFileName = name; }

    void AddFile(const QString& path);
    void SaveToIni();
    void LoadFromIni();

    // The paths of the entries, top first.
    QStringList paths() const;
    QAction* separator() const { return m_separator; }

Q_SIGNALS:
    // An entry was chosen from the menu.
    void OnClick(const QString& path);

private:
    QList<QAction*> entries() const;
    void renumber();
    void removeLastMenuItem();
    QString effectiveIniFileName() const;
    QAction* createEntry(const QString& path);

    QPointer<QMenu> m_menu; // the menu may go first when both belong to one window
    int m_maxFiles = 0;
    QString m_iniFileName;
    QAction* m_separator = nullptr;
    QString m_lastAdded;
};

} // namespace verola
