#pragma once
// The automatic sweep as a window runs it (the Bode and multimeter windows alike): the
// dialog with the settings kept between runs, the generator opened from them, the sweep on
// the detected oscilloscope with the window's own measurement and record (IPointBalayage),
// a progress bar "point k / n" for the window's status bar and the status texts, Stop, and
// the generator closed at the end. A failure is shown in a French message box.
//
// The window keeps its part: its buttons and timers while a sweep runs (etatChange), the
// repaint after each point (pointEnregistre), its pump (pompeFenetre), and a close asked
// during a sweep, which waits until execute has returned.
#include "generator/balayage.h"
#include "generator/reglagesbalayage.h"

#include <QObject>
#include <functional>

class QProgressBar;
class QWidget;
class TBalayageDlg;
class TEchange;
class TRigol;

class TBalayageFenetre : public QObject, public IVueBalayage {
    Q_OBJECT
public:
    // fenetre: the window the dialog and the message boxes belong to.
    explicit TBalayageFenetre(QWidget *fenetre);
    ~TBalayageFenetre() override;

    // The progress bar (owned by the window once placed in its status bar), hidden except
    // while a sweep runs.
    QProgressBar *barre() const { return barre_; }

    // The dialog, loaded from the program's settings and run by montre (by exec without
    // one); on OK the values go back to the settings and into r. False when cancelled.
    bool demande(TReglagesBalayage &r, const std::function<int(TBalayageDlg &)> &montre = {});

    // Opens the generator r names, runs the sweep of r on the oscilloscope of maker c (through
    // echange or rigol) with the window's point, then closes the generator. Refused while
    // a sweep runs. A generator that cannot be opened, or a failure ending the sweep, is
    // shown in a message box and in the result; the points recorded so far stay.
    TResultatBalayage execute(const TReglagesBalayage &r, Tconstructeur c, TEchange *echange, TRigol *rigol,
                              IPointBalayage &point);
    // Stop: the sweep ends after the exchange in progress (at once while the generator opens).
    void arrete();
    bool enCours() const { return enCours_; }

    // The window's hooks.
    std::function<void(bool enCours)> etatChange;          // a sweep starts, ends
    std::function<void(const QString &)> texteEtat;       // status text
    std::function<void()> pointEnregistre;               // a point was recorded
    std::function<void()> pompeFenetre;                   // the window's pump

    // IVueBalayage
    void progression(int k, int n, double f) override;
    void point(int k, double f, double gain, double phase) override;
    void etat(const QString &texte) override;
    void pompe() override;

private:
    QWidget *fenetre_;
    QProgressBar *barre_;
    Balayage *balayage_ = nullptr;
    bool enCours_ = false;
    bool arretAvant_ = false;
};
