#include "frontend/widgets/radio_group.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QRadioButton>

RadioGroup::RadioGroup(const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent), buttons_(new QButtonGroup(this))
{
    auto* row = new QHBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items.at(i), this);
        buttons_->addButton(button, i);
        row->addWidget(button, 1);
    }
}

int RadioGroup::itemIndex() const
{
    return buttons_->checkedId();
}

void RadioGroup::setItemIndex(int index)
{
    if (QAbstractButton* target = buttons_->button(index))
        target->setChecked(true);
}

QRadioButton* RadioGroup::button(int index) const
{
    return qobject_cast<QRadioButton*>(buttons_->button(index));
}
