#include "drivers/visa.h"

#include "drivers/nomvisa.h"
#include "drivers/usbtmc.h"
#include "link/registre.h"
#include "link/ticktimer.h"

#include <QCoreApplication>
#include <QTcpSocket>

#include <algorithm>

namespace {

constexpr int LectureMax = 1024;

void pompe()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// ---- USB session -----------------------------------------------------------------------

class TSessionUSB : public TSessionVisa {
public:
    bool ouvre(const QString &chemin) { return dev_.ouvre(chemin); }
    bool ecrit(const QByteArray &texte, int delaiMs) override { return dev_.ecrit(texte, delaiMs); }
    QByteArray lit(int max, int delaiMs, bool, bool *fin) override
    {
        QByteArray r(std::max(max, 1), '\0');
        const int n = dev_.lit(r.data(), int(r.size()), delaiMs, fin);
        r.truncate(std::max(n, 0));
        return r;
    }
    void efface() override { dev_.efface(); }
    bool attendDonnees(int) override { return false; }
    bool finDeMessageConnue() const override { return true; }
    bool perdue() const override { return dev_.perdu(); }

private:
    TUsbtmc dev_;
};

// ---- Socket session --------------------------------------------------------------------

class TSessionTCP : public TSessionVisa {
public:
    bool ouvre(const QString &hote, quint16 port, int delaiMs)
    {
        s_.connectToHost(hote, port);
        const qint64 echeance = TickClock::msecs() + delaiMs;
        while (s_.state() != QAbstractSocket::ConnectedState) {
            if (s_.state() == QAbstractSocket::UnconnectedState || TickClock::msecs() >= echeance) {
                s_.abort();
                return false;
            }
            s_.waitForConnected(20);
            pompe();
        }
        s_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return true;
    }

    bool ecrit(const QByteArray &texte, int delaiMs) override
    {
        if (s_.state() != QAbstractSocket::ConnectedState)
            return false;
        s_.readAll();   // the rest of an earlier reply must not pass for the next one
        QByteArray ligne = texte;
        if (!ligne.endsWith('\n'))
            ligne += '\n';
        if (s_.write(ligne) != ligne.size())
            return false;
        const qint64 echeance = TickClock::msecs() + delaiMs;
        while (s_.bytesToWrite() > 0) {
            if (s_.state() != QAbstractSocket::ConnectedState || TickClock::msecs() >= echeance)
                return false;
            s_.waitForBytesWritten(20);
        }
        return true;
    }

    QByteArray lit(int max, int delaiMs, bool texte, bool *fin) override
    {
        if (fin)
            *fin = false;
        QByteArray r;
        if (max <= 0)
            return r;
        const qint64 echeance = TickClock::msecs() + delaiMs;
        for (;;) {
            const qint64 dispo = s_.bytesAvailable();
            if (dispo > 0) {
                const qint64 voulu = std::min<qint64>(dispo, max - r.size());
                if (texte) {
                    const QByteArray vu = s_.peek(voulu);
                    const qsizetype lf = vu.indexOf('\n');
                    r += s_.read(lf >= 0 ? lf + 1 : voulu);
                    if (lf >= 0 || r.size() >= max)
                        return r;
                } else {
                    r += s_.read(voulu);
                    return r;
                }
            }
            if (s_.state() != QAbstractSocket::ConnectedState && s_.bytesAvailable() == 0)
                return r;   // dropped by the instrument: what came is all there is
            const qint64 reste = echeance - TickClock::msecs();
            if (reste <= 0)
                return r;
            if (!s_.waitForReadyRead(int(std::min<qint64>(reste, 20))))
                pompe();
        }
    }

    void efface() override { s_.readAll(); }

    bool attendDonnees(int ms) override
    {
        const qint64 echeance = TickClock::msecs() + ms;
        while (s_.bytesAvailable() == 0 && s_.state() == QAbstractSocket::ConnectedState) {
            const qint64 reste = echeance - TickClock::msecs();
            if (reste <= 0)
                return false;
            if (!s_.waitForReadyRead(int(std::min<qint64>(reste, 20))))
                pompe();
        }
        return s_.bytesAvailable() > 0;
    }

    bool finDeMessageConnue() const override { return false; }
    // The bytes that came before the far end closed are still read first.
    bool perdue() const override
    {
        return s_.state() != QAbstractSocket::ConnectedState && s_.bytesAvailable() == 0;
    }

private:
    QTcpSocket s_;
};

} // namespace

// A call made from an event handled while another call of the session waits is refused.
class TGardeVisa {
public:
    explicit TGardeVisa(TRigolVisa &v) : v_(v), libre_(!v.occupe_) { if (libre_) v_.occupe_ = true; }
    ~TGardeVisa() { if (libre_) v_.occupe_ = false; }
    bool libre() const { return libre_; }
private:
    TRigolVisa &v_;
    bool libre_;
};

// ---- Resource manager ------------------------------------------------------------------

bool TRigolVisa::correspond(const QString &nom, const QString &expression)
{
    return CorrespondVisa(nom, expression);
}

QStringList TRigolVisa::ressourcesReseau()
{
    QStringList liste;
    auto reg = OuvreRegistre();
    const QVariant v = reg->value(QStringLiteral("Visa/Ressources"));
    // An INI value with commas reads back as a list: join it again.
    AjouteRessources(v.typeId() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(',')) : v.toString(), liste);
    AjouteRessources(qEnvironmentVariable("ONDIVAR_VISA"), liste);
    return liste;
}

