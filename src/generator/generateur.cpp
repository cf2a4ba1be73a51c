#include "generator/generateur.h"

#include "drivers/nomvisa.h"
#include "drivers/visa.h"
#include "link/echange.h"
#include "link/parsenumber.h"
#include "link/portmap.h"
#include "link/portserie.h"

#include <QRegularExpression>
#include <cmath>

namespace {

constexpr int BaudFeelTech = 115200;
constexpr int BaudParDefaut = 9600;

// ---- Serial port ----------------------------------------------------------------------

class TTransportSerie : public ITransportGenerateur {
public:
    TTransportSerie() : echange_(port_) {}
    ~TTransportSerie() override
    {
        try {
            port_.setOpen(false);
        } catch (...) {
        }
    }

    bool ouvre(int numero, int baud, QString &erreur)
    {
        port_.setComNumber(numero);
        port_.setBaud(baud);
        try {
            port_.setOpen(true);
        } catch (const EPortError &e) {
            erreur = e.texte;
            return false;
        }
        return true;
    }

    bool ecrit(const QByteArray &ligne) override
    {
        if (!port_.Open())
            return false;
        port_.ProcessCommunications();
        port_.FlushInBuffer();
        port_.PutString(ligne + '\n');
        return port_.Open();
    }

    bool litLigne(int delaiMs, QByteArray &ligne) override
    {
        // The exchange counts in seconds of 18 ticks.
        const int duree = std::max(1, (delaiMs + 989) / 990);
        try {
            return echange_.LitReponse(duree, ligne);
        } catch (const EPortError &) {
            perdu_ = true;
            return false;
        }
    }

    bool perdu() const override { return perdu_ || !port_.Open(); }

private:
    TPortSerie port_;
    TEchange echange_;
    bool perdu_ = false;
};

// ---- Socket or USBTMC, through the drivers' VISA session ---------------------------------

class TTransportVisa : public ITransportGenerateur {
public:
    explicit TTransportVisa(std::unique_ptr<TSessionVisa> s) : s_(std::move(s)) {}

    bool ecrit(const QByteArray &ligne) override
    {
        if (s_->perdue())
            return false;
        if (!s_->finDeMessageConnue())
            s_->efface();
        return s_->ecrit(ligne + '\n', 2000);
    }

    bool litLigne(int delaiMs, QByteArray &ligne) override
    {
        ligne = s_->lit(1024, delaiMs, true, nullptr);
        const bool complet = ligne.endsWith('\n') || (s_->finDeMessageConnue() && !ligne.isEmpty());
        while (!ligne.isEmpty() && (ligne.endsWith('\n') || ligne.endsWith('\r')))
            ligne.chop(1);
        return complet;
    }

    bool perdu() const override { return s_->perdue(); }

private:
    std::unique_ptr<TSessionVisa> s_;
};

QString texteLigne(const QByteArray &b)
{
    return QString::fromLatin1(b).trimmed();
}

} // namespace

// ---- Dialects ------------------------------------------------------------------------------

QString MotDialecte(TDialecteGenerateur d)
{
    switch (d) {
    case TDialecteGenerateur::Auto: return QStringLiteral("auto");
    case TDialecteGenerateur::Scpi: return QStringLiteral("scpi");
    case TDialecteGenerateur::RigolDG: return QStringLiteral("rigol");
    case TDialecteGenerateur::SiglentSDG: return QStringLiteral("siglent");
    case TDialecteGenerateur::Keysight33: return QStringLiteral("keysight");
    case TDialecteGenerateur::FeelTech: return QStringLiteral("feeltech");
    }
    return QString();
}

bool LitDialecte(const QString &mot, TDialecteGenerateur &d)
{
    for (auto c : {TDialecteGenerateur::Auto, TDialecteGenerateur::Scpi, TDialecteGenerateur::RigolDG,
                   TDialecteGenerateur::SiglentSDG, TDialecteGenerateur::Keysight33, TDialecteGenerateur::FeelTech}) {
        if (mot.trimmed().compare(MotDialecte(c), Qt::CaseInsensitive) == 0) {
            d = c;
            return true;
        }
    }
    return false;
}

