#include "export/commandelien.h"

#include "export/windows1252.h"

QStringList LignesCommande(const QByteArray &commande)
{
    const qsizetype nul = commande.indexOf('\0');
    const QString texte = DeWindows1252(nul < 0 ? commande : commande.left(nul));
    QStringList lignes;
    qsizetype debut = 0;
    const qsizetype n = texte.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = texte.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lignes.append(texte.mid(debut, i - debut));
            if (c == QLatin1Char('\r') && i + 1 < n && texte.at(i + 1) == QLatin1Char('\n'))
                ++i;
            debut = i + 1;
        }
    }
    if (debut < n)
        lignes.append(texte.mid(debut));
    return lignes;
}

QString MotCommande(const QString &ligne)
{
    const qsizetype ouvrante = ligne.indexOf(QLatin1Char('('));
    const qsizetype fermante = ligne.indexOf(QLatin1Char(')'));
    if (ouvrante >= 0 && fermante >= 0 && ouvrante < fermante)
        return ligne.left(ouvrante);
    return ligne;
}
