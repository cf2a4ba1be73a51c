// Pictures of the multimeter window for the documentation: a table of twenty points across a
// first-order low-pass filter (corner 1 kHz) swept from 100 Hz to 10 kHz, then the channel
// dialog. Run under an X server: xvfb-run -a capture_multimetre DOSSIER
#include "link/dossiers.h"
#include "measure/dialoguewidgets.h"
#include "multimeter/fenetremultimetre.h"
#include "multimeter/voiesdlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <cstdio>

namespace {

// CH1 the generator (1 V RMS), CH2 the filter's output; the scales an instrument would show.
class TBancFiltre : public IInstrumentMesure {
public:
    double f = 100;
    static constexpr double Fc = 1000;
    void videEntree() override {}
    double GetFloat(const QByteArray &c) override
    {
        const double g = 1 / std::sqrt(1 + (f / Fc) * (f / Fc));
        if (c.endsWith("FREQ?"))
            return f;
        if (c == ":MEAS:SOUR CHAN1;VRMS?")
            return 1.0;
        if (c == ":MEAS:SOUR CHAN2;VRMS?")
            return g;
        if (c.endsWith("PHAS?"))
            return -std::atan(f / Fc) * 180 / M_PI;
        if (c == ":TIM:RANG?")
            return 2.5 / f;   // two and a half periods on the screen
        if (c.startsWith(":CHAN"))
            return 4.0;
        return NAN;
    }
    QByteArray GetString(const QByteArray &) override { return "X1"; }
    void EnvoieCommandeSimple(const QByteArray &) override {}
    void EnvoieCommandeRapide(const QByteArray &) override {}
    double QueryFloat(const QByteArray &c) override { return GetFloat(c); }
    double QueryFloatSiglent(const QByteArray &c) override { return GetFloat(c); }
    void Ecrit(const QByteArray &) override {}
    void QueryWave(int) override {}
    double phase() override { return 0; }
    void unLock() override {}
    void pause(int) override {}
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString sortie = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(sortie);
    QTemporaryDir donnees;
    DossierDonnees = AvecSeparateur(donnees.path());
    TDialogueWidgets boites;
    setDialogue(&boites);

    TBancFiltre banc;
    auto *f = new TMultimetreForm(nullptr, {QStringLiteral("/aucune-configuration")}, &banc);
    f->show();
    int code = 0;
    QTimer::singleShot(300, f, [&] {
        f->FormActivate();
        for (int k = 0; k < 20; ++k) {
            banc.f = 100 * std::pow(100.0, k / 19.0);
            f->multimetre().EnregistreExec();
        }
        // The continuous update on, the cursor on the last reading.
        banc.f = 1500;
        f->MesureCB->click();
        f->multimetre().TimerTimer();
        f->Timer.stop();
        QApplication::processEvents();
        if (!f->grab().save(QDir(sortie).filePath(QStringLiteral("multimetre.png"))))
            code = 1;
        TVoiesDlg *d = f->voiesDlg();
        d->VoieLue = &f->Graphe().voie[2];
        d->show();
        QTimer::singleShot(300, f, [&, d] {
            if (!d->grab().save(QDir(sortie).filePath(QStringLiteral("voies-multimetre.png"))))
                code = 1;
            std::printf("%d points, images dans %s\n", f->Graphe().NbrePoints, qPrintable(sortie));
            d->hide();
            f->Graphe().NbrePoints = 0;
            f->close();
            app.quit();
        });
    });
    app.exec();
    delete f;
    setDialogue(nullptr);
    return code;
}
