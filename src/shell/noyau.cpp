#include "shell/noyau.h"

#include "link/dossiers.h"
#include "link/portmap.h"
#include "link/registre.h"
#include "measure/unites.h"

namespace {
TNoyauPrincipal *g_noyau = nullptr;
}

TNoyauPrincipal *NoyauPrincipal() { return g_noyau; }

QString NomConstructeur(Tconstructeur c)
{
    static const char *const noms[NbreConstructeurs] = {
        "", "Agilent", "Hewlett-Packard", "Sefram", "GoodWill/Instek", "Rigol",
        "Rigol USB", "Rigol Visa", "Siglent", "Francaise d'Instrumentation"};
    const int i = int(c);
    return (i >= 0 && i < NbreConstructeurs) ? QString::fromLatin1(noms[i]) : QString();
}

QString NomModeleGDS(int modele)
{
    static const char *const noms[3] = {"GDS800", "GDS1000", "GDS2000"};
    return (modele >= 0 && modele < 3) ? QString::fromLatin1(noms[modele]) : QString();
}

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
    switch (c) {
    case oNone:
        return TFenetre::aucune;
    case oSefram:
    case oFI:
        return TFenetre::bode;
    case oGoodWill:
        return modele == 2 ? TFenetre::multimetre : TFenetre::bode;
    default:
        return TFenetre::multimetre;
    }
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

TDecision DecideIdentite(const QString &idn)
{
    TDecision d;
    d.identite = idn;
    if (idn.contains(QLatin1String("546"))) {
        d.constructeur = idn.contains(QLatin1String("AGILENT")) ? oAgilent : oHewlett;
    } else if (idn.contains(QLatin1String("SEFRAM"))) {
        d.constructeur = oSefram;
    } else if (idn.contains(QLatin1String("GDS-"))) {
        d.constructeur = oGoodWill;
        d.modeleGDS = 0;
        if (idn.contains(QLatin1String("GDS-100")))
            d.modeleGDS = 1;
        if (idn.contains(QLatin1String("GDS-11")))
            d.modeleGDS = 1;
        if (idn.contains(QLatin1String("GDS-2")))
            d.modeleGDS = 2;
    } else if (idn.contains(QLatin1String("RIGOL"))) {
        d.constructeur = oRigol;
        const qsizetype ds = idn.indexOf(QLatin1String("DS"));
        const qsizetype virgule = idn.indexOf(QLatin1Char(','), ds < 0 ? 0 : ds);
        d.identite = virgule >= 0 ? idn.left(virgule) : idn.left(idn.size() - 1);
    } else if (idn.contains(QLatin1String("FI3"))) {
        d.constructeur = oFI;
        const qsizetype virgule = idn.indexOf(QLatin1Char(','));
        if (virgule >= 0)
            d.identite = idn.mid(virgule + 1);
    }
    if (d.constructeur == oAgilent) {
        d.connect = cVect;
    } else if (d.constructeur != oNone) {
        const qsizetype p = idn.indexOf(QLatin1String("546"));
        const QString deux = p >= 0 ? idn.mid(p + 4, 2) : idn.mid(3, 2);
        d.connect = deux == QLatin1String("0A") ? cNone : cConn;
    }
    return d;
}

TNoyauPrincipal::TNoyauPrincipal()
    : echange(VoieSerie), sonde_(&TPortSerie::PortPresent)
{
    constructeur = oNone;
    g_noyau = this;
}

TNoyauPrincipal::~TNoyauPrincipal()
{
    if (g_noyau == this)
        g_noyau = nullptr;
}

int TNoyauPrincipal::nombrePortsPresents() const
{
    int n = 0;
    for (int i = 1; i <= PortMap::MaxPort; ++i)
        n += sonde_(i) ? 1 : 0;
    return n;
}

int TNoyauPrincipal::premierPortPresent() const
{
    for (int i = 1; i <= PortMap::MaxPort; ++i)
        if (sonde_(i))
            return i;
    return 0;
}

void TNoyauPrincipal::LitRegistre()
{
    auto s = OuvreRegistre();
    reglages.LitRegistre(*s, sonde_);
    VoieSerie.setComNumber(reglages.port);
    VoieSerie.setBaud(reglages.baud);
    VoieSerie.setHWFlowOptions(reglages.avecDTR ? (hwfUseDTR | hwfRequireDSR) : 0);
}

void TNoyauPrincipal::EcritRegistre()
{
    reglages.port = VoieSerie.ComNumber();
    reglages.baud = VoieSerie.Baud();
    auto s = OuvreRegistre();
    reglages.EcritRegistre(*s, constructeur);
}