QString NomDialecte(TDialecteGenerateur d)
{
    switch (d) {
    case TDialecteGenerateur::Auto: return QStringLiteral("automatique");
    case TDialecteGenerateur::Scpi: return QStringLiteral("SCPI");
    case TDialecteGenerateur::RigolDG: return QStringLiteral("Rigol DG");
    case TDialecteGenerateur::SiglentSDG: return QStringLiteral("Siglent SDG");
    case TDialecteGenerateur::Keysight33: return QStringLiteral("Keysight/Agilent 33xxx");
    case TDialecteGenerateur::FeelTech: return QStringLiteral("FeelTech FY6800/FY6900");
    }
    return QString();
}

TDialecteGenerateur DialecteIdentite(const QByteArray &identite)
{
    const QByteArray id = identite.trimmed().toUpper();
    if (id.isEmpty())
        return TDialecteGenerateur::Auto;
    const QList<QByteArray> champs = id.split(',');
    const QByteArray fabricant = champs.value(0).trimmed();
    const QByteArray modele = champs.value(1).trimmed();
    if (id.startsWith("FY") || fabricant.contains("FEELTECH") || fabricant.contains("FEELELEC"))
        return TDialecteGenerateur::FeelTech;
    if (fabricant.contains("RIGOL") && modele.startsWith("DG"))
        return TDialecteGenerateur::RigolDG;
    if (fabricant.contains("SIGLENT") && modele.startsWith("SDG"))
        return TDialecteGenerateur::SiglentSDG;
    if ((fabricant.contains("AGILENT") || fabricant.contains("KEYSIGHT") || fabricant.contains("HEWLETT"))
        && (modele.startsWith("33") || modele.startsWith("EDU33")))
        return TDialecteGenerateur::Keysight33;
    return TDialecteGenerateur::Scpi;
}

QByteArray TexteFrequence(double f)
{
    if (!std::isfinite(f) || f < 0)
        return QByteArray();
    const double micro = std::round(f * 1e6);
    const qint64 entier = qint64(micro / 1e6);
    qint64 reste = qint64(micro - double(entier) * 1e6);
    QByteArray t = QByteArray::number(entier);
    if (reste > 0) {
        QByteArray dec = QByteArray::number(reste).rightJustified(6, '0');
        while (dec.endsWith('0'))
            dec.chop(1);
        t += '.' + dec;
    }
    return t;
}

QByteArray CommandeFrequence(TDialecteGenerateur d, double f)
{
    switch (d) {
    case TDialecteGenerateur::RigolDG: return ":SOUR1:FREQ " + TexteFrequence(f);
    case TDialecteGenerateur::SiglentSDG: return "C1:BSWV FRQ," + TexteFrequence(f);
    case TDialecteGenerateur::FeelTech: {
        // Microhertz on 14 digits: up to 99 999 999.999999 Hz.
        const double micro = std::round(std::clamp(f, 0.0, 99999999.999999) * 1e6);
        return "WMF" + QByteArray::number(qint64(micro)).rightJustified(14, '0');
    }
    case TDialecteGenerateur::Auto:
    case TDialecteGenerateur::Scpi:
    case TDialecteGenerateur::Keysight33: return "FREQ " + TexteFrequence(f);
    }
    return QByteArray();
}

double LitFrequence(TDialecteGenerateur d, const QByteArray &reponse)
{
    QString t = QString::fromLatin1(reponse).trimmed();
    if (d == TDialecteGenerateur::SiglentSDG) {
        // "C1:BSWV WVTP,SINE,FRQ,1000HZ,PERI,0.001S,..."
        const QStringList champs = t.split(QLatin1Char(','));
        const qsizetype i = champs.indexOf(QStringLiteral("FRQ"), 0);
        if (i < 0 || i + 1 >= champs.size())
            return NaN();
        t = champs[i + 1].trimmed();
        if (t.endsWith(QLatin1String("HZ"), Qt::CaseInsensitive))
            t.chop(2);
    }
    // "+1.000000000000000E+03": the program's reader takes what a C-locale reader would.
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (ok && std::isfinite(v))
        return v;
    return ParseNumber(t);
}

// ---- Transports ------------------------------------------------------------------------------

