#pragma once
// A small INI text codec for the multimeter's configuration files: sections in square
// brackets and key=value lines, looked up without regard to letter case. Every line it does
// not write (comments, unknown sections and keys, lines it cannot make sense of) is kept as
// it was, so that a file written back loses nothing of what the user put in it.
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// Bytes of an INI file as text: UTF-8 when the bytes start with the UTF-8 mark or are valid
// UTF-8 holding at least one multi-byte character; Windows-1252 otherwise (every byte then
// decodes, the five bytes the code page leaves unassigned to the control characters of the
// same value).
QString DecodeTexteIni(const QByteArray &octets);

// Text of an INI file as bytes: Windows-1252, the five control characters above back to
// their bytes, so that decoding then encoding a Windows-1252 file gives its bytes back.
// When the text holds a character Windows-1252 cannot write (or its Windows-1252 bytes would
// read back as UTF-8), the whole text is written in UTF-8 after the UTF-8 mark instead, so
// that nothing is replaced and DecodeTexteIni gives the text back.
QByteArray EncodeTexteIni(const QString &texte);

class TFichierIni {
public:
    TFichierIni() = default;
    // The lines of texte (ending with CR LF, LF or CR).
    explicit TFichierIni(const QString &texte);

    // The value of the first key named cle in the first section named section, spaces
    // around it removed and one pair of surrounding double quotes taken off; nothing when
    // the section or the key is absent.
    std::optional<QString> valeur(const QString &section, const QString &cle) const;
    // The value, or defaut when absent.
    QString lit(const QString &section, const QString &cle, const QString &defaut = QString()) const;
    bool contientSection(const QString &section) const;
    // The section names in file order (duplicates included).
    QList<QString> sections() const;

    // Replaces the first key named cle of the first section named section, or adds it after
    // the section's last key, or adds the section at the end of the file. Line breaks in the
    // value become spaces; a value that would not read back as it is (spaces around it,
    // surrounding quotes) is written between double quotes.
    void ecrit(const QString &section, const QString &cle, const QString &valeur);

    // The whole text, every line ending with CR LF.
    QString texte() const;

private:
    struct TLigne {
        QString brut;          // the line as read (or as written by ecrit)
        QString cle;           // key of a key=value line, empty otherwise
        bool estCle = false;
    };
    struct TSection {
        QString nom;
        bool avecEnTete = true;   // false for the lines before the first section header
        QString enTete;           // the header line as read
        QList<TLigne> lignes;
    };
    const TSection *trouveSection(const QString &nom) const;
    TSection *trouveSection(const QString &nom);

    QList<TSection> sections_;
};
