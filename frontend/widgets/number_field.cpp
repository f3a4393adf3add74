#include "frontend/widgets/number_field.h"

#include <QKeyEvent>
#include <QLineEdit>

NumberField::NumberField(const char* upDownName, const char* fieldName, int minimum, int maximum,
                         QWidget* parent)
    : QSpinBox(parent)
{
    setObjectName(QString::fromLatin1(upDownName));
    lineEdit()->setObjectName(QString::fromLatin1(fieldName));
    setRange(minimum, maximum);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    lineEdit()->installEventFilter(this);
}

int NumberField::number()
{
    interpretText();
    return value();
}

bool NumberField::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        const bool printable = !typed.isEmpty() && typed.at(0).isPrint();
        if (printable && !(typed.size() == 1 && typed.at(0) >= QLatin1Char('0') && typed.at(0) <= QLatin1Char('9')))
            return true;
    }
    return QSpinBox::eventFilter(watched, event);
}
