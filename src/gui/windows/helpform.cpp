#include "gui/windows/helpform.h"

#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace verola {

namespace {

QString missingPageText(const QString& page)
{
    return QStringLiteral("<html><head><title>Справка</title></head><body><h2>Справка</h2>"
                          "<p>Не могу показать справку: файла %1 нет. Он ставится вместе с программой "
                          "в ее каталог, в папку Help.</p></body></html>")
        .arg(QDir::toNativeSeparators(page).toHtmlEscaped());
}

} // namespace

HelpForm::HelpForm(const QString& page, QWidget* parent) : QWidget(parent, Qt::Window), m_page(page)
{
    setObjectName(QStringLiteral("HelpForm"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    BackButton = new QToolButton(bar);
    BackButton->setText(QStringLiteral("Назад"));
    BackButton->setToolTip(QStringLiteral("Предыдущая страница"));
    BackButton->setEnabled(false);
    HomeButton = new QToolButton(bar);
    HomeButton->setText(QStringLiteral("Содержание"));
    HomeButton->setToolTip(QStringLiteral("Начальная страница справки"));
    bar->addWidget(BackButton);
    bar->addWidget(HomeButton);
    layout->addWidget(bar);
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    // Pages and pictures of the help folder open here; addresses outside it go to the desktop.
    Browser->setOpenLinks(true);
    Browser->setOpenExternalLinks(true);
    Browser->setSearchPaths({QFileInfo(page).absolutePath()});
    layout->addWidget(Browser, 1);
    connect(Browser, &QTextBrowser::backwardAvailable, BackButton, &QToolButton::setEnabled);
    connect(BackButton, &QToolButton::clicked, Browser, &QTextBrowser::backward);
    connect(HomeButton, &QToolButton::clicked, this, &HelpForm::showPage);
    connect(Browser, &QTextBrowser::sourceChanged, this, &HelpForm::followTitle);
    resize(760, 640);
    showPage();
}

void HelpForm::showPage()
{
    if (!QFileInfo(m_page).isFile()) {
        Browser->setHtml(missingPageText(m_page));
        followTitle();
        return;
    }
    const QUrl url = QUrl::fromLocalFile(m_page);
    if (Browser->source() == url)
        Browser->reload();
    else
        Browser->setSource(url);
    followTitle();
}

void HelpForm::followTitle()
{
    const QString title = Browser->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Справка") : title);
}

} // namespace verola
