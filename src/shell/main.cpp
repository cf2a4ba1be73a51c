// Ondivar: acquisition from oscilloscopes for Korvalis.
#include "drivers/pilotes.h"
#include "export/formedde.h"
#include "instrument/recherchepilotes.h"
#include "link/dossiers.h"
#include "measure/dialoguewidgets.h"
#include "measure/unites.h"
#include "multimeter/fenetremultimetre.h"
#include "shell/captures.h"
#include "shell/demarrage.h"
#include "shell/fenetreprincipale.h"
#include "shell/grec.h"
#include "scope/fenetreoscillo.h"
#include "scope/fenetrerigol.h"
#include "bode/fenetrebode.h"
#include "export/constantedlg.h"
#include "export/groupechoix.h"
#include "generator/balayagedlg.h"
#include "generator/reglagesbalayage.h"

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ConstruitDossiers();
    TPilotesRigol pilotes;    // the Rigol USB and VISA driver objects
    TRecherchePilotes recherche;
    TFormDDE dde;             // the link with Korvalis, and our own service
    (void)UniteStandard(0);   // the table of standard units

    TDialogueWidgets boites;
    PrepareApplication(boites);
    setDialogue(&boites);
    TFiltreGrec grec;
    app.installEventFilter(&grec);

    TAgilentFormMain fenetre;
    fenetre.noyau.session.setRechercheRigol(&recherche);
    // Mode windows, created on first use.
    EnregistreFenetre(TFenetre::oscillo, [&fenetre] { return new TOscilloForm(&fenetre); });
    EnregistreFenetre(TFenetre::oscilloRigol, [&fenetre] { return new TOscilloRigolForm(&fenetre); });
    EnregistreFenetre(TFenetre::bode, [&fenetre] { return new TBodeForm(&fenetre); });
    EnregistreFenetre(TFenetre::multimetre, [&fenetre, &app] { return new TMultimetreForm(&fenetre, app.arguments().mid(1)); });
    dde.setFocusMain = [&fenetre] { fenetre.setFocusMain(); };
    fenetre.show();
    // ONDIVAR_CAPTURE=file.png: once the detection has run, the window is saved as a
    // picture and the program ends. ONDIVAR_CAPTURE=folder: the pictures of every window
    // (or of those named in ONDIVAR_CAPTURE_FENETRES, separated by commas) in that folder,
    // for the documentation (scripts/captures.sh).
    const QString capture = qEnvironmentVariable("ONDIVAR_CAPTURE");
    if (capture.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) {
        QTimer::singleShot(4000, &fenetre, [&fenetre, capture] {
            fenetre.grab().save(capture);
            QApplication::quit();
        });
    } else if (!capture.isEmpty()) {
        // Each mode window as a user sees it: opened by its button, after a read.
        EnregistreCapture(QStringLiteral("oscilloscope"), [&fenetre]() -> QWidget * {
            fenetre.OscBtnClick();
            auto *w = qobject_cast<TOscilloForm *>(fenetre.fenetre(TFenetre::oscillo));
            if (!w || !w->isVisible())
                return nullptr;
            w->XYrg->setItemIndex(1);   // "Une période": the markers show
            w->EnregistreActionExecute();
            return w;
        });
        EnregistreCapture(QStringLiteral("oscilloscope-rigol"), [&fenetre]() -> QWidget * {
            fenetre.OscBtnClick();
            auto *w = qobject_cast<TOscilloRigolForm *>(fenetre.fenetre(TFenetre::oscilloRigol));
            if (!w || !w->isVisible())
                return nullptr;
            w->LireBtnClick();
            return w;
        });
        // The Bode window after a sweep with the saved settings, and the sweep's dialog.
        EnregistreCapture(QStringLiteral("bode-balayage"), [&fenetre]() -> QWidget * {
            const TReglagesBalayage r = LitReglagesBalayage();
            if (r.ressource.isEmpty())
                return nullptr;
            fenetre.MultBtnClick();
            auto *w = qobject_cast<TBodeForm *>(fenetre.fenetre(TFenetre::bode));
            if (!w || !w->isVisible())
                return nullptr;
            const QRect ecran = w->screen()->availableGeometry();
            w->resize(std::min(1280, ecran.width()), std::min(860, ecran.height()));
            w->lanceBalayage(r);
            return w;
        });
        // The same sweep in the multimeter window, for the instruments it serves.
        EnregistreCapture(QStringLiteral("multimetre-balayage"), [&fenetre]() -> QWidget * {
            const TReglagesBalayage r = LitReglagesBalayage();
            if (r.ressource.isEmpty())
                return nullptr;
            fenetre.MultBtnClick();
            auto *w = qobject_cast<TMultimetreForm *>(fenetre.fenetre(TFenetre::multimetre));
            if (!w || !w->isVisible())
                return nullptr;
            w->lanceBalayage(r);
            return w;
        });
        EnregistreCapture(QStringLiteral("balayage-dialogue"), [&fenetre]() -> QWidget * {
            return new TBalayageDlg(LitReglagesBalayage(), &fenetre);
        });
        EnregistreCapture(QStringLiteral("page"), [&fenetre]() -> QWidget * {
            auto *d = new TConstanteDlg(&fenetre);
            d->NomConstEdit->setText(QStringLiteral("R"));
            d->UniteConstEdit->setText(QStringLiteral("Ω"));
            d->ValeurConstEdit->setText(QStringLiteral("1k"));
            d->EditComm->setText(QStringLiteral("Filtre RC"));
            d->setChoix(1);
            return d;
        });
        LanceCaptures(fenetre, capture,
                      qEnvironmentVariable("ONDIVAR_CAPTURE_FENETRES").split(QLatin1Char(','), Qt::SkipEmptyParts));
    }
    const int rc = app.exec();
    setDialogue(nullptr);
    return rc;
}
