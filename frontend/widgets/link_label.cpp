#include "frontend/widgets/link_label.h"

#include <QMouseEvent>

LinkLabel::LinkLabel(const QString& text, const char* objectName, QWidget* parent)
    : QLabel(text, parent)
{
    setObjectName(QString::fromLatin1(objectName));
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    setHovered(false);
}

void LinkLabel::setHovered(bool hovered)
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText,
                     QPalette().color(hovered ? QPalette::Highlight : QPalette::WindowText));
    setPalette(colours);
    QFont shape = font();
    shape.setUnderline(hovered);
    setFont(shape);
}

void LinkLabel::enterEvent(QEnterEvent* event)
{
    setHovered(true);
    QLabel::enterEvent(event);
}

void LinkLabel::leaveEvent(QEvent* event)
{
    setHovered(false);
    QLabel::leaveEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}
