#pragma once

#include <QProxyStyle>

// The application's style with "*" as the mask character of password
// fields, as the passphrase fields show it.
class AsteriskMaskStyle : public QProxyStyle {
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
};
