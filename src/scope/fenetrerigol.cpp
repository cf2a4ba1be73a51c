#include "scope/fenetrerigol.h"

#include "drivers/rigol.h"
#include "export/formedde.h"
#include "export/sauvegarde.h"
#include "instrument/session.h"
#include "link/echange.h"
#include "link/registre.h"
#include "link/ticktimer.h"
#include "link/types.h"
#include "measure/unites.h"
#include "scope/zonecourbes.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace {

// The read shown in the window: message boxes and the "OK" boxes.
class TVueFenetreRigol : public IVueLectureRigol {
public:
    TVueFenetreRigol(QCheckBox *a, QCheckBox *b) : a_(a), b_(b) {}
    void message(const QString &texte) override { Inform(texte); }
    void voiesActives(bool actif1, bool actif2) override
    {
        if (a_)
            a_->setChecked(actif1);
        if (b_)
            b_->setChecked(actif2);
    }

private:
    QPointer<QCheckBox> a_, b_;
};

} // namespace

static QToolButton *bouton(QWidget *parent, const QString &texte, QStyle::StandardPixmap image)
{
    auto *b = new QToolButton(parent);
    b->setText(texte);
    b->setIcon(parent->style()->standardIcon(image));
    b->setIconSize(QSize(25, 25));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    return b;
}

TOscilloRigolForm::TOscilloRigolForm(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    filtres_ = {QStringLiteral("Korvalis (*.kvx)"), QStringLiteral("Tableur ASCII (*.txt)"),
                QStringLiteral("Tableur CSV (*.csv)")};

    auto *barre = new QHBoxLayout;
    LireBtn = bouton(this, QStringLiteral("Lire l'oscillo"), QStyle::SP_MediaPlay);
    StopBtn = bouton(this, QStringLiteral("Stop"), QStyle::SP_MediaStop);
    KorvalisBtn = bouton(this, QStringLiteral("Korvalis"), QStyle::SP_ArrowRight);
    SaveBtn = bouton(this, QStringLiteral("Enregistrer"), QStyle::SP_DialogSaveButton);
    KorvalisAddBtn = bouton(this, QStringLiteral("Nouvelle page"), QStyle::SP_FileDialogNewFolder);
    ExitBtn = bouton(this, QStringLiteral("Quitter"), QStyle::SP_DialogCloseButton);
    for (QToolButton *b : {LireBtn, StopBtn, KorvalisBtn, SaveBtn, KorvalisAddBtn, ExitBtn})
        barre->addWidget(b);
    barre->addStretch();
    KorvalisAddBtn->setEnabled(false);
    StopBtn->setEnabled(false);

    auto groupeVoie = [this](const QString &titre, QLineEdit *&nom, QLineEdit *&signif, QCheckBox *&actif) {
        auto *g = new QGroupBox(titre, this);
        auto *l = new QGridLayout(g);
        nom = new QLineEdit(g);
        signif = new QLineEdit(g);
        actif = new QCheckBox(QStringLiteral("OK"), g);
        actif->setEnabled(false);   // shows what the last read found; never read back
        l->addWidget(new QLabel(QStringLiteral("Nom"), g), 0, 0);
        l->addWidget(nom, 0, 1);
        l->addWidget(actif, 0, 2);
        l->addWidget(new QLabel(QStringLiteral("Signification"), g), 1, 0);
        l->addWidget(signif, 1, 1, 1, 2);
        nom->installEventFilter(this);
        signif->installEventFilter(this);
        return g;
    };
    auto *voies = new QHBoxLayout;
    voies->addWidget(groupeVoie(QStringLiteral("CH1"), EditNomA, EditCommA, activeA));
    voies->addWidget(groupeVoie(QStringLiteral("CH2"), EditNomB, EditCommB, activeB));

    auto *options = new QGroupBox(QStringLiteral("Options"), this);
    auto *lo = new QVBoxLayout(options);
    auto *nombre = new QGroupBox(QStringLiteral("Nombre de points"), options);
    auto *ln = new QHBoxLayout(nombre);   // five columns
    NbreRG = new QButtonGroup(this);
    for (int i = 0; i < 5; ++i) {
        auto *r = new QRadioButton(QString::number(NombresRigol[size_t(i)]), nombre);
        NbreRG->addButton(r, i);
        ln->addWidget(r);
    }
    lo->addWidget(nombre);
    connect(NbreRG, &QButtonGroup::idClicked, this, [this](int i) { NbrePoints = NombresRigol[size_t(qBound(0, i, 4))]; });

    PanelCommande = new QLabel(this);
    auto *principal = new QVBoxLayout(this);
    principal->addLayout(barre);
    principal->addLayout(voies);
    principal->addWidget(options);
    ZoneCourbes = new TZoneCourbes(this);
    principal->addWidget(ZoneCourbes, 1);
    principal->addWidget(PanelCommande);

    connect(LireBtn, &QToolButton::clicked, this, &TOscilloRigolForm::LireBtnClick);
    connect(KorvalisBtn, &QToolButton::clicked, this, &TOscilloRigolForm::KorvalisBtnClick);
    connect(KorvalisAddBtn, &QToolButton::clicked, this, &TOscilloRigolForm::KorvalisAddBtnClick);
    connect(SaveBtn, &QToolButton::clicked, this, &TOscilloRigolForm::SaveBtnClick);
    connect(ExitBtn, &QToolButton::clicked, this, &QWidget::close);

    demandeNom = [this](const QStringList &filtres, int &filtre) {
        QFileDialog d(this, QStringLiteral("Sauvegarde données"));
        d.setAcceptMode(QFileDialog::AcceptSave);
        d.setNameFilters(filtres);
        d.setDefaultSuffix(QString());   // the extension rule is ours
        if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
            return QString();
        filtre = int(filtres.indexOf(d.selectedNameFilter()));
        return d.selectedFiles().first();
    };

    // Creation
    if (TSessionInstrument *session = SessionInstrument())
        session->VoieSerie.TriggerLength = 1;
    auto s = OuvreRegistre();
    EditNomA->setText(s->value(QStringLiteral("V1/Nom"), QStringLiteral("VA")).toString());
    EditCommA->setText(s->value(QStringLiteral("V1/Signif"), QStringLiteral("Tension")).toString());
    EditNomB->setText(s->value(QStringLiteral("V2/Nom"), QStringLiteral("VB")).toString());
    EditCommB->setText(s->value(QStringLiteral("V2/Signif"), QStringLiteral("Tension")).toString());
    activeBoutons(true);

    // Sized by the font, the curves below the controls, within the screen.
    QSize taille = sizeHint().expandedTo(QSize(720, 600));
    if (QScreen *ecran = parent ? parent->screen() : QGuiApplication::primaryScreen())
        taille = taille.boundedTo(ecran->availableGeometry().size() - QSize(16, 40)).expandedTo(minimumSizeHint());
    resize(taille);
}

