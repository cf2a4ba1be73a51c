#pragma once
// The main window: six buttons above the help line and the progress bar.
#include "link/echange.h"
#include "shell/noyau.h"

#include <QFont>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

class QLabel;
class QProgressBar;
class QToolButton;
class TComCfgDlg;
class TAboutBox;

// Creates the window of a mode on first use (the windows register themselves).
using FabriqueFenetre = std::function<QWidget *()>;
void EnregistreFenetre(TFenetre f, FabriqueFenetre fabrique);

// The shell's font: "Segoe UI" 13 pixels high, or its nearest stand-in.
QFont PoliceSegoe();

class TAgilentFormMain : public QWidget, public IVuePrincipale, public IProgression {
    Q_OBJECT
public:
    explicit TAgilentFormMain(QWidget *parent = nullptr);
    ~TAgilentFormMain() override;

    TNoyauPrincipal noyau;

    // IVuePrincipale
    void setAide(const QString &texte) override;
    void setTitre(const QString &texte) override;
    void setComVisible(bool v) override;
    void setOscVisible(bool v) override;
    void setMultVisible(bool v) override;
    void setDetectionPossible(bool possible) override;
    // IProgression
    void setMaximum(int max) override;
    void setPosition(int pos) override;

    // Brings the window of the current mode to the front (the main window when none).
    void setFocusMain();
    // Shows a help text where the current mode shows it; empty restores the caption.
    void AfficheAide(const QString &texte);
    // The window of a mode, or null when it was never created (or is gone).
    QWidget *fenetre(TFenetre f) const;

    void ComCfgClick();
    void TestBtnClick();
    void OscBtnClick();
    void MultBtnClick();
    void AboutItemClick();
    void ExitItemClick() { close(); }

    QToolButton *ComBtn = nullptr;
    QToolButton *TestBtn = nullptr;
    QToolButton *MultBtn = nullptr;
    QToolButton *OscBtn = nullptr;
    QToolButton *AboutBtn = nullptr;
    QToolButton *ExitBtn = nullptr;
    QLabel *AideLabel = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QTimer TimerTest;
    TComCfgDlg *ComCfgDlg = nullptr;
    TAboutBox *AboutBox = nullptr;

protected:
    bool event(QEvent *e) override;
    bool eventFilter(QObject *obj, QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    QWidget *ouvre(TFenetre f);
    void TimerTestTimer();
    void finDeFenetre(QObject *w);
    // Places the buttons, the help line and the progress bar for the font in use.
    void place();
    QWidget *boutonPanel_ = nullptr;
    QWidget *aidePanel_ = nullptr;
    std::array<QPointer<QWidget>, 5> fenetres_;
    QList<QObject *> suivies_;   // mode windows whose closing the main window watches
};

// Moves (and if need be shrinks) a window so that its frame lies inside the available
// geometry of its screen.
void GardeDansEcran(QWidget *w);

// The one main window of the run; null before it exists.
TAgilentFormMain *AgilentFormMain();
