#include "frontend/widgets/read_only_look.h"

#include <QPalette>
#include <QWidget>

void showAsReadOnly(QWidget* field)
{
    QPalette palette = field->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Base, palette.color(group, QPalette::Window));
    field->setPalette(palette);
}
