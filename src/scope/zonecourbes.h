#pragma once
// The drawing area of the oscilloscope windows: the channels of the last read drawn with
// TgrapheOsc (CH1 blue, CH2 red) on its graticule, and the two vertical markers of the part
// of the record kept. The samples are copied, so a read that refills the buffers does not
// show until it is over.
#include "measure/graphe.h"

#include <QWidget>

class TZoneCourbes : public QWidget {
    Q_OBJECT
public:
    explicit TZoneCourbes(QWidget *parent = nullptr);

    // No record: the graticule alone.
    void efface();
    // The raw samples of the channels read, n per channel; nullptr for a channel left out
    // (inactive, switched off, not read). enveloppe: peak-detect record, samples 2j and
    // 2j + 1 are the minimum and maximum of slot j. The vertical range is that of the
    // samples shown, with a small margin.
    void montre(const qint32 *ch1, const qint32 *ch2, int n, bool enveloppe = false);
    // Markers at the record's sample indices debut and fin; sansMarques removes them.
    void marque(int debut, int fin);
    void sansMarques();

    bool aDesCourbes() const { return g_.NbrePoints > 0; }
    // The graph as last drawn: its mapping (GrandeurToEcran) gives where a sample lands.
    const TgrapheOsc &graphe() const { return g_; }
    // The rectangle the graph is drawn into, in the widget's pixels.
    TRectangle cadre() const;

    QSize sizeHint() const override { return {480, 360}; }
    QSize minimumSizeHint() const override { return {240, 180}; }

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    // The mapping for the current size, as DrawG sets it (for the tests before a paint).
    void cale();
    TgrapheOsc g_;
};
