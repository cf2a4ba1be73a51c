#pragma once
// The about box.
#include <QDialog>
#include <functional>

class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);
    QPushButton *OKButton = nullptr;
    QPushButton *MiseAJourBtn = nullptr;
    // How the update page is opened (the desktop by default; tests replace it).
    std::function<bool(const QString &url)> ouvreUrl;
    void MiseAJourClick();
};