QString TNoyauPrincipal::nomFichierTrace() const
{
    return DossierDonnees + QStringLiteral("ondivar-") + reglages.lettreTrace() + QStringLiteral(".trc");
}

QString TNoyauPrincipal::nomFichierLog() const
{
    return DossierDonnees + QStringLiteral("ondivar-") + reglages.lettreTrace() + QStringLiteral(".log");
}

void TNoyauPrincipal::SetTrace(bool on)
{
    if (on)
        VoieSerie.startTrace(nomFichierTrace(), nomFichierLog());
    else
        VoieSerie.dumpTrace();
}

void TNoyauPrincipal::fermePort()
{
    try {
        VoieSerie.setOpen(false);
    } catch (const std::exception &) {
    }
}

void TNoyauPrincipal::ResetOscillo()
{
    constructeur = oNone;
    connect = cNone;
    IdentiteScope.clear();
    const int dernier = int(reglages.dernierConstructeur);
    // A first attempt where the previous run found its instrument.
    if (dernier <= int(oRigol) || dernier == int(oFI))
        RechercheSerie();
    else if (dernier == int(oRigolUSB))
        RechercheUSB();
    else if (dernier == int(oRigolVisa) || dernier == int(oSiglent))
        RechercheVisa();
    if (constructeur == oNone && dernier != oRigolUSB && dernier != oRigolVisa && dernier != oSiglent)
        RechercheSerie();
    if (constructeur == oNone && dernier != oRigolUSB)
        RechercheUSB();
    if (constructeur == oNone && dernier != oRigolVisa)
        RechercheVisa();
    titre(constructeur != oNone ? QStringLiteral("Acquisition avec ") + IdentiteScope
                                : QStringLiteral("Aucun oscilloscope détecté"));
    SetMode(mNone);
    if (constructeur == oNone && vue_) {
        vue_->setComVisible(false);
        if (premierPortPresent() > 0)
            vue_->setComVisible(true);
    }
}

void TNoyauPrincipal::RechercheSerie()
{
    int port = VoieSerie.ComNumber();
    if (!sonde_(port)) {
        const int p = premierPortPresent();
        if (p == 0)
            return;
        port = p;
    }
    const bool trace = reglages.avecTrace;
    try {
        VoieSerie.setComNumber(port);
        reglages.port = port;
    } catch (const EPortError &) {
        // The port was open on another number and reopening failed: handled below on open.
    }
    SetTrace(trace);
    try {
        VoieSerie.setOpen(true);
        aide(QStringLiteral("Recherche de l'oscilloscope par *IDN?"));
        try {
            IdentiteScope = QString::fromLatin1(echange.GetIDN());
        } catch (const EserieError &) {
            IdentiteScope.clear();
        }
        if (trace) {
            VoieSerie.AddStringToLog(IdentiteScope);
            VoieSerie.AddStringToLog(QStringLiteral("22/11/2017"));
        }
        bool perdu = false;
        if (IdentiteScope.isEmpty()) {
            aide(QStringLiteral("Nouvelle recherche de l'oscilloscope"));
            try {
                IdentiteScope = QString::fromLatin1(echange.GetIDN());
            } catch (const EserieError &) {
                IdentiteScope.clear();
                perdu = true;
            }
            aide(IdentiteScope);
        }
        TDecision d = DecideIdentite(IdentiteScope);
        if (perdu)
            d.constructeur = oNone;
        constructeur = d.constructeur;
        if (constructeur == oGoodWill && trace)
            VoieSerie.AddStringToLog(QStringLiteral("INSTEK"));
        if (constructeur == oGoodWill)
            modeleGDS = d.modeleGDS;
        IdentiteScope = d.identite;
        aide(IdentiteScope);
        if (constructeur != oNone) {
            connect = d.connect;
            if (constructeur == oRigol)
                echange.EnvoieCommandeSimple(":KEY:LOCK DIS");
            if (trace) {
                VoieSerie.AddStringToLog(NomConstructeur(constructeur));
                if (constructeur == oGoodWill)
                    VoieSerie.AddStringToLog(NomModeleGDS(modeleGDS));
            }
        } else {
            const QString msg = QStringLiteral("Oscillo non branché ou non reconnu ; cliquer sur \"Voie série\"");
            Inform(msg);
            fermePort();
            titre(msg);
            if (trace)
                SetTrace(false);
        }
    } catch (const std::runtime_error &e) {
        // The port failed: opening refused, device gone, or a command the line could not carry.
        fermePort();
        constructeur = oNone;
        const QString cap = QStringLiteral("Problème voie série COM%1").arg(port);
        titre(cap);
        QString detail;
        if (auto *pe = dynamic_cast<const EPortError *>(&e))
            detail = pe->texte;
        else if (auto *se = dynamic_cast<const EserieError *>(&e))
            detail = se->texte;
        Inform(detail.isEmpty() ? cap : cap + QStringLiteral("\r\n") + detail);
        if (trace)
            SetTrace(false);
    }
}

