#pragma once
// The page that every mode hands to Korvalis, and its three written forms:
// the Korvalis data file (".KVX"), the spreadsheet tables (".TXT", ".CSV") and the
// transfer text put on the clipboard. Nothing else in the program writes a page.
#include <QList>
#include <QString>
#include <QStringList>

struct TColonne {
    QString nom;
    QString unite;
    QString signif;   // meaning ("Signification")
};

// The optional parameter of a transfer text. It is written only when the name is not
// empty and the value text is a number for ParseNumber.
struct TParametre {
    QString nom;
    QString unite;
    QString valeur;   // the text written on the value line
};

// Where the tabs of a transfer text stand: before every field but the first (the two
// oscilloscope windows) or after every field, the last included (multimeter, Bode).
enum class TSeparation { Avant, Apres };

struct TPage {
    QList<TColonne> colonnes;       // the first one is the abscissa
    QList<QStringList> lignes;      // the rows, one text per column, as written
    // Transfer text only.
    QString commentairePage;
    QString commentaireGeneral;
    bool avecIncertitude = false;   // "&N INCERT" section, one row per data row
    QList<QStringList> incertitudes;
    TParametre parametre;
    bool avecXY = false;            // "&1 NOMX" / "&1 NOMY"
    QString nomX;
    QString nomY;
    bool styleLigne = false;        // "&k LIGNE", k = columns after the abscissa
    TSeparation separation = TSeparation::Avant;

    void ajouteColonne(const QString &nom, const QString &unite, const QString &signif)
    { colonnes.append(TColonne{nom, unite, signif}); }
};

// CR LF, the line end of every form except the oscilloscope windows' CSV tables.
inline QString FinLigneCRLF() { return QStringLiteral("\r\n"); }

// The full path of the running program file (empty before the application object exists).
QString CheminProgramme();

// Korvalis data file. cheminProgramme goes on the line after "£1 ACQUISITION".
QString TexteKvx(const TPage &page, const QString &cheminProgramme);

// Spreadsheet table: "Acquisition par " + identification, names, units, meanings, rows;
// fields separated by separateur, no trailing separator.
QString TexteTableau(const TPage &page, const QString &identification, QChar separateur,
                     const QString &finLigne);

// Plain table variant of the Korvalis save path given a name that is not ".KVX":
// the identification alone, then names, units, meanings and rows, every field followed
// by a tab (the rows) or preceded by one (the three header lines); CR LF.
QString TexteTableauSimple(const TPage &page, const QString &identification);

// Transfer text: every line followed by CR LF.
QString TexteTransfert(const TPage &page, const QString &cheminProgramme);

// True when the parameter block goes into the transfer text.
bool ParametreEcrit(const TParametre &p);

// ---- Choice of form ---------------------------------------------------------

enum class TForme { Kvx, Csv, Tabulation, TableauSimple };

// The save path a name is given to.
enum class TCheminSauvegarde {
    Oscillo,        // save button of the oscilloscope window: KVX, CSV or tab table
    TableauRigol,   // save button of the Rigol window: CSV or tab table (".KVX" too)
    KorvalisRigol,  // Rigol window's save on closing: KVX or the plain table variant
};

// Decided by the extension alone, without regard to letter case.
TForme FormeParExtension(const QString &nomFichier, TCheminSauvegarde chemin);

// The name with ext (".TXT"...) appended when it has no extension.
QString AvecExtension(const QString &nomFichier, const QString &ext);

// CSV separator: "," when the locale's decimal separator is ".", ";" otherwise.
QChar SeparateurCsv();

// ---- Reductions -------------------------------------------------------------

// Step of the files: S div P, and 1 when that is 0 (or P is not positive).
int PasReduction(int nbreLus, int nbrePoints);
// Count of rows of the files: the indices 0 <= i < S that are multiples of the step.
int NbreLignesReduites(int nbreLus, int nbrePoints);
// Step of the oscilloscope transfer text over [debut, fin]: (fin - debut + 1) div P, at least 1.
int PasTransfert(int debut, int fin, int nbrePoints);
