#include "scope/fenetreoscillo.h"

#include "export/formedde.h"
#include "instrument/session.h"
#include "link/dossiers.h"
#include "link/echange.h"
#include "link/registre.h"
#include "measure/unites.h"
#include "export/groupechoix.h"
#include "scope/zonecourbes.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The hourglass while a page is built and written or sent.
struct TCurseurAttente {
    TCurseurAttente() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TCurseurAttente() { QApplication::restoreOverrideCursor(); }
};

QToolButton *bouton(QWidget *parent, const char *nom, const QString &texte, QStyle::StandardPixmap image,
                    const QString &aide = QString())
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(nom));
    b->setText(texte);
    b->setIcon(parent->style()->standardIcon(image));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setMinimumWidth(96);
    b->setFocusPolicy(Qt::NoFocus);
    if (!aide.isEmpty()) {
        b->setToolTip(aide);
        b->setStatusTip(aide);
    }
    return b;
}

QLineEdit *edit(QWidget *parent, const char *nom)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(nom));
    return e;
}

} // namespace

TOscilloForm::TOscilloForm(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("OscilloForm"));
    acq_ = std::make_unique<TAcquisitionOsc>(session().echange, this);

    auto *racine = new QVBoxLayout(this);
    auto *barre = new QHBoxLayout;
    LireBtn = bouton(this, "LireBtn", QStringLiteral("Lire l'oscillo"), QStyle::SP_MediaPlay);
    StopBtn = bouton(this, "StopBtn", QStringLiteral("Stop"), QStyle::SP_MediaStop);
    KorvalisBtn = bouton(this, "KorvalisBtn", QStringLiteral("Korvalis"), QStyle::SP_ArrowRight);
    SaveBtn = bouton(this, "SaveBtn", QStringLiteral("Enregistrer"), QStyle::SP_DialogSaveButton);
    KorvalisAddBtn = bouton(this, "KorvalisAddBtn", QStringLiteral("Ajouter page"), QStyle::SP_FileDialogNewFolder,
                            QStringLiteral("Envoyer à Korvalis dans une nouvelle page"));
    ExitBtn = bouton(this, "ExitBtn", QStringLiteral("Quitter"), QStyle::SP_DialogCloseButton);
    for (QToolButton *b : {LireBtn, StopBtn, KorvalisBtn, SaveBtn, KorvalisAddBtn, ExitBtn})
        barre->addWidget(b);
    barre->addStretch();
    racine->addLayout(barre);
    // The controls on the left, the curves of the last read on the right.
    auto *corps = new QHBoxLayout;
    auto *gaucheCorps = new QVBoxLayout;
    corps->addLayout(gaucheCorps);
    racine->addLayout(corps, 1);

    auto groupeVoie = [this](const QString &titre, QLineEdit *&nom, const char *nNom, QLineEdit *&comm,
                             const char *nComm, QProgressBar *&jauge, const char *nJauge) {
        auto *g = new QGroupBox(titre, this);
        auto *l = new QGridLayout(g);
        nom = edit(g, nNom);
        comm = edit(g, nComm);
        jauge = new QProgressBar(g);
        jauge->setObjectName(QLatin1String(nJauge));
        jauge->setTextVisible(false);
        l->addWidget(new QLabel(QStringLiteral("Nom"), g), 0, 0);
        l->addWidget(nom, 0, 1);
        l->addWidget(new QLabel(QStringLiteral("Signification"), g), 1, 0);
        l->addWidget(comm, 1, 1);
        l->addWidget(jauge, 2, 0, 1, 2);
        return g;
    };
    auto *voies = new QHBoxLayout;
    voies->addWidget(groupeVoie(QStringLiteral("CH1"), EditNomA, "EditNomA", EditCommA, "EditCommA", GaugeA, "GaugeA"));
    voies->addWidget(groupeVoie(QStringLiteral("CH2"), EditNomB, "EditNomB", EditCommB, "EditCommB", gaugeB, "gaugeB"));
    gaucheCorps->addLayout(voies);

    auto *bas = new QHBoxLayout;
    auto *gComm = new QGroupBox(QStringLiteral("Commentaire général"), this);
    auto *lComm = new QVBoxLayout(gComm);
    EditComm = edit(gComm, "EditComm");
    lComm->addWidget(EditComm);
    bas->addWidget(gComm, 2);
    auto *gParam = new QGroupBox(QStringLiteral("Paramètre"), this);
    auto *lParam = new QGridLayout(gParam);
    QFont korvalis(QStringLiteral("Korvalis"));
    korvalis.setPixelSize(15);
    NomConstEdit = edit(gParam, "NomConstEdit");
    UniteConstEdit = edit(gParam, "UniteConstEdit");
    ValeurConstEdit = edit(gParam, "ValeurConstEdit");
    const QString libelles[3] = {QStringLiteral("Nom"), QStringLiteral("Unité"), QStringLiteral("Valeur")};
    QLineEdit *const params[3] = {NomConstEdit, UniteConstEdit, ValeurConstEdit};
    for (int i = 0; i < 3; ++i) {
        params[i]->setFont(korvalis);
        lParam->addWidget(new QLabel(libelles[i], gParam), 0, i);
        lParam->addWidget(params[i], 1, i);
    }
    bas->addWidget(gParam, 3);
    gaucheCorps->addLayout(bas);

    auto *gOptions = new QGroupBox(QStringLiteral("Options"), this);
    auto *lOptions = new QVBoxLayout(gOptions);
    XYrg = new TGroupeChoix(QStringLiteral("Enregistrement"), 1, gOptions);
    XYrg->setObjectName(QStringLiteral("XYrg"));
    XYrg->setItems({QStringLiteral("Totalité"), QStringLiteral("Une période (pour récupération d'un cycle d'hystérèsis)"),
                    QStringLiteral("Une demi-période (pour récupération d'une caractéristique)")});
    XYrg->setItemIndex(0);
    NbreRG = new TGroupeChoix(QStringLiteral("Nombre de points"), 4, gOptions);
    NbreRG->setObjectName(QStringLiteral("NbreRG"));
    QStringList nombres;
    for (int n : acq_->Nombre)
        nombres << QString::number(n);
    NbreRG->setItems(nombres);
    NbreRG->setItemIndex(2);
    OptionLectureRG = new TGroupeChoix(QStringLiteral("Mode de lecture"), 1, gOptions);
    OptionLectureRG->setObjectName(QStringLiteral("OptionLectureRG"));
    OptionLectureRG->setItems(
        {QStringLiteral("Lire directement (obligatoire si mode SINGLE ou base de temps >5 ms/div)"),
         QStringLiteral("Faire une acquisition, figer l'écran puis lire (utile si signaux instables)")});
    lOptions->addWidget(XYrg);
    lOptions->addWidget(NbreRG);
    lOptions->addWidget(OptionLectureRG);
    gaucheCorps->addWidget(gOptions);
    gaucheCorps->addStretch();

    ZoneCourbes = new TZoneCourbes(this);
    corps->addWidget(ZoneCourbes, 1);

    PanelCommande = new QLabel(this);
    PanelCommande->setObjectName(QStringLiteral("PanelCommande"));
    PanelCommande->setFrameShape(QFrame::StyledPanel);
    PanelCommande->setMinimumHeight(20);
    racine->addWidget(PanelCommande);

    connect(LireBtn, &QToolButton::clicked, this, &TOscilloForm::EnregistreActionExecute);
    connect(StopBtn, &QToolButton::clicked, this, &TOscilloForm::StopActionExecute);
    connect(KorvalisBtn, &QToolButton::clicked, this, &TOscilloForm::KorvalisActionExecute);
    connect(KorvalisAddBtn, &QToolButton::clicked, this, &TOscilloForm::KorvalisAddBtnClick);
    connect(SaveBtn, &QToolButton::clicked, this, &TOscilloForm::SaveBtnClick);
    connect(ExitBtn, &QToolButton::clicked, this, &TOscilloForm::ExitItemClick);
    connect(NbreRG, &TGroupeChoix::clicked, this, &TOscilloForm::NbreRGClick);
    // The markers follow the option at once, whoever changes it.
    for (int i = 0; i < XYrg->count(); ++i)
        connect(XYrg->bouton(i), &QRadioButton::toggled, this, [this](bool coche) {
            if (coche)
                marqueSelection();
        });

    // FormCreate
    acq_->AcqFaite = false;
    acq_->AcqAsauver = false;
    NbrePoints = 1000;
    acq_->NbrePoints = NbrePoints;
    litRegistre();
    KorvalisAddBtn->setEnabled(false);
    boutonsRepos(false);

    // Key preview: the window sees the keys before the control that has the focus.
    qApp->installEventFilter(this);

    // Sized by the font: every control at its natural size, the curves taking the rest,
    // within the screen.
    QSize taille = sizeHint().expandedTo(QSize(1040, 0));
    if (QScreen *ecran = parent ? parent->screen() : QGuiApplication::primaryScreen())
        taille = taille.boundedTo(ecran->availableGeometry().size() - QSize(16, 40)).expandedTo(minimumSizeHint());
    resize(taille);

    if (parent) {
        const QRect r = parent->window()->frameGeometry();
        move(r.center() - rect().center());
    }
}