void TNoyauPrincipal::RechercheUSB()
{
    if (!rigol_)
        return;
    QString ident;
    if (!rigol_->ouvreUSB(ident))
        return;
    IdentiteScope = ident;
    constructeur = oRigolUSB;
}

void TNoyauPrincipal::RechercheVisa()
{
    if (!rigol_)
        return;
    QString ident;
    bool siglent = false;
    if (!rigol_->ouvreVisa(ident, siglent))
        return;
    IdentiteScope = ident;
    constructeur = siglent ? oSiglent : oRigolVisa;
}

void TNoyauPrincipal::SetMode(Tmode acq)
{
    const bool detecte = constructeur != oNone;
    if (vue_) {
        vue_->setOscVisible(detecte && (acq == mNone || acq == mOsc));
        vue_->setMultVisible(detecte && acq != mOsc);
    }
    AcquisitionEnCours = detecte ? acq : mNone;
}

void TNoyauPrincipal::appliqueConfiguration(int port, int baud, bool dtr, bool trace)
{
    reglages.avecDTR = dtr;
    reglages.avecTrace = trace;
    VoieSerie.setHWFlowOptions(dtr ? (hwfUseDTR | hwfRequireDSR) : 0);
    try {
        VoieSerie.setComNumber(port);
    } catch (const EPortError &) {
        // Reopening on the new number failed; the detection that follows reports it.
    }
    reglages.port = port;
    VoieSerie.setBaud(baud);
    reglages.baud = baud;
}

QString TNoyauPrincipal::adresseSupport() { return QStringLiteral("support@ondivar.fr"); }
QString TNoyauPrincipal::adresseMiseAJour() { return QStringLiteral("https://ondivar.fr/telechargement"); }

QString TNoyauPrincipal::Fermeture()
{
    try {
        if (constructeur == oRigol && VoieSerie.Open())
            echange.EnvoieCommandeSimple(":KEY:LOCK DIS");
        else if ((constructeur == oRigolUSB || constructeur == oRigolVisa) && rigol_)
            rigol_->unLock();
    } catch (const std::exception &) {
        // The instrument may be gone; closing goes on.
    }
    QString message;
    if (NbreRS232 > 0 && reglages.avecTrace) {
        SetTrace(false);
        message = QStringLiteral("Fichiers : Ondivar.txt, Ondivar-x.trc et Ondivar-x.log\r\ndans ") + DossierDonnees
                  + QStringLiteral("\r\nà envoyer à ") + adresseSupport();
        Inform(message);
    }
    if (estSerie(constructeur))
        EcritRegistre();
    fermePort();
    return message;
}

QString TestVoieSerie(TEchange &echange, int port, int baud)
{
    TPortSerie &voie = echange.port();
    QString texte;
    try {
        voie.setOpen(false);
        voie.setComNumber(port);
        voie.setBaud(baud);
        voie.setOpen(true);
        texte = QString::fromLatin1(echange.GetIDN());
    } catch (const EAlreadyOpen &) {
        texte = QStringLiteral("COM%1 déjà ouvert").arg(port);
    } catch (const EPortError &e) {
        texte = e.texte.isEmpty() ? QStringLiteral("pas de réponse à *IDN?") : e.texte;
    } catch (const std::exception &) {
        texte = QStringLiteral("pas de réponse à *IDN?");
    }
    try {
        voie.setOpen(false);
    } catch (const std::exception &) {
    }
    return texte;
}

void TNoyauPrincipal::DetectionLigneDeCommande(int port, int baud, bool trace)
{
    LitRegistre();
    if (port)
        VoieSerie.setComNumber(port);
    if (baud)
        VoieSerie.setBaud(baud);
    if (trace)
        reglages.avecTrace = true;
    ResetOscillo();
}

QString TNoyauPrincipal::FinLigneDeCommande()
{
    QString texte;
    if (reglages.avecTrace) {
        SetTrace(false);
        texte = QStringLiteral("Trace : ") + nomFichierTrace() + QStringLiteral("\nJournal : ") + nomFichierLog();
    }
    fermePort();
    return texte;
}
