#include "frontend/widgets/line_memo.h"

#include <QMouseEvent>
#include <QTextBlock>

QString LineMemo::currentLine() const
{
    return textCursor().block().text();
}

void LineMemo::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QPlainTextEdit::mouseDoubleClickEvent(event);
        return;
    }
    QTextCursor cursor = cursorForPosition(event->position().toPoint());
    cursor.movePosition(QTextCursor::StartOfBlock);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    event->accept();
}