TOscilloForm::~TOscilloForm()
{
    qApp->removeEventFilter(this);
    if (lecture_)
        TSessionInstrument::demandeArret();
    acq_->setVue(nullptr);
}

TSessionInstrument &TOscilloForm::session()
{
    if (TSessionInstrument *s = SessionInstrument())
        return *s;
    if (!sessionPropre_)
        sessionPropre_ = std::make_unique<TSessionInstrument>();
    return *sessionPropre_;
}

QString TOscilloForm::identification() { return session().IdentiteScope; }

int TOscilloForm::XYrg_index() const { return std::max(XYrg->itemIndex(), 0); }

void TOscilloForm::litRegistre()
{
    QString nomA = QStringLiteral("VA"), signifA = QStringLiteral("Tension");
    QString nomB = QStringLiteral("VB"), signifB = QStringLiteral("Tension");
    int lecture = 0;
    try {
        auto s = OuvreRegistre();
        nomA = s->value(QStringLiteral("V1/Nom"), nomA).toString();
        signifA = s->value(QStringLiteral("V1/Signif"), signifA).toString();
        nomB = s->value(QStringLiteral("V2/Nom"), nomB).toString();
        signifB = s->value(QStringLiteral("V2/Signif"), signifB).toString();
        lecture = LitEntier(*s, QStringLiteral("Oscillo"), QStringLiteral("Lecture"), 0);
    } catch (...) {
        // the defaults stay
    }
    EditNomA->setText(nomA);
    EditCommA->setText(signifA);
    EditNomB->setText(nomB);
    EditCommB->setText(signifB);
    OptionLectureRG->setItemIndex(lecture == 1 ? 1 : 0);
}

