#include "bode/balayagebode.h"

#include "bode/graphebode.h"

#include <algorithm>
#include <cmath>

// Forwards to the caller's view and keeps the last failure text.
class TPointBalayageBode::TVueCapture : public IVueBode {
public:
    explicit TVueCapture(IVueBode *v) : v_(v) {}
    void afficheErreur(const QString &t) override { erreur = t; if (v_) v_->afficheErreur(t); }
    void effaceErreur() override { if (v_) v_->effaceErreur(); }
    void majBoutons() override { if (v_) v_->majBoutons(); }
    void stopActif(bool a) override { if (v_) v_->stopActif(a); }
    void arreteContinu() override { if (v_) v_->arreteContinu(); }
    // The sweep reports the reason in its status: no modal box in the middle of it.
    void message(const QString &t) override { erreur = t; }
    void curseurAttente(bool a) override { if (v_) v_->curseurAttente(a); }
    void resultats() override { if (v_) v_->resultats(); }
    void pompe() override { if (v_) v_->pompe(); else IVueBode::pompe(); }
    QString erreur;

private:
    IVueBode *v_;
};

TPointBalayageBode::TPointBalayageBode(TMesureBode &mesure, Tgraphe &graphe, int ref, IVueBode *vue)
    : voieRef(ref == 2 ? 2 : 1), mesure_(mesure), graphe_(graphe), vue_(vue)
{
}

bool TPointBalayageBode::mesure(QString &erreur)
{
    TVueCapture capture(vue_);
    mesure_.setVue(&capture);
    struct Remet { TMesureBode &m; IVueBode *v; ~Remet() { m.setVue(v); } } remet{mesure_, vue_};
    GrapheVersCalcul(graphe_, mesure_.calcul);
    mesuree_ = mesure_.Mesure(voieRef);
    if (!mesuree_) {
        erreur = capture.erreur.isEmpty() ? QStringLiteral("Mesure du gain et de la phase impossible") : capture.erreur;
        return false;
    }
    ResultatsVersGraphe(mesure_.calcul, graphe_);
    return true;
}

void TPointBalayageBode::enregistre()
{
    if (mesuree_)
        EnregistrePointBode(graphe_);
}

bool TPointBalayageBode::voieEcran(int n, TVoieEcran &e)
{
    if (!mesuree_ || (n != 1 && n != 2))
        return false;
    const TvoieOscBode &v = mesure_.calcul.VoieOsc[size_t(n)];
    if (!std::isfinite(v.increment) || v.increment <= 0)
        return false;
    const auto debut = v.Valeur.begin() + 1, fin = debut + NbreEchantillonsBode;
    const auto [mini, maxi] = std::minmax_element(debut, fin);
    e.calibre = v.increment * 65536.0 / 8.0;
    e.crete = double(*maxi - *mini) * v.increment;
    // A trace at the edge of the 16-bit range has left the screen.
    e.saturee = *maxi >= 32767 || *mini <= -32768;
    return true;
}

double TPointBalayageBode::gain() const { return graphe_.voie[VoieGain].valeurCourante; }
double TPointBalayageBode::phase() const { return graphe_.voie[VoiePhase].valeurCourante; }