QStringList TRigolVisa::chercheRessources(const QString &expression)
{
    QStringList toutes;
    for (const TInfoUSBTMC &i : ListeUSBTMC())
        toutes << i.nomVisa();
    toutes << ressourcesReseau();
    QStringList trouvees;
    for (const QString &n : std::as_const(toutes))
        if (correspond(n, expression) && !trouvees.contains(n, Qt::CaseInsensitive))
            trouvees << n;
    return trouvees;
}

std::unique_ptr<TSessionVisa> TRigolVisa::ouvreRessource(const QString &nom, int delaiMs)
{
    TAdresseTCP a;
    if (LitAdresseTCP(nom, a)) {
        auto s = std::make_unique<TSessionTCP>();
        if (s->ouvre(a.hote, a.port, delaiMs))
            return s;
        return nullptr;
    }
    for (const TInfoUSBTMC &i : ListeUSBTMC()) {
        if (i.nomVisa().compare(nom, Qt::CaseInsensitive) == 0) {
            auto s = std::make_unique<TSessionUSB>();
            if (s->ouvre(i.chemin))
                return s;
            return nullptr;
        }
    }
    return nullptr;
}

bool TRigolVisa::estSiglent(const QByteArray &ident)
{
    return ident.toUpper().contains("SIGLENT");
}

// ---- Session ---------------------------------------------------------------------------

TRigolVisa::~TRigolVisa()
{
    sess.reset();
    FVisa_open = false;
}

void TRigolVisa::setOpen(bool ouvrir)
{
    TGardeVisa garde(*this);
    if (!garde.libre())
        return;
    if (ouvrir && !FVisa_open)
        ouvre();
    else if (!ouvrir && FVisa_open)
        ferme();
}

QByteArray TRigolVisa::question(const QByteArray &commande)
{
    QByteArray r;
    if (FVisa_open && sess && sess->ecrit(commande, delai_))
        r = sess->lit(LectureMax, delai_, true, nullptr);
    if (!r.isEmpty() && r.endsWith('\n'))
        r.chop(1);
    return r;
}

void TRigolVisa::constate()
{
    if (FVisa_open && sess && sess->perdue()) {
        perdue_ = true;
        ferme();
    }
}

QString TRigolVisa::messageLiaisonPerdue() const
{
    return QStringLiteral("Liaison perdue avec l'oscilloscope (%1) : la session est fermée. "
                          "Vérifier le câble ou le réseau et l'oscilloscope, puis appuyer sur « Test »")
        .arg(ressource_);
}

void TRigolVisa::ouvre()
{
    FVisa_open = false;
    perdue_ = false;
    FnomVisaCom.clear();
    FnomVisaCom << chercheRessources(QStringLiteral("USB?*"));
    for (const QString &n : chercheRessources(QStringLiteral("TCPIP?*")))
        if (!FnomVisaCom.contains(n, Qt::CaseInsensitive))
            FnomVisaCom << n;
    if (FnomVisaCom.isEmpty())
        return;
    ressource_ = FnomVisaCom.first();
    sess = ouvreRessource(ressource_, delai_);
    if (!sess)
        return;
    FVisa_open = true;
    sess->efface();
    const QByteArray ident = question("*IDN?");
    if (ident.isEmpty()) {
        // Something takes the connection but does not answer "*IDN?": no instrument there.
        ferme();
        return;
    }
    buf = ident;
    identificateur = ident;
    // A Siglent's header setting is left alone: its replies are read past the header.
    isSIGLENT = estSiglent(ident);
}

void TRigolVisa::ferme()
{
    sess.reset();
    FVisa_open = false;
}

bool TRigolVisa::send(const QByteArray &texte)
{
    TGardeVisa garde(*this);
    if (!garde.libre() || !FVisa_open || !sess)
        return false;
    const bool ok = sess->ecrit(texte, delai_);
    constate();
    return ok;
}

int TRigolVisa::get_response(QByteArray &reponse)
{
    reponse.clear();
    TGardeVisa garde(*this);
    if (!garde.libre() || !FVisa_open || !sess)
        return 0;
    reponse = sess->lit(LectureMax, delai_, true, nullptr);
    constate();
    return int(reponse.size());
}

void TRigolVisa::getString(const QByteArray &commande, QByteArray &reponse)
{
    TGardeVisa garde(*this);
    buf = garde.libre() ? question(commande) : QByteArray();
    if (garde.libre())
        constate();
    reponse = buf;
}

int TRigolVisa::get_WavData(QByteArray &donnees, int attenteMs, bool *fin)
{
    donnees.clear();
    if (fin)
        *fin = false;
    TGardeVisa garde(*this);
    if (!garde.libre() || !sess)
        return 0;
    donnees = sess->lit(LectureMax, attenteMs < 0 ? delai_ : attenteMs, false, fin);
    constate();
    return int(donnees.size());
}

bool TRigolVisa::attendDonnees(int ms)
{
    TGardeVisa garde(*this);
    if (!garde.libre() || !sess)
        return false;
    const bool ok = sess->attendDonnees(ms);
    constate();
    return ok;
}

bool TRigolVisa::finDeMessageConnue() const { return sess && sess->finDeMessageConnue(); }
