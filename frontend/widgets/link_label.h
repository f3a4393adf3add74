#pragma once

#include <QLabel>

// A label that acts as a link: under the mouse its text is drawn in the
// highlight colour and underlined, otherwise in the window-text colour
// without underline; a click emits clicked().
class LinkLabel : public QLabel {
    Q_OBJECT

public:
    LinkLabel(const QString& text, const char* objectName, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void setHovered(bool hovered);
};
