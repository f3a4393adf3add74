#pragma once

#include <QSpinBox>

// A number field with its up-down: typed characters other than the digits
// are dropped (backspace and the editing keys still work), and a number
// outside the range is taken as the nearest end of it, so an empty or
// out-of-range field never stops the dialog.
class NumberField : public QSpinBox {
    Q_OBJECT

public:
    // The spin box is named `upDownName`, its edit field `fieldName`.
    NumberField(const char* upDownName, const char* fieldName, int minimum, int maximum,
                QWidget* parent = nullptr);

    // The number in force: the field's text, clamped into the range.
    int number();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
