#pragma once
// Pictures of the windows for the documentation. Once the detection has run, each window
// registered here is brought up as a user would bring it up, saved as <dossier>/<nom>.png,
// and the program ends. The main window and the serial dialog are registered by
// LanceCaptures itself; the mode windows, which the shell only knows through their
// factories, are registered beside them in main.cpp, one line each.
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;
class TAgilentFormMain;

// Brings the window up (opening it, reading the instrument...) and answers it, or nullptr
// when it has nothing to show with this instrument (then no picture is taken).
using OuvreCapture = std::function<QWidget *()>;
void EnregistreCapture(const QString &nom, OuvreCapture ouvre);

// The pictures named in noms (all of them, in the order registered, when noms is empty),
// into dossier, then the application quits. Lines on standard error tell what was saved.
void LanceCaptures(TAgilentFormMain &principale, const QString &dossier, const QStringList &noms = {});
