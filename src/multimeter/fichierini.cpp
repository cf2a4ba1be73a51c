#include "multimeter/fichierini.h"

#include "export/windows1252.h"

#include <QStringDecoder>

namespace {

const QByteArray MarqueUtf8("\xEF\xBB\xBF");

// The five bytes Windows-1252 leaves unassigned decode to these control characters.
bool estLibre1252(char16_t c)
{
    return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

bool egaux(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// "[nom]..." gives nom (spaces removed); nothing for another line.
std::optional<QString> nomSection(const QString &ligne)
{
    const QString t = ligne.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype fin = t.indexOf(QLatin1Char(']'));
    if (fin < 0)
        return std::nullopt;
    return t.mid(1, fin - 1).trimmed();
}

// The key of a "key=value" line; nothing for comments and other lines.
std::optional<QString> cleDe(const QString &ligne)
{
    const QString t = ligne.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
        return std::nullopt;
    const qsizetype egal = t.indexOf(QLatin1Char('='));
    if (egal <= 0)
        return std::nullopt;
    const QString cle = t.left(egal).trimmed();
    if (cle.isEmpty())
        return std::nullopt;
    return cle;
}

QString valeurDe(const QString &ligne)
{
    const qsizetype egal = ligne.indexOf(QLatin1Char('='));
    QString v = ligne.mid(egal + 1).trimmed();
    if (v.size() >= 2 && v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"')))
        v = v.mid(1, v.size() - 2);
    return v;
}

QString valeurEcrite(QString v)
{
    for (QChar &c : v)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char(' ');
    const bool espaces = !v.isEmpty() && (v.front().isSpace() || v.back().isSpace());
    const bool guillemets = v.size() >= 2 && v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"'));
    if (espaces || guillemets)
        return QLatin1Char('"') + v + QLatin1Char('"');
    return v;
}

} // namespace

QString DecodeTexteIni(const QByteArray &octets)
{
    if (octets.startsWith(MarqueUtf8)) {
        QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        return d.decode(QByteArrayView(octets).sliced(MarqueUtf8.size()));
    }
    bool multiOctet = false;
    for (const char c : octets)
        if (static_cast<unsigned char>(c) >= 0x80) {
            multiOctet = true;
            break;
        }
    if (multiOctet) {
        QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString texte = d.decode(octets);
        if (!d.hasError())
            return texte;
    }
    return DeWindows1252(octets);
}

QByteArray EncodeTexteIni(const QString &texte)
{
    QByteArray out;
    out.reserve(texte.size());
    qsizetype debut = 0;
    int remplaces = 0;
    const auto morceau = [&](qsizetype fin) {
        if (fin > debut) {
            int n = 0;
            out += EnWindows1252(texte.mid(debut, fin - debut), &n);
            remplaces += n;
        }
    };
    for (qsizetype i = 0; i < texte.size(); ++i) {
        const char16_t c = texte.at(i).unicode();
        if (estLibre1252(c)) {
            morceau(i);
            out.append(static_cast<char>(c));
            debut = i + 1;
        }
    }
    morceau(texte.size());
    // Bytes that would read back as UTF-8 ("Ã©" gives C3 A9) carry the mark as well.
    if (remplaces > 0 || DecodeTexteIni(out) != texte)
        return MarqueUtf8 + texte.toUtf8();
    return out;
}

TFichierIni::TFichierIni(const QString &texte)
{
    sections_.append(TSection{QString(), false, QString(), {}});
    qsizetype i = 0;
    const qsizetype n = texte.size();
    while (i < n) {
        qsizetype j = i;
        while (j < n && texte.at(j) != QLatin1Char('\r') && texte.at(j) != QLatin1Char('\n'))
            ++j;
        const QString ligne = texte.mid(i, j - i);
        if (j < n && texte.at(j) == QLatin1Char('\r') && j + 1 < n && texte.at(j + 1) == QLatin1Char('\n'))
            ++j;
        i = j + 1;
        if (const auto nom = nomSection(ligne)) {
            sections_.append(TSection{*nom, true, ligne, {}});
            continue;
        }
        TLigne l;
        l.brut = ligne;
        if (const auto cle = cleDe(ligne)) {
            l.cle = *cle;
            l.estCle = true;
        }
        sections_.last().lignes.append(l);
    }
}

const TFichierIni::TSection *TFichierIni::trouveSection(const QString &nom) const
{
    for (const TSection &s : sections_)
        if (s.avecEnTete && egaux(s.nom, nom))
            return &s;
    return nullptr;
}

TFichierIni::TSection *TFichierIni::trouveSection(const QString &nom)
{
    return const_cast<TSection *>(std::as_const(*this).trouveSection(nom));
}

std::optional<QString> TFichierIni::valeur(const QString &section, const QString &cle) const
{
    const TSection *s = trouveSection(section);
    if (!s)
        return std::nullopt;
    for (const TLigne &l : s->lignes)
        if (l.estCle && egaux(l.cle, cle))
            return valeurDe(l.brut);
    return std::nullopt;
}

QString TFichierIni::lit(const QString &section, const QString &cle, const QString &defaut) const
{
    return valeur(section, cle).value_or(defaut);
}

bool TFichierIni::contientSection(const QString &section) const
{
    return trouveSection(section) != nullptr;
}

QList<QString> TFichierIni::sections() const
{
    QList<QString> noms;
    for (const TSection &s : sections_)
        if (s.avecEnTete)
            noms.append(s.nom);
    return noms;
}

void TFichierIni::ecrit(const QString &section, const QString &cle, const QString &valeur)
{
    TLigne nouvelle;
    nouvelle.cle = cle;
    nouvelle.estCle = true;
    nouvelle.brut = cle + QLatin1Char('=') + valeurEcrite(valeur);
    TSection *s = trouveSection(section);
    if (!s) {
        if (sections_.isEmpty())
            sections_.append(TSection{QString(), false, QString(), {}});
        // A blank line between the last section and the new one.
        TSection &derniere = sections_.last();
        const bool videAvant = derniere.lignes.isEmpty() ? !derniere.avecEnTete
                                                         : derniere.lignes.last().brut.trimmed().isEmpty();
        if (!videAvant)
            derniere.lignes.append(TLigne{});
        sections_.append(TSection{section, true, QLatin1Char('[') + section + QLatin1Char(']'), {}});
        sections_.last().lignes.append(nouvelle);
        return;
    }
    for (TLigne &l : s->lignes)
        if (l.estCle && egaux(l.cle, cle)) {
            l = nouvelle;
            return;
        }
    // After the last line that is not blank, so the blank lines stay between the sections.
    qsizetype k = s->lignes.size();
    while (k > 0 && s->lignes.at(k - 1).brut.trimmed().isEmpty())
        --k;
    s->lignes.insert(k, nouvelle);
}

QString TFichierIni::texte() const
{
    const QString fin = QStringLiteral("\r\n");
    QString t;
    for (const TSection &s : sections_) {
        if (s.avecEnTete)
            t += s.enTete + fin;
        for (const TLigne &l : s.lignes)
            t += l.brut + fin;
    }
    return t;
}