void TOscilloForm::ecritRegistre()
{
    try {
        auto s = OuvreRegistre();
        s->setValue(QStringLiteral("V1/Nom"), EditNomA->text());
        s->setValue(QStringLiteral("V1/Signif"), EditCommA->text());
        s->setValue(QStringLiteral("V2/Nom"), EditNomB->text());
        s->setValue(QStringLiteral("V2/Signif"), EditCommB->text());
        EcritEntier(*s, QStringLiteral("Oscillo"), QStringLiteral("Lecture"), std::max(OptionLectureRG->itemIndex(), 0));
        s->sync();
    } catch (...) {
        // ignored
    }
}

void TOscilloForm::FormActivate()
{
    // Coming back to the window while a read runs must not give the read button back.
    if (lecture_)
        return;
    acq_->choisitNombres();
    const TChoixPoints c = ChoixPoints(constructeur, modeleGDS);
    for (int i = 0; i < 4; ++i)
        NbreRG->setItemText(i, QString::number(acq_->Nombre[size_t(i)]));
    NbreRG->setItemIndex(c.item);
    OptionLectureRG->setVisible(constructeur == oAgilent || constructeur == oHewlett);
    NbreRGClick();
    setWindowTitle(QStringLiteral("Acquisition par ") + identification() + QStringLiteral(" pour Korvalis"));
    GaugeA->setMaximum(std::max(NbrePoints, 1));
    gaugeB->setMaximum(std::max(NbrePoints, 1));
    boutonsRepos(acq_->AcqFaite);
}

void TOscilloForm::NbreRGClick()
{
    const int i = std::clamp(NbreRG->itemIndex(), 0, 3);
    NbrePoints = acq_->Nombre[size_t(i)];
    acq_->NbrePoints = NbrePoints;
}

