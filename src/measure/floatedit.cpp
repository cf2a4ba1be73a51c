#include "measure/floatedit.h"
#include "measure/unites.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

// ---- Rules -------------------------------------------------------------------

double ClampValue(double x, double mini, double maxi)
{
    if (std::isnan(x) || x < mini)
        return mini;
    if (x > maxi)
        return maxi;
    return x;
}

namespace {

// v times 10^e, with the power of ten exact (up to 1e22) and one rounding.
double foisPuissance(double v, int e)
{
    return e >= 0 ? v * std::pow(10.0, e) : v / std::pow(10.0, -e);
}

// Prefix characters of the edit, index 1..17; the unprefixed index 9 is a space.
QString caracterePrefixe(int k)
{
    return k == IndiceSansPrefixe ? QStringLiteral(" ") : LettrePrefixe(k);
}

// Shift of the prefix index for a unit that starts with its own prefix letter.
int decalagePrefixe(QChar c)
{
    switch (c.unicode()) {
    case u'G': return 3;
    case u'M': return 2;
    case u'k': return 1;
    case u'm': return -1;
    case u'\u00B5': return -2;
    case u'n': return -3;
    case u'p': return -4;
    default: return 0;
    }
}

} // namespace

double SnapStep(double x)
{
    if (!(x > 0) || !std::isfinite(x))
        return x;
    int e = int(FloorValue(std::log(x) * 0.4342944819032518));
    if (e < -300 || e > 300)
        return x;
    double d = std::trunc(foisPuissance(x, -e));
    // The logarithm may land a hair on the wrong side of a decade.
    if (d < 1) {
        --e;
        d = std::trunc(foisPuissance(x, -e));
    } else if (d >= 10) {
        ++e;
        d = std::trunc(foisPuissance(x, -e));
    }
    if (d <= 2)
        return foisPuissance(d, e);
    if (d < 6)
        return foisPuissance(5, e);
    return foisPuissance(1, e + 1);
}

QString TexteFloatEdit(double b, const QString &nomUnite)
{
    if (std::isnan(b))
        return QStringLiteral("???");
    int k = IndiceSansPrefixe;
    while (b >= 999 && k < IndicePrefixeMax) { b /= 1000; ++k; }
    while (b < 0.999 && k > IndicePrefixeMin) { b *= 1000; --k; }
    if (k == IndicePrefixeMax)
        return QStringLiteral("???");
    if (k == IndicePrefixeMin)
        return QStringLiteral("0 ") + nomUnite;
    QString unite = nomUnite;
    if (nomUnite.size() >= 2) {
        const int decalage = decalagePrefixe(nomUnite.at(0));
        const QChar second = nomUnite.at(1);
        const bool lettre = (second >= u'A' && second <= u'Z') || (second >= u'a' && second <= u'z');
        if (decalage != 0 && lettre) {
            k += decalage;
            unite = nomUnite.mid(1);
        }
    }
    // The unit's own prefix may push the index beyond the table.
    if (k >= IndicePrefixeMax)
        return QStringLiteral("???");
    if (k <= IndicePrefixeMin)
        return QStringLiteral("0 ") + nomUnite;
    return FormatGeneral(b, 4) + QLatin1Char(' ') + caracterePrefixe(k) + unite;
}

bool IsValidKey(QChar c, bool editorEnabled)
{
    const char16_t u = c.unicode();
    const bool controle = u < 0x20 || u == 0x7F;
    if (controle)
        return u != u'\r' && (editorEnabled || u != u'\b');
    if (!editorEnabled)
        return false;
    return (u >= u'0' && u <= u'9') || u == u'+' || u == u',' || u == u'-' || u == u'.';
}

int HauteurMinimale(int hauteurTexte, int hauteurSysteme, int bordure)
{
    return hauteurTexte + std::min(hauteurTexte, hauteurSysteme) / 4 + 4 * bordure + 2;
}

// ---- The edit box ------------------------------------------------------------

TFloatEdit::TFloatEdit(QWidget *parent) : QLineEdit(parent)
{
    FButton = new QWidget(this);
    FButton->setCursor(Qt::ArrowCursor);
    auto *pile = new QVBoxLayout(FButton);
    pile->setContentsMargins(0, 0, 0, 0);
    pile->setSpacing(0);
    auto bouton = [this, pile](Qt::ArrowType sens) {
        auto *b = new QToolButton(FButton);
        b->setArrowType(sens);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
        b->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        pile->addWidget(b);
        return b;
    };
    FHaut = bouton(Qt::UpArrow);
    FBas = bouton(Qt::DownArrow);
    connect(FHaut, &QToolButton::clicked, this, &TFloatEdit::UpStep);
    connect(FBas, &QToolButton::clicked, this, &TFloatEdit::DownStep);
    FButton->resize(LargeurBouton, 17);
    setTextMargins(0, 0, LargeurBouton + 2, 0);
    setText(QStringLiteral("0.1"));
    majHauteurMinimale();
    placeBoutons();
}

