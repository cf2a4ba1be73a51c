#include "instrument/session.h"

#include "drivers/pilotes.h"
#include "export/formedde.h"
#include "link/dossiers.h"
#include "link/portmap.h"
#include "link/registre.h"
#include "measure/unites.h"

namespace {
TSessionInstrument *g_session = nullptr;
}

TSessionInstrument *SessionInstrument() { return g_session; }

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

TSessionInstrument::TSessionInstrument()
    : echange(VoieSerie), sonde_(&TPortSerie::PortPresent)
{
    constructeur = oNone;
    g_session = this;
}

TSessionInstrument::~TSessionInstrument()
{
    if (g_session == this)
        g_session = nullptr;
}

int TSessionInstrument::nombrePortsPresents() const
{
    int n = 0;
    for (int i = 1; i <= PortMap::MaxPort; ++i)
        n += sonde_(i) ? 1 : 0;
    return n;
}

int TSessionInstrument::premierPortPresent() const
{
    for (int i = 1; i <= PortMap::MaxPort; ++i)
        if (sonde_(i))
            return i;
    return 0;
}

void TSessionInstrument::LitRegistre()
{
    auto s = OuvreRegistre();
    reglages.LitRegistre(*s, sonde_);
    VoieSerie.setComNumber(reglages.port);
    VoieSerie.setBaud(reglages.baud);
    VoieSerie.setHWFlowOptions(reglages.avecDTR ? (hwfUseDTR | hwfRequireDSR) : 0);
}

void TSessionInstrument::EcritRegistre()
{
    reglages.port = VoieSerie.ComNumber();
    reglages.baud = VoieSerie.Baud();
    auto s = OuvreRegistre();
    reglages.EcritRegistre(*s, constructeur);
}

QString TSessionInstrument::nomFichierTrace() const
{
    return DossierDonnees + QStringLiteral("ondivar-") + reglages.lettreTrace() + QStringLiteral(".trc");
}

QString TSessionInstrument::nomFichierLog() const
{
    return DossierDonnees + QStringLiteral("ondivar-") + reglages.lettreTrace() + QStringLiteral(".log");
}

void TSessionInstrument::SetTrace(bool on)
{
    if (on)
        VoieSerie.startTrace(nomFichierTrace(), nomFichierLog());
    else
        VoieSerie.dumpTrace();
}

void TSessionInstrument::fermePort()
{
    try {
        VoieSerie.setOpen(false);
    } catch (const std::exception &) {
    }
}

bool TSessionInstrument::Detecte()
{
    if (detectionEnCours_)
        return false;
    struct TEnCours {
        bool &drapeau;
        explicit TEnCours(bool &d) : drapeau(d) { drapeau = true; }
        ~TEnCours() { drapeau = false; }
    } enCours(detectionEnCours_);
    constructeur = oNone;
    connect = cNone;
    IdentiteScope.clear();
    const int dernier = reglages.dernierConstructeur;
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
    return true;
}

void TSessionInstrument::RechercheSerie()
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

void TSessionInstrument::RechercheUSB()
{
    if (!rigol_)
        return;
    QString ident;
    if (!rigol_->ouvreUSB(ident))
        return;
    IdentiteScope = ident;
    constructeur = oRigolUSB;
}

void TSessionInstrument::RechercheVisa()
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

void TSessionInstrument::appliqueConfiguration(int port, int baud, bool dtr, bool trace)
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

void TSessionInstrument::DetectionLigneDeCommande(int port, int baud, bool trace)
{
    LitRegistre();
    if (port)
        VoieSerie.setComNumber(port);
    if (baud)
        VoieSerie.setBaud(baud);
    if (trace)
        reglages.avecTrace = true;
    Detecte();
}

QString TSessionInstrument::FinLigneDeCommande()
{
    QString texte;
    if (reglages.avecTrace) {
        SetTrace(false);
        texte = QStringLiteral("Trace : ") + nomFichierTrace() + QStringLiteral("\nJournal : ") + nomFichierLog();
    }
    fermePort();
    return texte;
}

void TSessionInstrument::SetMode(Tmode acq)
{
    AcquisitionEnCours = constructeur != oNone ? acq : mNone;
    emit modeChange(AcquisitionEnCours);
}

TRigol *TSessionInstrument::rigol() const { return Rigol; }

TFormDDE &TSessionInstrument::lienKorvalis()
{
    if (TFormDDE *d = FormDDE())
        return *d;   // the program's link, made at start-up
    if (!lienPropre_)
        lienPropre_ = std::make_unique<TFormDDE>(false);
    return *lienPropre_;
}

void TSessionInstrument::rendFacade()
{
    try {
        if (constructeur == oRigol && VoieSerie.Open())
            echange.EnvoieCommandeSimple(":KEY:LOCK DIS");
        else if ((constructeur == oRigolUSB || constructeur == oRigolVisa) && rigol_)
            rigol_->unLock();
    } catch (const std::exception &) {
        // The instrument may be gone; closing goes on.
    }
}

void TSessionInstrument::termine()
{
    if (estSerie(constructeur))
        EcritRegistre();
    fermePort();
}
