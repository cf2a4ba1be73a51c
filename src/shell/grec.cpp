#include "shell/grec.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

QString LettreGrecque(int key, bool shift)
{
    // A..Z; V keeps its paste meaning (empty), Y types the Latin letter.
    static const char16_t minuscules[] = u"\u03B1\u03B2\u03C7\u03B4\u03B5\u03C6\u03B3\u03B7\u03B9\u03C8\u03BA\u03BB\u03BC"
                                         u"\u03BD\u03BF\u03C0\u03B8\u03C1\u03C3\u03C4\u03C5 \u03C9\u03BEy\u03B6";
    static const char16_t majuscules[] = u"\u0391\u0392\u03A7\u0394\u0395\u03A6\u0393\u0397\u0399\u03A8\u039A\u039B\u039C"
                                         u"\u039D\u039F\u03A0\u0398\u03A1\u03A3\u03A4\u03A5 \u03A9\u039EY\u0396";
    if (key < Qt::Key_A || key > Qt::Key_Z || key == Qt::Key_V)
        return {};
    const int i = key - Qt::Key_A;
    return QString(QChar(shift ? majuscules[i] : minuscules[i]));
}

bool TFiltreGrec::eventFilter(QObject *obj, QEvent *ev)
{
    if (ev->type() != QEvent::KeyPress || !obj->isWidgetType())
        return false;
    auto *k = static_cast<QKeyEvent *>(ev);
    const Qt::KeyboardModifiers mods = k->modifiers() & ~Qt::KeypadModifier;
    if (!(mods & Qt::ControlModifier) || (mods & (Qt::AltModifier | Qt::MetaModifier)))
        return false;
    const QString lettre = LettreGrecque(k->key(), mods & Qt::ShiftModifier);
    if (lettre.isEmpty())
        return false;
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, lettre);
    QCoreApplication::sendEvent(obj, &typed);
    return true;
}