void TFloatEdit::SetValue(double x)
{
    const double b = ClampValue(x);
    if (b == Fvalue)
        return;
    Fvalue = b;
    setText(TexteFloatEdit(b, FnomUnite));
}

void TFloatEdit::UpStep()
{
    if (isReadOnly()) {
        beep();
        return;
    }
    SetValue(SnapStep(Fvalue * FacteurPas));
}

void TFloatEdit::DownStep()
{
    if (isReadOnly()) {
        beep();
        return;
    }
    SetValue(SnapStep(Fvalue / FacteurPas));
}

void TFloatEdit::beep() { QApplication::beep(); }

void TFloatEdit::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down) {
        e->key() == Qt::Key_Up ? UpStep() : DownStep();
        e->accept();
        return;
    }
    // A key with Ctrl types a control character (Ctrl+C copies), whatever text the
    // platform gives with it.
    const QString texte = e->text();
    const bool controle = e->modifiers().testFlag(Qt::ControlModifier) && !e->modifiers().testFlag(Qt::AltModifier);
    if (!controle && !texte.isEmpty() && !IsValidKey(texte.at(0), FEditorEnabled)) {
        beep();
        e->accept();
        return;
    }
    // Without the editor the text changes only by the steps: no cutting, pasting,
    // deleting or undoing (moving the cursor, selecting and copying stay).
    if (!modifiable()) {
        static const QKeySequence::StandardKey edition[] = {
            QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Delete, QKeySequence::Undo,
            QKeySequence::Redo, QKeySequence::DeleteEndOfWord, QKeySequence::DeleteStartOfWord,
            QKeySequence::DeleteEndOfLine, QKeySequence::DeleteCompleteLine, QKeySequence::Backspace};
        for (const auto k : edition) {
            if (e->matches(k)) {
                e->accept();
                return;
            }
        }
    }
    QLineEdit::keyPressEvent(e);
}

void TFloatEdit::inputMethodEvent(QInputMethodEvent *e)
{
    const QString texte = e->commitString();
    if (std::any_of(texte.begin(), texte.end(), [this](QChar c) { return !IsValidKey(c, FEditorEnabled); })) {
        beep();
        e->accept();
        return;
    }
    QLineEdit::inputMethodEvent(e);
}

void TFloatEdit::focusInEvent(QFocusEvent *e)
{
    QLineEdit::focusInEvent(e);
    const bool clicGauche = e->reason() == Qt::MouseFocusReason
        && QGuiApplication::mouseButtons().testFlag(Qt::LeftButton);
    if (FAutoSelect && !clicGauche)
        selectAll();
    else if (!FAutoSelect && e->reason() != Qt::MouseFocusReason)
        deselect();
}

void TFloatEdit::focusOutEvent(QFocusEvent *e)
{
    // A bound changed meanwhile: the value is bounded again before the owner's exit handler.
    if (ClampValue(Fvalue) != Fvalue)
        SetValue(Fvalue);
    QLineEdit::focusOutEvent(e);
}

void TFloatEdit::placeBoutons()
{
    FButton->setGeometry(width() - LargeurBouton, 0, LargeurBouton, height());
}

void TFloatEdit::majHauteurMinimale()
{
    const int texte = fontMetrics().height();
    const int systeme = QFontMetrics(QApplication::font()).height();
    const int bordure = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    setMinimumHeight(HauteurMinimale(texte, systeme, bordure));
}

void TFloatEdit::resizeEvent(QResizeEvent *e)
{
    QLineEdit::resizeEvent(e);
    placeBoutons();
}

void TFloatEdit::changeEvent(QEvent *e)
{
    QLineEdit::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange)
        majHauteurMinimale();
}

void TFloatEdit::contextMenuEvent(QContextMenuEvent *e)
{
    QMenu *menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (!modifiable()) {
        static const char *const edition[] = {"edit-undo", "edit-redo", "edit-cut", "edit-paste", "edit-delete"};
        for (QAction *a : menu->actions())
            for (const char *nom : edition)
                if (a->objectName() == QLatin1String(nom))
                    a->setEnabled(false);
    }
    menu->popup(e->globalPos());
}

void TFloatEdit::mouseReleaseEvent(QMouseEvent *e)
{
    // The middle button pastes the selection on X11.
    if (e->button() == Qt::MiddleButton && !modifiable()) {
        e->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(e);
}

void TFloatEdit::dragEnterEvent(QDragEnterEvent *e)
{
    if (!modifiable()) {
        e->ignore();
        return;
    }
    QLineEdit::dragEnterEvent(e);
}

void TFloatEdit::dropEvent(QDropEvent *e)
{
    if (!modifiable()) {
        e->ignore();
        return;
    }
    QLineEdit::dropEvent(e);
}
