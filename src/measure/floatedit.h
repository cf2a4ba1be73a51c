#pragma once
// A one-line edit box for a positive physical value with its unit, bounded by a minimum and
// a maximum, with an up/down button pair at its right edge. The steps multiply or divide the
// value by 2.15 and land on 1, 2 or 5 times a power of ten: 1, 2, 5, 10, 20, 50...
//
// The rules (bounding, snapping, the text of a value, which typed characters pass) are plain
// functions below; the widget only wires them to its events.
#include <QChar>
#include <QLineEdit>
#include <QString>

class QToolButton;
class QWidget;

// ---- Rules -------------------------------------------------------------------

// x bounded to mini..maxi; NaN gives mini.
double ClampValue(double x, double mini, double maxi);

// x (> 0) brought to 1, 2 or 5 times a power of ten by its leading digit d: d times the power
// for d 1 or 2, 5 times it for d 3 to 5, the next power for d 6 to 9.
// 2150 -> 2000, 4300 -> 5000, 10750 -> 10000, 930 -> 1000. The results are the decimal
// values themselves (2000, not 1999.9999999999995). A value that is not a positive finite
// number, or beyond 1e300 either way, is returned unchanged.
double SnapStep(double x);

// The factor of one step up (and divisor of one step down).
constexpr double FacteurPas = 2.15;

// The text the edit shows for a value already bounded: the value scaled to an SI prefix
// merged into the unit, in general notation with 4 digits and the user's decimal separator.
// A unit that carries its own prefix (kHz, mV, µs...) shifts the prefix: 1000 in kHz gives
// "1 MHz", 0.2 in mV "200 µV"; without a prefix there are two spaces ("100  Hz").
// "???" when the value is too large for the prefixes, "0 " + unit when too small (or <= 0).
QString TexteFloatEdit(double b, const QString &nomUnite);

// Whether a typed character is let through: digits, "+", ",", "-", "." and the control
// characters other than carriage return. With the editor disabled only the control
// characters other than carriage return and backspace pass.
bool IsValidKey(QChar c, bool editorEnabled);

// The lowest height of the edit: the text height of its font, a quarter of the smaller of
// that height and the system font's, four frame borders and 2 pixels.
int HauteurMinimale(int hauteurTexte, int hauteurSysteme, int bordure);

// ---- The edit box ------------------------------------------------------------

class TFloatEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(double MinValue READ MinValue WRITE setMinValue)
    Q_PROPERTY(double MaxValue READ MaxValue WRITE setMaxValue)
    Q_PROPERTY(double Value READ Value WRITE SetValue)
    Q_PROPERTY(QString NomUnite READ NomUnite WRITE setNomUnite)
    Q_PROPERTY(bool EditorEnabled READ EditorEnabled WRITE setEditorEnabled)
    Q_PROPERTY(bool AutoSelect READ AutoSelect WRITE setAutoSelect)
public:
    explicit TFloatEdit(QWidget *parent = nullptr);

    // Width of the button pair at the right edge.
    static constexpr int LargeurBouton = 15;

    // Bounds and unit are written as they come: the text follows at the next SetValue
    // or when the edit loses the focus.
    double MinValue() const { return FMinValue; }
    void setMinValue(double v) { FMinValue = v; }
    double MaxValue() const { return FMaxValue; }
    void setMaxValue(double v) { FMaxValue = v; }
    QString NomUnite() const { return FnomUnite; }
    void setNomUnite(const QString &u) { FnomUnite = u; }
    bool EditorEnabled() const { return FEditorEnabled; }
    void setEditorEnabled(bool e) { FEditorEnabled = e; }
    // The whole text is selected when the focus comes other than by a left click.
    bool AutoSelect() const { return FAutoSelect; }
    void setAutoSelect(bool a) { FAutoSelect = a; }

    double Value() const { return Fvalue; }
    // Bounds x and shows it; a value equal to the current one leaves the text alone.
    void SetValue(double x);
    double ClampValue(double x) const { return ::ClampValue(x, FMinValue, FMaxValue); }

    // One step up or down (a beep when the edit is read-only).
    void UpStep();
    void DownStep();

    QWidget *boutons() const { return FButton; }

protected:
    // The refusal sound; a test counts it.
    virtual void beep();

    void keyPressEvent(QKeyEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void changeEvent(QEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dropEvent(QDropEvent *e) override;

private:
    // Cutting, pasting and deleting are let through.
    bool modifiable() const { return FEditorEnabled && !isReadOnly(); }
    void placeBoutons();
    void majHauteurMinimale();

    double FMinValue = 0.01;
    double FMaxValue = 100;
    double Fvalue = 0;
    bool FEditorEnabled = true;
    bool FAutoSelect = true;
    QString FnomUnite;
    QWidget *FButton = nullptr;
    QToolButton *FHaut = nullptr;
    QToolButton *FBas = nullptr;
};
