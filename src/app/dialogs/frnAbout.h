#pragma once
// The about box: who made Parlivo, with links to the maker's pages.
#include <QWidget>

class QPushButton;

namespace parlivo {

struct Platform;
class ClickLabel;

class frnAbout : public QWidget
{
    Q_OBJECT
public:
    frnAbout(Platform &platform, const QString &appFolder, QWidget *parent = nullptr);

    ClickLabel *Image1 = nullptr;
    ClickLabel *Label1 = nullptr;
    ClickLabel *Image2 = nullptr;
    QPushButton *closeButton = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void openAndUnload(const QString &address);
    Platform &m_platform;
};

} // namespace parlivo
