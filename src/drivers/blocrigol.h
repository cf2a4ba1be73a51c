#pragma once
// The reader of one waveform reply of the Rigol and Siglent instruments, fed with the
// reply's bytes as they come.
#include <QByteArray>
#include <QtGlobal>
#include <utility>

// Collects the bytes of one waveform reply into a channel buffer.
// Rigol replies: a reply that starts with a valid definite-length header ("#", a digit d
// from 1 to 9, d digits) gives the announced bytes only; any other reply is stored as it
// came. Siglent replies: everything before the first "#" is skipped, the header is
// required, and the announced bytes follow.
// In both, at most `capacite` bytes are stored; the others are counted and dropped.
class TCollecteur {
public:
    enum class Dialecte { Rigol, Siglent };

    TCollecteur(Dialecte d, quint8 *dest, int capacite) : d_(d), dest_(dest), capacite_(capacite) {}

    void ajoute(const char *p, qsizetype n)
    {
        for (qsizetype k = 0; k < n; ++k)
            octet(quint8(p[k]));
    }
    // The announced block has come whole.
    bool complet() const { return etat_ == Etat::Fin; }
    // End of the reply: a Rigol header cut short is kept as raw bytes.
    void termine()
    {
        if (d_ == Dialecte::Rigol && (etat_ == Etat::Chiffre || etat_ == Etat::Chiffres)) {
            const QByteArray attente = attente_;
            etat_ = Etat::Brut;
            ajoute(attente.constData(), attente.size());
        }
    }

    int stockes() const { return stockes_; }
    qint64 recus() const { return recus_; }
    bool avecEntete() const { return annonce_ >= 0; }
    qint64 annonce() const { return annonce_; }
    bool enteteInvalide() const { return etat_ == Etat::Invalide; }
    bool enteteAttendu() const { return d_ == Dialecte::Siglent && annonce_ < 0; }

private:
    enum class Etat { Debut, Chiffre, Chiffres, Donnees, Brut, Fin, Invalide };

    void stocke(quint8 b)
    {
        if (stockes_ < capacite_)
            dest_[stockes_++] = b;
        ++recus_;
    }

    void octet(quint8 b)
    {
        switch (etat_) {
        case Etat::Debut:
            if (b == '#') {
                attente_ = "#";
                etat_ = Etat::Chiffre;
            } else if (d_ == Dialecte::Rigol) {
                etat_ = Etat::Brut;
                stocke(b);
            }
            break;
        case Etat::Chiffre:
            if (b >= '1' && b <= '9') {
                attente_ += char(b);
                chiffres_ = b - '0';
                compte_.clear();
                etat_ = Etat::Chiffres;
            } else {
                refuse(b);
            }
            break;
        case Etat::Chiffres:
            if (b >= '0' && b <= '9') {
                attente_ += char(b);
                compte_ += char(b);
                if (compte_.size() == chiffres_) {
                    annonce_ = compte_.toLongLong();
                    attente_.clear();
                    etat_ = annonce_ > 0 ? Etat::Donnees : Etat::Fin;
                }
            } else {
                refuse(b);
            }
            break;
        case Etat::Donnees:
            stocke(b);
            if (recus_ >= annonce_)
                etat_ = Etat::Fin;
            break;
        case Etat::Brut:
            stocke(b);
            break;
        case Etat::Fin:
        case Etat::Invalide:
            break;
        }
    }

    // Not a header: a Rigol reply is raw after all, a Siglent block cannot be read.
    void refuse(quint8 b)
    {
        if (d_ == Dialecte::Siglent) {
            etat_ = Etat::Invalide;
            return;
        }
        QByteArray deja = attente_;
        deja += char(b);
        attente_.clear();
        etat_ = Etat::Brut;
        for (char c : std::as_const(deja))
            stocke(quint8(c));
    }

    Dialecte d_;
    quint8 *dest_;
    int capacite_;
    Etat etat_ = Etat::Debut;
    QByteArray attente_;   // header bytes not yet decided
    QByteArray compte_;
    int chiffres_ = 0;
    qint64 annonce_ = -1;
    int stockes_ = 0;
    qint64 recus_ = 0;
};
