#include "gui/windows/aboutbox.h"

#include "gui/app/navigatorform.h"

#include <QFile>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QSysInfo>
#include <QVBoxLayout>

namespace verola {

namespace {

// The physical memory in bytes, from the kernel's table; 0 where there is none.
qint64 physicalMemory()
{
    QFile info(QStringLiteral("/proc/meminfo"));
    if (!info.open(QIODevice::ReadOnly))
        return 0;
    const QString text = QString::fromLatin1(info.readAll());
    const QRegularExpressionMatch total = QRegularExpression(QStringLiteral("MemTotal:\\s+(\\d+)\\s*kB")).match(text);
    return total.hasMatch() ? total.captured(1).toLongLong() * 1024 : 0;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("О программе"));
    auto* layout = new QVBoxLayout(this);

    ProductName = new QLabel(TNavigatorForm::productTitle(), this);
    QFont title = ProductName->font();
    title.setPointSize(title.pointSize() + 6);
    title.setBold(true);
    ProductName->setFont(title);
    ProductName->setStyleSheet(QStringLiteral("color: navy;"));
    ProductName->setAlignment(Qt::AlignCenter);
    layout->addWidget(ProductName);

    ProgramIcon = new QLabel(this);
    ProgramIcon->setAlignment(Qt::AlignCenter);
    QImageReader reader(QStringLiteral(":/pictures/about.jpg"));
    ProgramIcon->setPixmap(QPixmap::fromImage(reader.read()));
    layout->addWidget(ProgramIcon);

    auto* texts = new QGridLayout;
    texts->addWidget(new QLabel(QStringLiteral("Memory Available to Windows:"), this), 0, 0);
    PhysMem = new QLabel(memoryText(physicalMemory(), QLocale()), this);
    texts->addWidget(PhysMem, 0, 1);
    OS = new QLabel(systemText(), this);
    texts->addWidget(OS, 1, 0, 1, 2);
    texts->addWidget(new QLabel(QStringLiteral("Верола — обработка данных «окружающая среда — здоровье»"), this), 2, 0, 1, 2);
    texts->addWidget(new QLabel(QStringLiteral("Версия %1").arg(QStringLiteral(VEROLA_VERSION_TEXT)), this), 3, 0, 1, 2);
    layout->addLayout(texts);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(OKButton, 0, Qt::AlignCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString TAboutBox::memoryText(qint64 bytes, const QLocale& locale)
{
    return locale.toString(bytes / 1024) + QStringLiteral(" KB");
}

QString TAboutBox::systemText()
{
    const QStringList version = QSysInfo::kernelVersion().split(u'.');
    const int major = version.value(0).toInt();
    const int minor = version.value(1).toInt();
    QString name = QSysInfo::kernelType();
    if (!name.isEmpty())
        name[0] = name[0].toUpper();
    return QStringLiteral("%1 %2.%3").arg(name).arg(major).arg(minor);
}

} // namespace verola