TOscilloRigolForm::~TOscilloRigolForm() = default;

std::vector<qint32> EchantillonsRigol(const TRigol &rigol, int voie, int n)
{
    n = std::clamp(n, 0, TRigol::NbreMaxOctets + 1);
    std::vector<qint32> v(size_t(n), 0);
    const double pas = std::fabs(rigol.getIncrement(voie));
    const double origine = rigol.getOrigine(voie);
    const quint8 *brut = rigol.donnees(voie);
    for (int i = 0; i < n; ++i) {
        // The instrument's code with its reference taken off, larger for a higher voltage
        // whichever way the maker counts; the raw byte when the scale is unknown.
        const double code = (rigol.getValeur(voie, i) - origine) / pas;
        v[size_t(i)] = std::isfinite(code) && pas > 0 ? qint32(std::lround(code)) : (brut ? brut[i] : 0);
    }
    return v;
}

void TOscilloRigolForm::afficheCourbes()
{
    const TRigol *rigol = pilote();
    if (!rigol) {
        ZoneCourbes->efface();
        return;
    }
    std::vector<qint32> v[3];
    for (int n = 1; n <= 2; ++n)
        if (rigol->getActive(n))
            v[n] = EchantillonsRigol(*rigol, n, NbrePointsLu);
    ZoneCourbes->montre(v[1].empty() ? nullptr : v[1].data(), v[2].empty() ? nullptr : v[2].data(), NbrePointsLu);
}

TRigol *TOscilloRigolForm::pilote() const
{
    const TSessionInstrument *session = SessionInstrument();
    return session ? session->rigol() : nullptr;
}

QString TOscilloRigolForm::identification() const
{
    const TSessionInstrument *session = SessionInstrument();
    return session ? session->IdentiteScope : QString();
}

void TOscilloRigolForm::activeBoutons(bool actif)
{
    LireBtn->setEnabled(actif);
    KorvalisBtn->setEnabled(actif && AcqFaite);
    StopBtn->setEnabled(false);
    SaveBtn->setEnabled(actif && AcqFaite);
    ExitBtn->setEnabled(true);
    PanelCommande->clear();
}

void TOscilloRigolForm::FormActivate()
{
    NbreRG->button(0)->setChecked(true);
    NbrePoints = NombresRigol[0];
    const QString ident = identification();
    setWindowTitle(QStringLiteral("Acquisition par ") + ident + QStringLiteral(" pour Korvalis"));
    activeBoutons(true);
}

bool TOscilloRigolForm::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return QWidget::event(e);
}

