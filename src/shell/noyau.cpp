#include "shell/noyau.h"

#include "instrument/commandecli.h"
#include "link/dossiers.h"
#include "measure/unites.h"

TFenetre FenetreOscillo(Tconstructeur c)
{
    switch (c) {
    case oRigolUSB:
    case oRigolVisa:
    case oSiglent:
        return TFenetre::oscilloRigol;
    case oNone:
        return TFenetre::aucune;
    default:
        return estSerie(c) ? TFenetre::oscillo : TFenetre::aucune;
    }
}

TFenetre FenetreMultimetre(Tconstructeur c, int modele)
{
    if (c == oNone)
        return TFenetre::aucune;
    return ModeBode(c, modele) ? TFenetre::bode : TFenetre::multimetre;
}

Tmode ModeMultimetre(Tconstructeur c, int modele)
{
    switch (FenetreMultimetre(c, modele)) {
    case TFenetre::bode:
        return mMultSefram;
    case TFenetre::multimetre:
        return mMult;
    default:
        return mNone;
    }
}

TFenetre FenetreDuMode(Tmode m, Tconstructeur c, int /*modele*/)
{
    switch (m) {
    case mOsc:
        return FenetreOscillo(c);
    case mMult:
        return TFenetre::multimetre;
    case mMultSefram:
        return TFenetre::bode;
    default:
        return TFenetre::aucune;
    }
}

int IndexVitesse(int baud)
{
    switch (baud) {
    case 19200: return 1;
    case 38400: return 2;
    case 57600: return 3;
    default: return 0;
    }
}

int VitesseIndex(int index)
{
    switch (index) {
    case 1: return 19200;
    case 2: return 38400;
    case 3: return 57600;
    default: return 9600;
    }
}

TNoyauPrincipal::TNoyauPrincipal()
{
    QObject::connect(&session, &TSessionInstrument::modeChange, [this](Tmode m) { montreModes(m); });
}

TNoyauPrincipal::~TNoyauPrincipal() { session.disconnect(); }

void TNoyauPrincipal::setVue(IVuePrincipale *v)
{
    vue_ = v;
    session.setVue(v);
}

void TNoyauPrincipal::montreModes(Tmode m)
{
    const bool detecte = session.instrumentDetecte();
    if (vue_) {
        vue_->setOscVisible(detecte && (m == mNone || m == mOsc));
        vue_->setMultVisible(detecte && m != mOsc);
    }
}

bool TNoyauPrincipal::ResetOscillo()
{
    if (session.detectionEnCours())
        return false;
    if (vue_)
        vue_->setDetectionPossible(false);
    session.Detecte();
    if (vue_)
        vue_->setDetectionPossible(true);
    SetMode(mNone);
    if (!session.instrumentDetecte() && vue_) {
        vue_->setComVisible(false);
        if (session.premierPortPresent() > 0)
            vue_->setComVisible(true);
    }
    return true;
}

QString TNoyauPrincipal::adresseSupport() { return QStringLiteral("support@ondivar.fr"); }
QString TNoyauPrincipal::adresseMiseAJour() { return QStringLiteral("https://ondivar.fr/telechargement"); }

QString TNoyauPrincipal::Fermeture()
{
    session.rendFacade();
    QString message;
    if (NbreRS232 > 0 && session.reglages.avecTrace) {
        session.SetTrace(false);
        message = QStringLiteral("Fichiers : Ondivar.txt, Ondivar-x.trc et Ondivar-x.log\r\ndans ") + DossierDonnees
                  + QStringLiteral("\r\nà envoyer à ") + adresseSupport();
        Inform(message);
    }
    session.termine();
    return message;
}
