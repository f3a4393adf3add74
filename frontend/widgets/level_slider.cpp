#include "frontend/widgets/level_slider.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>

QHBoxLayout* withLevelShown(QSlider* slider, const char* labelName, QWidget* parent)
{
    auto* level = new QLabel(parent);
    level->setObjectName(QString::fromLatin1(labelName));
    level->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    level->setMinimumWidth(level->fontMetrics().horizontalAdvance(QStringLiteral("00")));
    level->setNum(slider->value());
    QObject::connect(slider, &QSlider::valueChanged, level, qOverload<int>(&QLabel::setNum));
    auto* row = new QHBoxLayout;
    row->addWidget(slider, 1);
    row->addWidget(level);
    return row;
}