void TOscilloRigolForm::LireBtnClick()
{
    TRigol *rigol = pilote();
    if (!rigol || !LireBtn->isEnabled() || lecture_)
        return;
    lecture_ = true;
    fermerApresLecture_ = false;
    AcqFaite = false;
    activeBoutons(false);
    QPointer<TOscilloRigolForm> garde(this);
    TVueFenetreRigol vue(activeA, activeB);
    const TResultatLectureRigol r = LitRigol(*rigol, &vue);
    if (!garde)
        return;
    AcqAsauver = r.reussie();
    AcqFaite = true;
    NbrePointsLu = r.NbrePointsLu;
    afficheCourbes();
    lecture_ = false;
    activeBoutons(true);
    if (fermerApresLecture_) {
        fermerApresLecture_ = false;
        close();
    }
}

TEnregistrement TOscilloRigolForm::enregistrement() const
{
    if (!pilote())
        return {};
    return EnregistrementRigol(*pilote(), NbrePointsLu, EditNomA->text(), EditCommA->text(), EditNomB->text(),
                               EditCommB->text());
}

void TOscilloRigolForm::envoie(bool nouveauFichier)
{
    if (EditNomA->text().isEmpty())
        EditNomA->setText(QStringLiteral("VA"));
    if (EditNomB->text().isEmpty())
        EditNomB->setText(QStringLiteral("VB"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString ident = identification();
    const QString texte = TexteEnvoiRigol(enregistrement(), NbrePoints, nouveauFichier, ident);
    QApplication::restoreOverrideCursor();
    if (TSessionInstrument *session = SessionInstrument())
        session->lienKorvalis().Execute(OrdreOsc(nouveauFichier), texte);
    else
        Inform(QStringLiteral("Impossible de lancer Korvalis"));
    AcqAsauver = false;
    if (nouveauFichier)
        KorvalisAddBtn->setEnabled(true);
}

void TOscilloRigolForm::KorvalisBtnClick() { envoie(true); }
void TOscilloRigolForm::KorvalisAddBtnClick() { envoie(false); }

void TOscilloRigolForm::SaveBtnClick()
{
    int filtre = 0;
    const QString nom = demandeNom ? demandeNom(filtres_, filtre) : QString();
    if (nom.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const TEnregistrement e = enregistrement();
    const QString ident = identification();
    const bool ok = SauveTableauRigol(NomTableauRigol(nom, filtre), e, ident);
    QApplication::restoreOverrideCursor();
    if (ok)
        AcqAsauver = false;
}

bool TOscilloRigolForm::eventFilter(QObject *obj, QEvent *e)
{
    // The window sees the keys first: a space starts a read when one may be started.
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(e)->key() == Qt::Key_Space
        && static_cast<QKeyEvent *>(e)->modifiers() == Qt::NoModifier && LireBtn->isEnabled()) {
        LireBtnClick();
        return true;
    }
    return QWidget::eventFilter(obj, e);
}

void TOscilloRigolForm::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Space && LireBtn->isEnabled()) {
        LireBtnClick();
        return;
    }
    QWidget::keyPressEvent(e);
}

void TOscilloRigolForm::closeEvent(QCloseEvent *e)
{
    if (lecture_) {
        // Closing during a read: the window closes once the read has ended and the buffer
        // is whole, so that "Sauvegarde" offers a complete record.
        TSessionInstrument::demandeArret();
        fermerApresLecture_ = true;
        e->ignore();
        return;
    }
    if (AcqAsauver && Confirm(QStringLiteral("Sauvegarde"))) {
        // The save on closing writes the Korvalis data file (or the plain table).
        filtres_ = {QStringLiteral("Korvalis (*.kvx)"), QStringLiteral("Tableur ASCII (*.txt)")};
        int filtre = 0;
        const QString nom = demandeNom ? demandeNom(filtres_, filtre) : QString();
        if (!nom.isEmpty()) {
            const TEnregistrement en = enregistrement();
            const QString ident = identification();
            if (SauveKorvalisRigol(AvecExtension(nom, filtre == 1 ? QStringLiteral(".TXT") : QStringLiteral(".KVX")), en,
                                   NbrePoints, ident))
                AcqAsauver = false;
        }
    }
    if (TSessionInstrument *session = SessionInstrument()) {
        session->SetMode(mNone);
        if ((constructeur == oRigolUSB || constructeur == oRigolVisa || constructeur == oSiglent) && pilote()) {
            try {
                pilote()->unLock();
            } catch (const std::exception &) {
            }
        }
    }
    auto s = OuvreRegistre();
    s->setValue(QStringLiteral("V1/Nom"), EditNomA->text());
    s->setValue(QStringLiteral("V1/Signif"), EditCommA->text());
    s->setValue(QStringLiteral("V2/Nom"), EditNomB->text());
    s->setValue(QStringLiteral("V2/Signif"), EditCommB->text());
    s->sync();
    e->accept();   // hidden, kept for the next use
}
