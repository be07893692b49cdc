#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QMenu;

namespace verola {

// The recent-files list at the tail of a menu: a separator, then one item per file,
// captioned "&1 path", "&2 path", … with the most recent on top.
class TRecentFiles : public QObject {
    Q_OBJECT
public:
    using TRecentFileEvent = std::function<void(TRecentFiles* sender, const QString& path)>;

    explicit TRecentFiles(QObject* owner = nullptr);
    ~TRecentFiles() override;

    QMenu* Menu() const { return m_menu; }
    void setMenu(QMenu* menu) { m_menu = menu; }
    int MaxFiles() const { return m_maxFiles; }
    void setMaxFiles(int value);
    // Empty means the program's file name with the extension ".INI".
    QString IniFileName() const { return m_iniFileName; }
    void setIniFileName(const QString& name) { m_iniFileName = name; }
    TRecentFileEvent OnClick;

    void AddFile(const QString& path);
    void SaveToIni();
    void LoadFromIni();

    // The paths of the entries, top first.
    QStringList paths() const;
    QAction* separator() const { return m_separator; }

private:
    QList<QAction*> entries() const;
    void renumber();
    void removeLastMenuItem();
    QString effectiveIniFileName() const;
    QAction* createEntry(const QString& path);

    QMenu* m_menu = nullptr;
    int m_maxFiles = 0;
    QString m_iniFileName;
    QAction* m_separator = nullptr;
    QString m_lastAdded;
};

} // namespace verola
