#include "multimeter/balayagemult.h"

#include "link/types.h"
#include "link/parsenumber.h"
#include "measure/partage.h"
#include "measure/unites.h"

#include <algorithm>
#include <cmath>

// Forwards to the caller's view, keeps the first failure text of a cycle and holds back the
// continuous-update timer and the modal boxes.
class TPointBalayageMult::TVueCapture : public IVueMultimetre {
public:
    explicit TVueCapture(IVueMultimetre *v) : v_(v) {}
    void panneau(int n, const QString &t) override { note(t); if (v_) v_->panneau(n, t); }
    void labelVoie(int i, const QString &t) override { if (v_) v_->labelVoie(i, t); }
    void hintVoie(int i, const QString &t) override { if (v_) v_->hintVoie(i, t); }
    void titreVoie(int i, const QString &t) override { if (v_) v_->titreVoie(i, t); }
    void erreurLecture(bool vis, const QString &t) override { if (vis) note(t); if (v_) v_->erreurLecture(vis, t); }
    void erreurVisible(bool vis) override { if (v_) v_->erreurVisible(vis); }
    void actions(const TEtatActions &e) override { if (v_) v_->actions(e); }
    void minuterie(bool, int) override {}
    void mesureCoche(bool) override {}
    void repeint(bool i) override { if (v_) v_->repeint(i); }
    void dessine(const std::function<void()> &d) override { if (v_) v_->dessine(d); else d(); }
    void message(const QString &t) override { note(t); }
    void pompe() override { if (v_) v_->pompe(); else IVueMultimetre::pompe(); }
    void note(const QString &t) { if (erreur.isEmpty() && !t.isEmpty()) erreur = t; }
    QString erreur;

private:
    IVueMultimetre *v_;
};

TPointBalayageMult::TPointBalayageMult(TMultimetre &multimetre, IVueMultimetre *vue) : m_(multimetre), vue_(vue) {}

bool TPointBalayageMult::stable() const
{
    const Tgraphe &g = m_.Graphe;
    for (int j = 0; j <= std::clamp(g.DerniereVoie, 0, 4); ++j) {
        const Tvoie &v = g.voie[size_t(j)];
        if (std::isnan(v.valeurCourante) || std::isnan(v.oldValeur)
            || std::fabs(v.valeurCourante - v.oldValeur) > (v.maxi - v.mini) / 32)
            return false;
    }
    return true;
}

bool TPointBalayageMult::mesure(QString &erreur)
{
    mesuree_ = false;
    saturee_.fill(false);
    TVueCapture capture(vue_);
    m_.setVue(&capture);
    // Continuous update on while the cycles run: each reading is kept beside the one before
    // it and none is recorded by the cycle itself.
    const bool mesureCB = m_.MesureCB, acqAuto = m_.Graphe.acqAutoEnCours;
    struct Remet {
        TMultimetre &m; IVueMultimetre *v; bool mesureCB, acqAuto;
        ~Remet() { m.MesureCB = mesureCB; m.Graphe.acqAutoEnCours = acqAuto; m.setVue(v); m.MajActions(); }
    } remet{m_, vue_, mesureCB, acqAuto};
    m_.Graphe.acqAutoEnCours = false;
    for (int k = 0; k < CyclesMax; ++k) {
        m_.MesureCB = true;
        capture.erreur.clear();
        m_.LectureVoies();
        if (m_.Graphe.ErreurLectureGlb) {
            // A voltage that could not be read: the trace leaves the screen.
            for (int j = 0; j <= std::clamp(m_.Graphe.DerniereVoie, 0, 4); ++j) {
                const Tvoie &v = m_.Graphe.voie[size_t(j)];
                if (v.erreurLecture && v.Unite == QLatin1String("V") && v.NumVoie >= 1 && v.NumVoie <= 4)
                    saturee_[v.NumVoie] = true;
            }
            erreur = capture.erreur.isEmpty() ? QStringLiteral("Données incorrectes") : capture.erreur;
            return false;
        }
        if (k > 0 && stable()) {
            mesuree_ = true;
            return true;
        }
    }
    erreur = QStringLiteral("Données instables (cf Avg)");
    return false;
}

void TPointBalayageMult::enregistre()
{
    if (!mesuree_)
        return;
    const bool acqAuto = m_.Graphe.acqAutoEnCours;
    m_.Graphe.acqAutoEnCours = false;
    IVueMultimetre *v = vue_;
    auto dessin = [this] { m_.Graphe.EnregistrePointCourant(); };
    if (v)
        v->dessine(dessin);
    else
        dessin();
    m_.Graphe.acqAutoEnCours = acqAuto;
    m_.MajActions();
}

int TPointBalayageMult::voieEfficace(int entree) const
{
    const Tgraphe &g = m_.Graphe;
    for (int j = 0; j <= std::clamp(g.DerniereVoie, 0, 4); ++j) {
        const Tvoie &v = g.voie[size_t(j)];
        if (v.NumVoie == entree && v.Command == "VRMS")
            return j;
    }
    return -1;
}

bool TPointBalayageMult::voieEcran(int n, TVoieEcran &e)
{
    if (n < 1 || n > 4)
        return false;
    const int j = voieEfficace(n);
    const bool saturee = saturee_[size_t(n)];
    if (!saturee && (!mesuree_ || j < 0))
        return false;
    // The scale the cycle read: the 8 divisions' range, or one division's.
    double parDivision = NaN();
    switch (constructeur) {
    case oAgilent:
    case oHewlett: parDivision = calibreVoie[size_t(n)] / 8; break;
    case oRigol:
    case oRigolUSB:
    case oRigolVisa:
    case oSiglent: parDivision = calibreVoie[size_t(n)]; break;
    default: return false;
    }
    if (!std::isfinite(parDivision) || parDivision <= 0)
        return false;
    e.calibre = parDivision;
    e.saturee = saturee;
    e.crete = saturee ? NaN() : 2 * std::sqrt(2.0) * m_.Graphe.voie[size_t(j)].valeurCourante;
    return true;
}

double TPointBalayageMult::gain() const
{
    const int e1 = voieEfficace(1), e2 = voieEfficace(2);
    if (e1 < 0 || e2 < 0)
        return NaN();
    return m_.Graphe.voie[size_t(e2)].valeurCourante / m_.Graphe.voie[size_t(e1)].valeurCourante;
}

double TPointBalayageMult::phase() const
{
    const Tgraphe &g = m_.Graphe;
    for (int j = 0; j <= std::clamp(g.DerniereVoie, 0, 4); ++j)
        if (g.voie[size_t(j)].Unite == QStringLiteral("\u00B0"))
            return g.voie[size_t(j)].valeurCourante;
    return NaN();
}
