#pragma once

#include "gui/guiexport.h"

#include <QDialog>

class QToolButton;
class QTreeWidget;

namespace verola {

// Shows an INI file as a tree: the file name, its sections and their keys; "Изменить" opens the
// file in the user's editor and shows it again afterwards.
class VEROLA_GUI_EXPORT TShowIniFileDlg : public QDialog {
    Q_OBJECT
public:
    TShowIniFileDlg(const QString& configDirectory, const QString& configName, const QString& dataDirectory,
        QWidget* parent);

    // Shows a file as a tree and makes it the current file; false, with the reason in a message
    // box, when its lines do not form a tree (the tree keeps what came before the faulty line).
    bool showFile(const QString& path);
    // The tree lines of an INI file: its name, then sections after one tab and other lines after two.
    static QStringList treeLines(const QString& fileName, const QStringList& lines);
    QString currentFile() const { return m_currentFile; }
    // Opens the current file in the user's editor, waits for it and shows the file again; says so
    // when no editor can be started.
    void editCurrentFile();

    QTreeWidget* Tree;
    QToolButton* DatabasesButton;
    QToolButton* ProgramButton;
    QToolButton* ModelsButton;
    QToolButton* OthersButton;
    QToolButton* EditButton;
    QToolButton* ReturnButton;

protected:
    void changeEvent(QEvent* event) override;

private:
    void openWith(const QString& filter, const QString& fileName, const QString& directory);
    void editWithDesktopProgram(const QString& file);

    QString m_systemDirectory; // where the bare-named settings files are
    QString m_currentFile;
    bool m_reloadOnActivation = false;
};

} // namespace verola
