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

namespace {
// For the picture tour: the mode window of the instrument after a sweep with the saved
// settings, resized first when taille is valid (within the screen); nullptr without a
// generator in the settings or when the instrument leads to another window.
template <class F>
QWidget *apresBalayage(TAgilentFormMain &fenetre, TFenetre quelle, QSize taille)
{
    const TReglagesBalayage r = LitReglagesBalayage();
    if (r.ressource.isEmpty())
        return nullptr;
    fenetre.MultBtnClick();
    auto *w = qobject_cast<F *>(fenetre.fenetre(quelle));
    if (!w || !w->isVisible())
        return nullptr;
    if (taille.isValid()) {
        const QRect ecran = w->screen()->availableGeometry();
        w->resize(std::min(taille.width(), ecran.width()), std::min(taille.height(), ecran.height()));
    }
    w->lanceBalayage(r);
    return w;
}
} // namespace

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
        // The mode window after a sweep with the saved settings, and the sweep's dialog.
        EnregistreCapture(QStringLiteral("bode-balayage"), [&fenetre] {
            return apresBalayage<TBodeForm>(fenetre, TFenetre::bode, QSize(1280, 860));
        });
        EnregistreCapture(QStringLiteral("multimetre-balayage"), [&fenetre] {
            return apresBalayage<TMultimetreForm>(fenetre, TFenetre::multimetre, QSize());
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
