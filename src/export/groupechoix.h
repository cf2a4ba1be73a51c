#pragma once
// A titled group of mutually exclusive choices laid out in columns, read and set by index.
#include <QGroupBox>
#include <QList>
#include <QStringList>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

class TGroupeChoix : public QGroupBox {
    Q_OBJECT
public:
    explicit TGroupeChoix(const QString &titre, int colonnes = 1, QWidget *parent = nullptr);

    void setItems(const QStringList &items);
    QStringList items() const;
    int count() const { return int(boutons_.size()); }
    void addItem(const QString &texte);
    void removeItem(int index);
    void setItemText(int index, const QString &texte);

    // -1 when nothing is selected.
    int itemIndex() const;
    // Out of range: nothing selected.
    void setItemIndex(int index);
    QRadioButton *bouton(int index) const;

signals:
    // A choice made by the user (not by setItemIndex).
    void clicked(int index);

private:
    void place();
    int colonnes_;
    QGridLayout *grille_;
    QButtonGroup *groupe_;
    QList<QRadioButton *> boutons_;
};
