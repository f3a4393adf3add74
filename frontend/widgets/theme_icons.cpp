#include "frontend/widgets/theme_icons.h"

#include <QApplication>

void installIconThemeFallback()
{
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
}

QIcon themeIcon(const char* name, QStyle::StandardPixmap styleFallback)
{
    const QString themeName = QString::fromLatin1(name);
    if (QIcon::hasThemeIcon(themeName))
        return QIcon::fromTheme(themeName);
    return QApplication::style()->standardIcon(styleFallback);
}
