#include "export/groupechoix.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

TGroupeChoix::TGroupeChoix(const QString &titre, int colonnes, QWidget *parent)
    : QGroupBox(titre, parent), colonnes_(std::max(colonnes, 1)), grille_(new QGridLayout(this)),
      groupe_(new QButtonGroup(this))
{
    groupe_->setExclusive(true);
    connect(groupe_, &QButtonGroup::idClicked, this, &TGroupeChoix::clicked);
}

void TGroupeChoix::setItems(const QStringList &items)
{
    const int courant = itemIndex();
    while (!boutons_.isEmpty())
        removeItem(int(boutons_.size()) - 1);
    for (const QString &t : items)
        addItem(t);
    setItemIndex(courant);
}

QStringList TGroupeChoix::items() const
{
    QStringList l;
    for (const QRadioButton *b : boutons_)
        l << b->text();
    return l;
}

void TGroupeChoix::addItem(const QString &texte)
{
    auto *b = new QRadioButton(texte, this);
    groupe_->addButton(b, int(boutons_.size()));
    boutons_.append(b);
    place();
}

void TGroupeChoix::removeItem(int index)
{
    if (index < 0 || index >= count())
        return;
    QRadioButton *b = boutons_.takeAt(index);
    groupe_->removeButton(b);
    grille_->removeWidget(b);
    delete b;
    for (int i = 0; i < count(); ++i)
        groupe_->setId(boutons_[i], i);
    place();
}

void TGroupeChoix::setItemText(int index, const QString &texte)
{
    if (QRadioButton *b = bouton(index))
        b->setText(texte);
}

void TGroupeChoix::place()
{
    for (QRadioButton *b : boutons_)
        grille_->removeWidget(b);
    // Column-major as in a radio group with columns: items fill a column before the next.
    const int n = count();
    const int lignes = (n + colonnes_ - 1) / colonnes_;
    for (int i = 0; i < n; ++i)
        grille_->addWidget(boutons_[i], lignes ? i % lignes : 0, lignes ? i / lignes : 0);
}

int TGroupeChoix::itemIndex() const { return groupe_->checkedId(); }

void TGroupeChoix::setItemIndex(int index)
{
    if (QRadioButton *b = bouton(index)) {
        b->setChecked(true);
        return;
    }
    // Nothing checked: an exclusive group keeps one, so release it for a moment.
    if (QAbstractButton *c = groupe_->checkedButton()) {
        groupe_->setExclusive(false);
        c->setChecked(false);
        groupe_->setExclusive(true);
    }
}

QRadioButton *TGroupeChoix::bouton(int index) const
{
    return index >= 0 && index < count() ? boutons_[index] : nullptr;
}
