#include "gui/windows/showinifiledlg.h"

#include "core/app/settings.h"
#include "core/platform/errors.h"
#include "core/platform/paths.h"
#include "core/platform/textfile.h"
#include "gui/app/verolaapplication.h"

#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace verola {

namespace {

const QString kFilterA = QStringLiteral("Все файлы (*.*);;Файлы инициализаций (*.ini)");
const QString kFilterB = QStringLiteral("Все файлы (*.*);;Файлы инициализаций моделей (*.isc *.rsk)");

QToolButton* toolButton(QToolBar* bar, const QString& name, const QString& caption, const QString& hint)
{
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setText(caption);
    button->setToolTip(hint);
    bar->addWidget(button);
    return button;
}

QString startFailure(QProcess::ProcessError error)
{
    return error == QProcess::FailedToStart ? QStringLiteral("программа не найдена или ее нельзя выполнить")
                                            : QStringLiteral("ошибка запуска процесса");
}

int tabLevel(const QString& line)
{
    int level = 0;
    while (level < line.size() && line[level] == u'\t')
        ++level;
    return level;
}

} // namespace

TShowIniFileDlg::TShowIniFileDlg(const QString& configDirectory, const QString& configName,
    const QString& dataDirectory, QWidget* parent)
    : QDialog(parent), m_systemDirectory(systemDirectory())
{
    setObjectName(QStringLiteral("ShowIniFileDlg"));
    setWindowTitle(QStringLiteral("ПОКАЗ  ИНИЦИАЛИЗАЦИЙ"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    DatabasesButton = toolButton(bar, QStringLiteral("DatabasesButton"), QStringLiteral("Базы данных"),
        QStringLiteral("Файл установок чтения баз данных"));
    ProgramButton = toolButton(bar, QStringLiteral("ProgramButton"), QStringLiteral("Программа"),
        QStringLiteral("Файл установок программы"));
    ModelsButton = toolButton(bar, QStringLiteral("ModelsButton"), QStringLiteral("Модели"), QString());
    OthersButton = toolButton(bar, QStringLiteral("OthersButton"), QStringLiteral("Другие"),
        QStringLiteral("Все файлы инициализации"));
    EditButton = toolButton(bar, QStringLiteral("EditButton"), QStringLiteral("Изменить"),
        QStringLiteral("Редактирование загруженного файла инициализации"));
    ReturnButton = toolButton(bar, QStringLiteral("ReturnButton"), QStringLiteral("Возврат"),
        QStringLiteral("Возврат с изменениями"));
    EditButton->setEnabled(false);
    layout->addWidget(bar);
    Tree = new QTreeWidget(this);
    Tree->setHeaderHidden(true);
    Tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(Tree, 1);
    setFixedSize(562, 462);

    connect(DatabasesButton, &QToolButton::clicked, this,
        [this] { openWith(kFilterA, QStringLiteral("Local.Ini"), m_systemDirectory); });
    connect(ProgramButton, &QToolButton::clicked, this, [this] { openWith(kFilterA, kSettingsFile, m_systemDirectory); });
    connect(ModelsButton, &QToolButton::clicked, this,
        [this, configName, configDirectory] { openWith(kFilterB, configName, configDirectory); });
    connect(OthersButton, &QToolButton::clicked, this,
        [this, dataDirectory] { openWith(kFilterA, QStringLiteral("*.ini"), dataDirectory); });
    connect(EditButton, &QToolButton::clicked, this, &TShowIniFileDlg::editCurrentFile);
    connect(ReturnButton, &QToolButton::clicked, this, &QDialog::accept);
}

void TShowIniFileDlg::openWith(const QString& filter, const QString& fileName, const QString& directory)
{
    QFileDialog dialog(this, QStringLiteral("Открыть файл INI"), directory, filter);
    dialog.setOption(QFileDialog::ReadOnly);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    showFile(dialog.selectedFiles().first());
}

QStringList TShowIniFileDlg::treeLines(const QString& fileName, const QStringList& lines)
{
    QStringList tree;
    tree.append(fileName);
    for (const QString& line : lines) {
        const QString text = line.trimmed();
        if (text.isEmpty())
            continue;
        const bool section = text.startsWith(u'[') && text.endsWith(u']');
        tree.append((section ? QStringLiteral("\t") : QStringLiteral("\t\t")) + text);
    }
    return tree;
}

bool TShowIniFileDlg::showFile(const QString& path)
{
    Tree->clear();
    m_currentFile.clear();
    EditButton->setEnabled(false);
    QStringList lines;
    try {
        lines = treeLines(QFileInfo(path).fileName(), readTextLines(path));
    } catch (const EPlatformError& error) {
        QMessageBox::critical(this, VerolaApplication::messageTitle(), error.message());
        return false;
    }
    QList<QTreeWidgetItem*> parents; // the last node of each depth
    for (const QString& line : lines) {
        const int depth = tabLevel(line);
        if (depth > parents.size()) {
            QMessageBox::critical(this, VerolaApplication::messageTitle(),
                QStringLiteral("Ошибка уровня дерева в строке \"%1\"").arg(line.trimmed()));
            return false;
        }
        auto* item = depth == 0 ? new QTreeWidgetItem(Tree) : new QTreeWidgetItem(parents[depth - 1]);
        item->setText(0, line.mid(depth));
        parents.resize(depth);
        parents.append(item);
    }
    Tree->expandAll();
    m_currentFile = path;
    EditButton->setEnabled(true);
    return true;
}

void TShowIniFileDlg::editCurrentFile()
{
    if (m_currentFile.isEmpty())
        return;
    const QString file = m_currentFile;
    const QString command = userEditorCommand();
    if (command.isEmpty()) {
        editWithDesktopProgram(file);
        return;
    }
    QStringList arguments = QProcess::splitCommand(command);
    const QString program = arguments.takeFirst();
    QProcess editor;
    // A terminal editor needs the terminal the program runs in.
    editor.setProcessChannelMode(QProcess::ForwardedChannels);
    editor.setInputChannelMode(QProcess::ForwardedInputChannel);
    editor.start(program, arguments << file);
    if (!editor.waitForStarted()) {
        QMessageBox::critical(this, VerolaApplication::messageTitle(),
            QStringLiteral("Не могу открыть файл %1 в редакторе: программу \"%2\" не удалось запустить (%3). "
                           "Редактор задают переменные окружения VISUAL или EDITOR.")
                .arg(QDir::toNativeSeparators(file), program, startFailure(editor.error())));
        return;
    }
    // The dialog waits for the editor, but keeps painting meanwhile.
    setEnabled(false);
    QEventLoop waiting;
    connect(&editor, &QProcess::finished, &waiting, &QEventLoop::quit);
    if (editor.state() != QProcess::NotRunning)
        waiting.exec(QEventLoop::ExcludeUserInputEvents);
    setEnabled(true);
    showFile(file);
}

void TShowIniFileDlg::editWithDesktopProgram(const QString& file)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file))) {
        QMessageBox::critical(this, VerolaApplication::messageTitle(),
            QStringLiteral("Не могу открыть файл %1 в редакторе: не заданы переменные окружения VISUAL и EDITOR, "
                           "а рабочий стол не назвал программу для таких файлов.")
                .arg(QDir::toNativeSeparators(file)));
        return;
    }
    // The desktop's program runs on its own: the file is shown again when the user comes back.
    m_reloadOnActivation = true;
}

void TShowIniFileDlg::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_reloadOnActivation) {
        m_reloadOnActivation = false;
        if (!m_currentFile.isEmpty())
            showFile(m_currentFile);
    }
    QDialog::changeEvent(event);
}

} // namespace verola