void TOscilloForm::EnregistreActionExecute()
{
    if (lecture_)
        return;
    lecture_ = true;
    fermerApresLecture_ = false;
    acq_->NbrePoints = NbrePoints;
    acq_->OptionLecture = std::max(OptionLectureRG->itemIndex(), 0);
    acq_->connect = session().connect;
    QPointer<TOscilloForm> garde(this);
    acq_->Enregistre();
    if (!garde)
        return;
    lecture_ = false;
    NbrePoints = acq_->NbrePoints;
    afficheCourbes();
    if (fermerApresLecture_) {
        fermerApresLecture_ = false;
        close();
    }
}

void TOscilloForm::afficheCourbes()
{
    // The channels that hold a record of this read; a channel inactive, switched off or
    // not read to its end is left out.
    const QStringList nonLues = acq_->voiesNonLues();
    const qint32 *v[3] = {nullptr, nullptr, nullptr};
    for (int n = 1; n <= 2; ++n)
        if (acq_->Voie[n].Activee && !nonLues.contains(QStringLiteral("CH%1").arg(n)))
            v[n] = acq_->Voie[n].Valeur.data();
    const bool peak = acq_->modePeak && (constructeur == oAgilent || constructeur == oHewlett);
    const int n = std::clamp(acq_->NbrePointsLu, 0, TailleVoie);
    ZoneCourbes->montre(v[1], v[2], peak ? n / 2 : n, peak);
    marqueSelection();
}

void TOscilloForm::marqueSelection()
{
    if (!ZoneCourbes->aDesCourbes() || XYrg_index() == xyTotalite || !ZoneCourbes->graphe().Affichee[1]
        || !ZoneCourbes->graphe().Affichee[2]) {
        ZoneCourbes->sansMarques();
        return;
    }
    const TIntervalle r = selection();
    ZoneCourbes->marque(r.debut, r.fin);
}

void TOscilloForm::StopActionExecute() { TSessionInstrument::demandeArret(); }

void TOscilloForm::completeNoms()
{
    if (EditNomA->text().isEmpty())
        EditNomA->setText(QStringLiteral("VA"));
    if (EditNomB->text().isEmpty())
        EditNomB->setText(QStringLiteral("VB"));
}

TSaisieOsc TOscilloForm::saisie() const
{
    TSaisieOsc s;
    s.nom1 = EditNomA->text();
    s.signif1 = EditCommA->text();
    s.nom2 = EditNomB->text();
    s.signif2 = EditCommB->text();
    s.commentaire = EditComm->text();
    s.parametre = TParametre{NomConstEdit->text(), UniteConstEdit->text(), ValeurConstEdit->text()};
    s.choix = XYrg_index();
    CompleteNoms(s);
    return s;
}

void TOscilloForm::envoie(bool nouveauFichier)
{
    if (lecture_ || acq_->NbrePointsLu <= 0 || (!acq_->Voie[1].Activee && !acq_->Voie[2].Activee))
        return;
    completeNoms();
    {
        TCurseurAttente sablier;
        const TIntervalle r = selection();
        debutOsc = r.debut;
        FinOsc = r.fin;
        const QString texte = TexteEnvoiOsc(*acq_, saisie(), nouveauFichier, identification());
        TFormDDE &dde = dde_ ? *dde_ : session().lienKorvalis();
        dde.Execute(OrdreOsc(nouveauFichier), texte);
    }
    acq_->AcqAsauver = false;
    if (nouveauFichier) {
        dejaEnvoye_ = true;
        KorvalisAddBtn->setEnabled(true);
    }
}

void TOscilloForm::KorvalisActionExecute() { envoie(true); }

void TOscilloForm::KorvalisAddBtnClick() { envoie(false); }