bool EstRessourceSerie(const QString &ressource, int *numero, int *baud)
{
    static const QRegularExpression re(QStringLiteral("^\\s*COM(\\d{1,2})(?::(\\d{3,7}))?\\s*$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(ressource);
    if (!m.hasMatch())
        return false;
    const int n = m.captured(1).toInt();
    if (n < 1 || n > PortMap::MaxPort)
        return false;
    if (numero)
        *numero = n;
    if (baud)
        *baud = m.captured(2).isEmpty() ? 0 : m.captured(2).toInt();
    return true;
}

QString VerifieRessourceGenerateur(const QString &ressource)
{
    const QString nom = ressource.trimmed();
    if (nom.isEmpty())
        return QStringLiteral("Aucun générateur indiqué : donner sa ressource (COMn, TCPIP0::hôte::port::SOCKET "
                              "ou USB0::…::INSTR)");
    TAdresseTCP a;
    if (EstRessourceSerie(nom) || LitAdresseTCP(nom, a) || nom.startsWith(QLatin1String("USB"), Qt::CaseInsensitive))
        return QString();
    return QStringLiteral("Ressource du générateur incorrecte : « %1 » (attendu COMn, "
                          "TCPIP0::hôte::port::SOCKET ou USB0::…::INSTR)").arg(nom);
}

std::unique_ptr<ITransportGenerateur> OuvreTransportGenerateur(const QString &ressource, int baud, QString &erreur)
{
    int numero = 0, baudNom = 0;
    if (EstRessourceSerie(ressource, &numero, &baudNom)) {
        auto t = std::make_unique<TTransportSerie>();
        QString pourquoi;
        const int vitesse = baud > 0 ? baud : (baudNom > 0 ? baudNom : BaudParDefaut);
        if (!t->ouvre(numero, vitesse, pourquoi)) {
            erreur = QStringLiteral("Impossible d'ouvrir le générateur sur %1 : %2").arg(ressource.trimmed(), pourquoi);
            return nullptr;
        }
        return t;
    }
    const QString nom = ressource.trimmed();
    erreur = VerifieRessourceGenerateur(nom);
    if (!erreur.isEmpty())
        return nullptr;
    TAdresseTCP a;
    const bool socket = LitAdresseTCP(nom, a);
    auto s = TRigolVisa::ouvreRessource(nom, 2000);
    if (!s) {
        erreur = socket ? QStringLiteral("Impossible de joindre le générateur %1 : connexion refusée ou sans réponse").arg(nom)
                        : QStringLiteral("Générateur %1 absent : aucun appareil USBTMC de ce nom").arg(nom);
        return nullptr;
    }
    return std::make_unique<TTransportVisa>(std::move(s));
}

// ---- Generator -------------------------------------------------------------------------------

TGenerateur::~TGenerateur() = default;

void TGenerateur::ferme()
{
    t_.reset();
}

bool TGenerateur::echec(QString &erreur, const QString &message)
{
    erreur = message;
    ferme();
    return false;
}

QString TGenerateur::silencieux(const QByteArray &commande) const
{
    return QStringLiteral("Le générateur %1 ne répond pas à « %2 » : vérifier qu'il est allumé, "
                          "son câble et le dialecte choisi (%3)")
        .arg(nom_, QString::fromLatin1(commande), NomDialecte(dialecte_));
}

QString TGenerateur::refuse(const QByteArray &commande, const QByteArray &reponse) const
{
    QString t = QStringLiteral("Le générateur %1 a refusé la commande « %2 »").arg(nom_, QString::fromLatin1(commande));
    if (!reponse.trimmed().isEmpty())
        t += QStringLiteral(" (réponse : %1)").arg(texteLigne(reponse));
    return t;
}

bool TGenerateur::question(const QByteArray &commande, QByteArray &reponse)
{
    reponse.clear();
    if (!t_ || !t_->ecrit(commande))
        return false;
    return t_->litLigne(delaiMs_, reponse);
}

bool TGenerateur::ouvre(const QString &ressource, const TReglageGenerateur &r, QString &erreur)
{
    ferme();
    int baudNom = 0;
    const bool serie = EstRessourceSerie(ressource, nullptr, &baudNom);
    const bool feeltech = r.dialecte == TDialecteGenerateur::FeelTech;
    auto t = OuvreTransportGenerateur(ressource, serie && feeltech && baudNom == 0 ? BaudFeelTech : 0, erreur);
    if (!t)
        return false;
    const QString nom = ressource.trimmed();
    if (ouvre(std::move(t), nom, r, erreur))
        return true;
    // A FeelTech does not answer "*IDN?" and speaks at 115200 baud: on a serial port a silent
    // generator is asked for its model that way (at the speed the name gives, if any).
    if (serie && r.dialecte == TDialecteGenerateur::Auto && identite_.isEmpty()) {
        QString e2;
        const int baud = baudNom > 0 ? baudNom : BaudFeelTech;
        auto t2 = OuvreTransportGenerateur(ressource, baud, e2);
        if (!t2)
            return false;
        TReglageGenerateur r2 = r;
        r2.dialecte = TDialecteGenerateur::FeelTech;
        if (ouvre(std::move(t2), nom, r2, e2))
            return true;
        dialecte_ = TDialecteGenerateur::Auto;
        erreur = identite_.isEmpty()
            ? QStringLiteral("Le générateur %1 ne répond ni à « *IDN? » ni, à %2 bauds, à « UMO » : "
                             "vérifier qu'il est allumé, son câble, sa vitesse, ou choisir son dialecte").arg(nom).arg(baud)
            : e2;
    }
    return false;
}

bool TGenerateur::ouvre(std::unique_ptr<ITransportGenerateur> t, const QString &nom, const TReglageGenerateur &r, QString &erreur)
{
    ferme();
    t_ = std::move(t);
    nom_ = nom;
    delaiMs_ = std::max(50, r.delaiMs);
    identite_.clear();
    frequence_ = 0;
    dialecte_ = r.dialecte;
    if (!identifie(r, erreur))
        return false;
    return configure(r, erreur);
}

bool TGenerateur::identifie(const TReglageGenerateur &r, QString &erreur)
{
    QByteArray rep;
    if (r.dialecte == TDialecteGenerateur::FeelTech) {
        if (!question("UMO", rep) || rep.trimmed().isEmpty())
            return echec(erreur, silencieux("UMO"));
        identite_ = rep.trimmed();
        controle_ = cAccuse;
        return true;
    }
    if (!question("*IDN?", rep) || rep.trimmed().isEmpty()) {
        if (r.dialecte == TDialecteGenerateur::Auto)
            return echec(erreur, QStringLiteral("Le générateur %1 ne répond pas à « *IDN? » : vérifier qu'il est "
                                                "allumé, son câble, sa vitesse, ou choisir son dialecte").arg(nom_));
        return echec(erreur, silencieux("*IDN?"));
    }
    identite_ = rep.trimmed();
    if (r.dialecte == TDialecteGenerateur::Auto)
        dialecte_ = DialecteIdentite(identite_);
    switch (dialecte_) {
    case TDialecteGenerateur::FeelTech:
        controle_ = cAccuse;
        break;
    case TDialecteGenerateur::Scpi:
        // A generic instrument: the frequency read back where it answers, else "*OPC?".
        if (question("FREQ?", rep) && std::isfinite(LitFrequence(dialecte_, rep)))
            controle_ = cRelecture;
        else if (question("*OPC?", rep) && rep.trimmed() == "1")
            controle_ = cOpc;
        else
            controle_ = cAucun;
        break;
    default:
        controle_ = cRelecture;
        break;
    }
    return true;
}

bool TGenerateur::commande(const QByteArray &c, QString &erreur)
{
    if (!t_)
        return false;
    if (controle_ == cAccuse) {
        QByteArray rep;
        if (!question(c, rep))
            return echec(erreur, t_ && t_->perdu() ? QStringLiteral("Liaison perdue avec le générateur %1").arg(nom_)
                                                   : silencieux(c));
        if (!rep.trimmed().isEmpty()) {
            erreur = refuse(c, rep);
            return false;
        }
        return true;
    }
    if (!t_->ecrit(c))
        return echec(erreur, QStringLiteral("Liaison perdue avec le générateur %1").arg(nom_));
    return true;
}

bool TGenerateur::configure(const TReglageGenerateur &r, QString &erreur)
{
    QList<QByteArray> cmds;
    const bool amplitude = std::isfinite(r.amplitude) && r.amplitude > 0;
    const QByteArray vpp = amplitude ? QByteArray::number(r.amplitude, 'f', 4) : QByteArray();
    switch (dialecte_) {
    case TDialecteGenerateur::RigolDG:
        if (r.sinus) cmds << ":SOUR1:FUNC SIN";
        if (amplitude) cmds << ":SOUR1:VOLT " + vpp;
        if (r.sortie) cmds << ":OUTP1 ON";
        break;
    case TDialecteGenerateur::SiglentSDG:
        if (r.sinus) cmds << "C1:BSWV WVTP,SINE";
        if (amplitude) cmds << "C1:BSWV AMP," + vpp;
        if (r.sortie) cmds << "C1:OUTP ON";
        break;
    case TDialecteGenerateur::FeelTech:
        if (r.sinus) cmds << "WMW00";
        if (amplitude) cmds << "WMA" + vpp;
        if (r.sortie) cmds << "WMN1";
        break;
    default:
        if (r.sinus) cmds << "FUNC SIN";
        if (amplitude) cmds << "VOLT " + vpp;
        if (r.sortie) cmds << "OUTP ON";
        break;
    }
    for (const QByteArray &c : std::as_const(cmds)) {
        if (!commande(c, erreur)) {
            ferme();
            return false;
        }
    }
    // The start settings are all taken before the first frequency: "*OPC?" where the
    // instrument has it, or the frequency read back.
    if (!cmds.isEmpty() && controle_ != cAccuse && controle_ != cAucun) {
        QByteArray rep;
        const QByteArray q = controle_ == cOpc ? QByteArray("*OPC?")
                           : dialecte_ == TDialecteGenerateur::RigolDG ? QByteArray(":SOUR1:FREQ?")
                           : dialecte_ == TDialecteGenerateur::SiglentSDG ? QByteArray("C1:BSWV?")
                                                                           : QByteArray("FREQ?");
        if (!question(q, rep))
            return echec(erreur, silencieux(q));
        if (controle_ == cRelecture)
            frequence_ = LitFrequence(dialecte_, rep);
    }
    return true;
}

bool TGenerateur::regleFrequence(double f, QString &erreur)
{
    if (!t_) {
        erreur = QStringLiteral("Le générateur %1 n'est pas ouvert").arg(nom_.isEmpty() ? QStringLiteral("?") : nom_);
        return false;
    }
    if (!std::isfinite(f) || f <= 0) {
        erreur = QStringLiteral("Fréquence incorrecte pour le générateur %1").arg(nom_);
        return false;
    }
    if (occupe_) {
        erreur = QStringLiteral("Échange déjà en cours avec le générateur %1 : commande refusée").arg(nom_);
        return false;
    }
    occupe_ = true;
    struct Libere { bool &b; ~Libere() { b = false; } } libere{occupe_};

    const QByteArray c = CommandeFrequence(dialecte_, f);
    if (!commande(c, erreur))
        return false;
    QByteArray rep;
    switch (controle_) {
    case cAccuse:
    case cAucun:
        break;
    case cOpc:
        if (!question("*OPC?", rep))
            return echec(erreur, silencieux("*OPC?"));
        break;
    case cRelecture: {
        const QByteArray q = dialecte_ == TDialecteGenerateur::RigolDG ? QByteArray(":SOUR1:FREQ?")
                           : dialecte_ == TDialecteGenerateur::SiglentSDG ? QByteArray("C1:BSWV?")
                                                                           : QByteArray("FREQ?");
        if (!question(q, rep))
            return echec(erreur, t_ && t_->perdu() ? QStringLiteral("Liaison perdue avec le générateur %1").arg(nom_)
                                                   : silencieux(q));
        const double lue = LitFrequence(dialecte_, rep);
        // The generator keeps its frequency to the microhertz; a read-back elsewhere means
        // the command was not taken (out of range, wrong syntax).
        if (!std::isfinite(lue) || std::fabs(lue - f) > std::max(1e-6, 1e-6 * f)) {
            erreur = refuse(c, rep);
            return false;
        }
        break;
    }
    }
    frequence_ = f;
    return true;
}
