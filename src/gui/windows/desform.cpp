#include "gui/windows/desform.h"

#include "gui/windows/settingsfont.h"
#include "core/app/configuration.h"

#include <QPlainTextEdit>
#include <QToolBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace verola {

TDesForm::TDesForm(const QString& configDirectory, const QString& configName, QWidget* parent)
    : TDesForm(readDescription(configDirectory, configName), parent)
{
}

TDesForm::TDesForm(const QStringList& lines, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DesForm"));
    setWindowTitle(QStringLiteral("Текст описания конфигурации"));
    applySettingsFont(*this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Memo = new QPlainTextEdit(this);
    Memo->setObjectName(QStringLiteral("Memo"));
    Memo->setPlainText(lines.join(u'\n'));
    // Only a save under a new name keeps what is typed; it makes the text editable.
    Memo->setReadOnly(true);
    layout->addWidget(Memo, 1);

    auto* bar = new QToolBar(this);
    bar->setAutoFillBackground(true);
    QPalette blue = bar->palette();
    blue.setColor(QPalette::Window, QColor(0, 0, 255));
    blue.setColor(QPalette::Button, QColor(0, 0, 255));
    blue.setColor(QPalette::ButtonText, Qt::white);
    bar->setPalette(blue);
    ContinueButton = new QPushButton(bar);
    ContinueButton->setObjectName(QStringLiteral("ContinueButton"));
    ContinueButton->setText(QStringLiteral("Продолжить"));
    RefuseButton = new QPushButton(bar);
    RefuseButton->setObjectName(QStringLiteral("RefuseButton"));
    RefuseButton->setText(QStringLiteral("Отказаться"));
    // Enter continues unless the text is being edited.
    ContinueButton->setDefault(true);
    ContinueButton->setFlat(true);
    RefuseButton->setFlat(true);
    bar->addWidget(ContinueButton);
    bar->addWidget(RefuseButton);
    layout->addWidget(bar);
    connect(ContinueButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(RefuseButton, &QPushButton::clicked, this, &QDialog::reject);
    resize(640, 320);
}

QStringList TDesForm::lines() const
{
    return Memo->toPlainText().split(u'\n');
}

} // namespace verola
