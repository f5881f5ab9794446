#include "app/dialogs/frnAbout.h"

#include "app/widgets/Accessible.h"
#include "app/widgets/ClickLabel.h"
#include "app/MakerPages.h"
#include "app/widgets/Pictures.h"
#include "platform/Platform.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace parlivo {

frnAbout::frnAbout(Platform &platform, const QString &appFolder, QWidget *parent)
    : QWidget(parent, Qt::Tool)
    , m_platform(platform)
{
    installAccessibleRoles();
    setProperty(AccessibleRoleProperty, int(QAccessible::Dialog));
    setObjectName(QStringLiteral("frnAbout"));
    setWindowTitle(QStringLiteral("About..."));
    setAccessibleName(QStringLiteral("About..."));
    setFixedSize(11265 / 15, 6600 / 15);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    Image1 = new ClickLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(24, 24, 200, 200);
    Image1->setPixmap(Pictures::load(appFolder, QStringLiteral("about-logo"), Image1->size()));
    Image1->setAccessibleName(tr("Parlivo makers' web site"));

    auto *developed = new QLabel(QStringLiteral("Developed by:"), this);
    developed->setObjectName(QStringLiteral("Label2"));
    developed->setGeometry(248, 28, 460, 24);
    developed->setStyleSheet(QStringLiteral("font-weight: bold; color: #445;"));

    Label1 = new ClickLabel(QStringLiteral("The Parlivo makers"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(248, 56, 460, 36);
    Label1->setStyleSheet(QStringLiteral("font-size: 20px; color: #2a5db0; text-decoration: underline;"));

    auto *notice = new QLabel(this);
    notice->setObjectName(QStringLiteral("Label3"));
    notice->setGeometry(248, 104, 470, 200);
    notice->setWordWrap(true);
    notice->setText(tr("Parlivo %1\n\nGive your messages a voice: record, type or pick a sound, add a "
                       "picture, and send the people you care about a small web page of their own.\n\n"
                       "Parlivo keeps nothing between runs: its working folders are emptied every "
                       "time it starts and closes.")
                        .arg(QStringLiteral("z2006.8.3")));

    Image2 = new ClickLabel(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(24, 250, 200, 160);
    Image2->setPixmap(Pictures::load(appFolder, QStringLiteral("about-product"), Image2->size()));
    Image2->setAccessibleName(tr("Parlivo product page"));

    const QString company = MakerPages::company(appFolder), product = MakerPages::product(appFolder);
    connect(Image1, &ClickLabel::clicked, this, [this, company] { openAndUnload(company); });
    connect(Label1, &ClickLabel::clicked, this, [this, company] { openAndUnload(company); });
    connect(Image2, &ClickLabel::clicked, this, [this, product] { openAndUnload(product); });

    // A way out for everyone: a close button, which has the focus when the box opens,
    // and Escape.
    closeButton = new QPushButton(tr("Close"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setGeometry(width() - 124, height() - 48, 100, 30);
    closeButton->setDefault(true);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    closeButton->setFocus();
}

void frnAbout::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frnAbout::openAndUnload(const QString &address)
{
    if (m_platform.shell)
        m_platform.shell->open(address);
    close();
}

} // namespace parlivo
