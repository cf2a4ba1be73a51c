#include "drivers/nomvisa.h"

#include <QRegularExpression>

bool LitAdresseTCP(const QString &nom, TAdresseTCP &a)
{
    static const QRegularExpression re(QStringLiteral("^TCPIP(\\d{0,3})::([A-Za-z0-9._-]{1,253})::(\\d{1,5})::SOCKET$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(nom);
    if (!m.hasMatch())
        return false;
    const int port = m.captured(3).toInt();
    if (port < 1 || port > 65535)
        return false;
    a.hote = m.captured(2);
    a.port = quint16(port);
    return true;
}

void AjouteRessources(const QString &texte, QStringList &liste)
{
    static const QRegularExpression separateurs(QStringLiteral("[;,]"));
    for (const QString &morceau : texte.split(separateurs, Qt::SkipEmptyParts)) {
        const QString nom = morceau.trimmed();
        TAdresseTCP a;
        if (LitAdresseTCP(nom, a) && !liste.contains(nom, Qt::CaseInsensitive))
            liste << nom;
    }
}

bool CorrespondVisa(const QString &nom, const QString &expression)
{
    // Wildcard matching that goes back only to the last "*": linear in practice, and no
    // expression, however many "*" it holds, can make it run away.
    const auto egal = [](QChar a, QChar b) { return a == b || a.toCaseFolded() == b.toCaseFolded(); };
    qsizetype n = 0, e = 0, etoile = -1, reprise = 0;
    while (n < nom.size()) {
        if (e < expression.size() && expression.at(e) == QLatin1Char('*')) {
            etoile = e++;
            reprise = n;
        } else if (e < expression.size() && (expression.at(e) == QLatin1Char('?') || egal(expression.at(e), nom.at(n)))) {
            ++e;
            ++n;
        } else if (etoile >= 0) {
            e = etoile + 1;
            n = ++reprise;
        } else {
            return false;
        }
    }
    while (e < expression.size() && expression.at(e) == QLatin1Char('*'))
        ++e;
    return e == expression.size();
}
