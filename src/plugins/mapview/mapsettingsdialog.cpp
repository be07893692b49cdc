#include "plugins/mapview/mapsettingsdialog.h"

#include "plugins/mapview/regionshapes.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace verola::mapview {

MapSettingsDialog::MapSettingsDialog(const MapSettings& settings, const QString& dataDirectory, QWidget* parent)
    : QDialog(parent), m_dataDirectory(dataDirectory), m_shape(new QLineEdit(settings.shape, this)),
      m_nameField(new QComboBox(this))
{
    setObjectName(QStringLiteral("mapSettingsDialog"));
    setWindowTitle(QStringLiteral("Настройка карты"));
    m_shape->setObjectName(QStringLiteral("shapeEdit"));
    m_shape->setMinimumWidth(280);
    m_nameField->setObjectName(QStringLiteral("nameFieldBox"));
    m_nameField->setEditable(true);

    auto* browseButton = new QToolButton(this);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    browseButton->setText(QStringLiteral("…"));
    browseButton->setToolTip(QStringLiteral("Выбрать файл карты"));
    connect(browseButton, &QToolButton::clicked, this, &MapSettingsDialog::browse);
    auto* shapeRow = new QHBoxLayout;
    shapeRow->addWidget(m_shape);
    shapeRow->addWidget(browseButton);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Файл карты (.shp):"), shapeRow);
    form->addRow(QStringLiteral("Поле названий районов:"), m_nameField);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    offerFields();
    m_nameField->setCurrentText(settings.nameField);
    connect(m_shape, &QLineEdit::textChanged, this, [this] {
        const QString field = m_nameField->currentText();
        offerFields();
        m_nameField->setCurrentText(field);
    });
}

MapSettings MapSettingsDialog::settings() const
{
    return MapSettings{m_shape->text().trimmed(), m_nameField->currentText().trimmed()};
}

void MapSettingsDialog::browse()
{
    const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("Файл карты"),
        QFileInfo(shapePath(m_dataDirectory, m_shape->text())).path(), QStringLiteral("Карты (*.shp)"));
    if (chosen.isEmpty())
        return;
    // A map inside the data directory is named relative to it, so the settings move with the data.
    const QString relative = QDir(m_dataDirectory).relativeFilePath(chosen);
    m_shape->setText(relative.startsWith(QStringLiteral("..")) ? chosen : relative);
}

void MapSettingsDialog::offerFields()
{
    m_nameField->clear();
    m_nameField->addItems(shapeTableFields(shapePath(m_dataDirectory, m_shape->text())));
}

} // namespace verola::mapview
