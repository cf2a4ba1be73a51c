#pragma once
// Ctrl+letter types a Greek letter in every edit field of the program.
#include <QObject>
#include <QString>

// The letter typed by Ctrl (+Shift) + key, or an empty text when the key is not converted.
// Ctrl+V and Ctrl+Shift+V stay paste.
QString LettreGrecque(int key, bool shift);

class TFiltreGrec : public QObject {
public:
    using QObject::QObject;
protected:
    bool eventFilter(QObject *obj, QEvent *ev) override;
};