void TOscilloForm::SaveBtnClick()
{
    if (lecture_)
        return;
    QString nom;
    int filtre = 0;
    if (demandeFichier) {
        if (!demandeFichier(nom, filtre))
            return;
    } else {
        QFileDialog d(this, QStringLiteral("Sauvegarde données"), DossierDonnees);
        d.setAcceptMode(QFileDialog::AcceptSave);
        d.setOption(QFileDialog::DontUseNativeDialog, true);
        d.setNameFilters({QStringLiteral("Korvalis (*.kvx)"), QStringLiteral("Tableur ASCII (*.txt)"),
                          QStringLiteral("Tableur CSV (*.csv)")});
        // No default suffix here: a name without extension takes its filter's extension below.
        if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
            return;
        nom = d.selectedFiles().constFirst();
        filtre = std::max<int>(int(d.nameFilters().indexOf(d.selectedNameFilter())), 0);
    }
    if (nom.isEmpty())
        return;
    bool ok = false;
    {
        TCurseurAttente sablier;
        completeNoms();
        const TIntervalle r = selection();
        debutOsc = r.debut;
        FinOsc = r.fin;
        ok = SauveOsc(NomSauvegardeOsc(nom, filtre), *acq_, saisie(), identification());
    }
    if (ok)
        acq_->AcqAsauver = false;
}

// ---- IAcquisitionVue ----------------------------------------------------------------

void TOscilloForm::message(const QString &texte) { Inform(texte); }

void TOscilloForm::boutonsLecture()
{
    LireBtn->setEnabled(false);
    KorvalisBtn->setEnabled(false);
    KorvalisAddBtn->setEnabled(false);
    SaveBtn->setEnabled(false);
    StopBtn->setEnabled(false);
    ExitBtn->setEnabled(true);
    PanelCommande->clear();
}

void TOscilloForm::boutonsRepos(bool acqFaite)
{
    LireBtn->setEnabled(true);
    KorvalisBtn->setEnabled(acqFaite);
    KorvalisAddBtn->setEnabled(acqFaite && dejaEnvoye_);
    SaveBtn->setEnabled(acqFaite);
    StopBtn->setEnabled(false);
    ExitBtn->setEnabled(true);
    PanelCommande->clear();
}

void TOscilloForm::stopActif(bool actif) { StopBtn->setEnabled(actif); }

void TOscilloForm::statut(const QString &texte) { PanelCommande->setText(texte); }

void TOscilloForm::jaugeMaximum(int jauge, int maximum)
{
    (jauge == 2 ? gaugeB : GaugeA)->setMaximum(std::max(maximum, 1));
}

void TOscilloForm::jaugePosition(int jauge, int position, bool redessine)
{
    QProgressBar *g = jauge == 2 ? gaugeB : GaugeA;
    g->setValue(std::clamp(position, 0, g->maximum()));
    if (redessine)
        g->repaint();
}

void TOscilloForm::optionLecture(int item) { OptionLectureRG->setItemIndex(item); }

void TOscilloForm::pompe() { QCoreApplication::processEvents(); }

// ---- Events -------------------------------------------------------------------------

bool TOscilloForm::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate || e->type() == QEvent::Show)
        FormActivate();
    return QWidget::event(e);
}

bool TOscilloForm::espaceLance(QKeyEvent *k)
{
    if (k->key() != Qt::Key_Space || (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    if (!LireBtn->isEnabled() || lecture_)
        return false;
    EnregistreActionExecute();
    return true;
}

bool TOscilloForm::eventFilter(QObject *obj, QEvent *e)
{
    if (e->type() == QEvent::KeyPress && obj->isWidgetType()) {
        auto *w = static_cast<QWidget *>(obj);
        if (w != this && w->window() == this && espaceLance(static_cast<QKeyEvent *>(e)))
            return true;
    }
    return QWidget::eventFilter(obj, e);
}

void TOscilloForm::keyPressEvent(QKeyEvent *e)
{
    if (espaceLance(e))
        return;
    QWidget::keyPressEvent(e);
}

void TOscilloForm::closeEvent(QCloseEvent *e)
{
    if (lecture_) {
        // Closing during a read: the read is asked to stop and the window closes after it.
        TSessionInstrument::demandeArret();
        fermerApresLecture_ = true;
        e->ignore();
        return;
    }
    if (acq_->AcqAsauver && Confirm(QStringLiteral("Sauvegarde")))
        SaveBtnClick();
    session().SetMode(mNone);
    if (constructeur == oRigol) {
        try {
            session().echange.EnvoieCommandeSimple(":KEY:LOCK DIS");
        } catch (const std::exception &) {
            // the instrument is gone: its panel stays as it is
        }
    }
    ecritRegistre();
    e->accept();
}
