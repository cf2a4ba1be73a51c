#include "scope/lecturerigol.h"

#include "drivers/rigol.h"
#include "export/page.h"
#include "export/sauvegarde.h"
#include "link/echange.h"
#include "link/ticktimer.h"

#include <QFileInfo>

int TResultatLectureRigol::nbreLusValides() const
{
    if (voieEchouee == 0)
        return erreur.isEmpty() || nbreLus[1] > 0 || nbreLus[2] > 0 ? NbrePointsLu : 0;
    if (voieEchouee == 2 && actif[1])
        return nbreLus[1];
    return 0;
}

namespace {

// The read proper: fills r, throws on the first failure.
void litVoies(TRigol &rigol, IVueLectureRigol *vue, TResultatLectureRigol &r)
{
    bool xy = false;
    if (!rigol.dialecteSiglent()) {
        QByteArray rep;
        rigol.Query(":TIM:FORM?", rep);
        xy = rep.contains("XY");
        rigol.Query(":TIM:MODE?", rep);
        if (rep.contains("DEL"))
            throw EserieError(QStringLiteral("Acquisition impossible en mode delayed"));
        if (xy) {
            rigol.Ecrit(":TIM:FORM YT");
            rigol.waitOPC();
            if (vue)
                vue->message(QStringLiteral("Vérifier la non saturation des voies"));
        }
        rigol.getBaseDeTemps();
    }
    for (int v = 1; v <= 2; ++v) {
        r.voieEchouee = v;
        rigol.QueryWave(v);
        r.voieEchouee = 0;
        r.actif[v] = rigol.getActive(v);
        if (r.actif[v])
            r.nbreLus[v] = rigol.NbrePointsRigol;
        if (vue)
            vue->voiesActives(r.actif[1], r.actif[2]);
        DelayTicks(2, true);   // about 100 ms between the channels
    }
    if (xy) {
        rigol.Ecrit(":TIM:FORM XY");
        rigol.waitOPC();
    }
}

bool litEnCapturant(TRigol &rigol, IVueLectureRigol *vue, TResultatLectureRigol &r)
{
    try {
        litVoies(rigol, vue, r);
        return true;
    } catch (const EserieError &e) {
        r.erreur = e.texte;
    } catch (const std::exception &e) {
        r.erreur = QString::fromUtf8(e.what());
    }
    if (r.erreur.isEmpty())
        r.erreur = QStringLiteral("Lecture de l'oscilloscope impossible");
    return false;
}

// Shows nothing but keeps the channels, for LectureRigol.
class TVueAnnonce : public IVueLectureRigol {
public:
    explicit TVueAnnonce(const std::function<void(const QString &)> &annonce) : annonce_(annonce) {}
    void message(const QString &texte) override
    {
        if (annonce_)
            annonce_(texte);
    }
    void voiesActives(bool, bool) override {}

private:
    const std::function<void(const QString &)> &annonce_;
};

} // namespace

TResultatLectureRigol LitRigol(TRigol &rigol, IVueLectureRigol *vue)
{
    TResultatLectureRigol r;
    r.actif[1] = r.actif[2] = false;
    if (vue)
        vue->voiesActives(false, false);
    if (!litEnCapturant(rigol, vue, r) && vue)
        vue->message(r.erreur);
    if (vue)
        vue->voiesActives(r.actif[1], r.actif[2]);
    try {
        rigol.unLock();
    } catch (const std::exception &) {
        // The instrument may be gone; the read has said so already.
    }
    r.NbrePointsLu = rigol.NbrePointsRigol;
    return r;
}

QString LectureRigol(TRigol &rigol, const std::function<void(const QString &)> &annonce, bool &actif1, bool &actif2)
{
    TResultatLectureRigol r;
    r.actif[1] = r.actif[2] = false;
    TVueAnnonce vue(annonce);
    litEnCapturant(rigol, &vue, r);
    actif1 = r.actif[1];
    actif2 = r.actif[2];
    return r.erreur;
}

TEnregistrement EnregistrementRigol(const TRigol &rigol, int nbreLus, const QString &nom1, const QString &signif1,
                                    const QString &nom2, const QString &signif2, int sansVoie)
{
    TEnregistrement e;
    e.nbreLus = qBound(0, nbreLus, TRigol::NbreMaxOctets);
    const TRigol *r = &rigol;
    e.temps = [r](int i) { return r->getValeurStr(0, i); };
    for (int v = 1; v <= 2; ++v) {
        if (!rigol.getActive(v) || v == sansVoie)
            continue;
        TVoieEnregistree ve;
        ve.numero = v;
        ve.nom = v == 1 ? nom1 : nom2;
        ve.signif = v == 1 ? signif1 : signif2;
        ve.valeur = [r, v](int i) { return r->getValeurStr(v, i); };
        e.voies << ve;
    }
    return e;
}

QString TexteEnvoiRigol(const TEnregistrement &e, int nbrePoints, bool nouveauFichier, const QString &identification)
{
    return TexteTransfert(PageTransfertRigol(e, nbrePoints, nouveauFichier, identification), CheminProgramme());
}

QString NomTableauRigol(const QString &nom, int filtre)
{
    static const char *const ext[3] = {".KVX", ".TXT", ".CSV"};
    return AvecExtension(nom, QLatin1String(ext[qBound(0, filtre, 2)]));
}

bool SauveTableauRigol(const QString &nomFichier, const TEnregistrement &e, const QString &identification)
{
    // The tables hold every sample; the count of points plays no part in them.
    return SauveEnregistrement(nomFichier, TCheminSauvegarde::TableauRigol, e, 1, 0, e.nbreLus - 1, identification);
}

bool SauveKorvalisRigol(const QString &nomFichier, const TEnregistrement &e, int nbrePoints,
                        const QString &identification)
{
    return SauveEnregistrement(nomFichier, TCheminSauvegarde::KorvalisRigol, e, nbrePoints, 0, e.nbreLus - 1,
                               identification);
}

QString SauveFichierRigol(const QString &nomFichier, const TEnregistrement &e, int nbrePoints,
                          const QString &identification)
{
    const QString nom = AvecExtension(nomFichier, QStringLiteral(".KVX"));
    const bool kvx = QFileInfo(nom).suffix().compare(QLatin1String("KVX"), Qt::CaseInsensitive) == 0;
    const bool ok = kvx ? SauveKorvalisRigol(nom, e, nbrePoints, identification)
                        : SauveTableauRigol(nom, e, identification);
    return ok ? nom : QString();
}
