#include "generator/balayagefenetre.h"

#include "generator/balayagedlg.h"
#include "generator/generateur.h"
#include "measure/unites.h"

#include <QProgressBar>
#include <QWidget>

TBalayageFenetre::TBalayageFenetre(QWidget *fenetre) : QObject(fenetre), fenetre_(fenetre)
{
    barre_ = new QProgressBar(fenetre);
    barre_->setObjectName(QStringLiteral("BalayageBarre"));
    barre_->setTextVisible(true);
    barre_->setAlignment(Qt::AlignCenter);
    barre_->setMinimumWidth(barre_->fontMetrics().horizontalAdvance(QStringLiteral("point 888 / 888 à 88,88 kHz")) + 24);
    barre_->hide();
}

TBalayageFenetre::~TBalayageFenetre() = default;

bool TBalayageFenetre::demande(TReglagesBalayage &r, const std::function<int(TBalayageDlg &)> &montre)
{
    TBalayageDlg d(LitReglagesBalayage(), fenetre_);
    const int res = montre ? montre(d) : d.exec();
    if (res != QDialog::Accepted)
        return false;
    r = d.reglages();
    EcritReglagesBalayage(r);
    return true;
}

TResultatBalayage TBalayageFenetre::execute(const TReglagesBalayage &r, Tconstructeur c, TEchange *echange, TRigol *rigol,
                                            IPointBalayage &point)
{
    TResultatBalayage res;
    if (enCours_) {
        res.erreur = QStringLiteral("Un balayage est déjà en cours");
        return res;
    }
    enCours_ = true;
    arretAvant_ = false;
    struct Fin {
        TBalayageFenetre &b;
        ~Fin()
        {
            b.balayage_ = nullptr;
            b.enCours_ = false;
            b.barre_->hide();
            if (b.etatChange)
                b.etatChange(false);
        }
    } fin{*this};
    if (etatChange)
        etatChange(true);

    etat(QStringLiteral("Ouverture du générateur %1…").arg(r.ressource));
    TGenerateur generateur;
    QString e;
    if (!generateur.ouvre(r.ressource, r.reglageGenerateur(), e)) {
        res.erreur = e;
        etat(e);
        Inform(e);
        return res;
    }
    if (arretAvant_) {
        res.arrete = true;
        etat(QStringLiteral("Balayage arrêté (0 point enregistré)"));
        return res;
    }
    etat(QStringLiteral("Générateur %1 sur %2").arg(NomDialecte(generateur.dialecte()), generateur.ressource()));
    TGenerateurBalayage g(generateur);
    TOscilloBalayage oscillo(c, echange, rigol);
    Balayage b(g, oscillo, point, this);
    balayage_ = &b;
    res = b.execute(r.parametres);
    balayage_ = nullptr;
    generateur.ferme();
    if (!res.erreur.isEmpty())
        Inform(QStringLiteral("Balayage interrompu : %1").arg(res.erreur));
    return res;
}

void TBalayageFenetre::arrete()
{
    if (balayage_)
        balayage_->arrete();
    else if (enCours_)
        arretAvant_ = true;
}

void TBalayageFenetre::progression(int k, int n, double f)
{
    barre_->setRange(0, n);
    barre_->setValue(k - 1);
    barre_->setFormat(QStringLiteral("point %1 / %2 à %3").arg(k).arg(n).arg(FormatPrefixed(f, QStringLiteral("Hz"))));
    barre_->show();
}

void TBalayageFenetre::point(int k, double, double, double)
{
    barre_->setValue(k);
    if (pointEnregistre)
        pointEnregistre();
}

void TBalayageFenetre::etat(const QString &texte)
{
    if (texteEtat)
        texteEtat(texte);
}

void TBalayageFenetre::pompe()
{
    if (pompeFenetre)
        pompeFenetre();
    else
        IVueBalayage::pompe();
}
