// Transports of the Rigol/Siglent simulator: a raw socket on loopback TCP, and a USBTMC
// stand-in (a pseudo-terminal carrying the class's bulk transfers, linked as usbtmcN).
#pragma once

#include "simengine.h"
#include "simrigol.h"

#include <QFile>
#include <QObject>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <deque>

// What both transports share: running one received message and logging it.
class SimRigolCoeur {
public:
    SimRigolCoeur(SimEngine &e, SimRigolModel &m) : engine(e), model(m) {}
    bool setEchoLog(const QString &fichier, QString *erreur);
    // Runs the lines of one message; the replies joined, the largest delay, and where the
    // connection is to be dropped (-1: not).
    QByteArray execute(const QByteArray &message, int *delaiMs, qint64 *coupure);

    SimEngine &engine;
    SimRigolModel &model;
    QFile echo;
};

class SimServeurTCP : public QObject {
    Q_OBJECT
public:
    explicit SimServeurTCP(SimRigolCoeur &coeur, QObject *parent = nullptr);
    bool ecoute(quint16 port, QString *erreur);
    quint16 port() const { return serveur_.serverPort(); }

private:
    void nouveauClient();
    SimRigolCoeur &coeur_;
    QTcpServer serveur_;
};

class SimUsbtmc : public QObject {
    Q_OBJECT
public:
    explicit SimUsbtmc(SimRigolCoeur &coeur, QObject *parent = nullptr);
    ~SimUsbtmc() override;
    // Creates the pseudo-terminal, links it as dossier/usbtmcN (index < 0: the first free
    // N) and writes dossier/usbtmcN.sysfs/{idVendor,idProduct,serial}.
    bool ouvre(const QString &dossier, int index, QString *chemin, QString *erreur);
    // Removes the link and the sysfs folder.
    void nettoie();
    // Paths to remove from a signal handler (C strings kept alive by the object).
    QList<QByteArray> aNettoyer() const;

private:
    void lisible();
    void traite();
    void repond();
    void ecrit(const QByteArray &b);
    void coupe();

    SimRigolCoeur &coeur_;
    int maitre_ = -1;
    int esclave_ = -1;
    QSocketNotifier *notifLecture_ = nullptr;
    QSocketNotifier *notifEcriture_ = nullptr;
    QByteArray entree_, sortieFil_, message_;
    QByteArray reponse_;        // the instrument's output message not yet sent
    qint64 coupure_ = -1;       // drop the link once this many bytes of reponse_ went out
    qint64 envoyes_ = 0;
    qint64 pretA_ = 0;          // the reply may go out from this time (ms since start)
    bool demande_ = false;
    quint8 tagDemande_ = 0;
    quint32 tailleDemande_ = 0;
    QTimer attente_;
    QString lien_, sysfs_;
};
