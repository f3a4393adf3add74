#pragma once

#include <QPlainTextEdit>

// A memo of one item per line (passphrases): a double-click selects the
// whole line, whatever characters it holds, rather than one word of it.
class LineMemo : public QPlainTextEdit {
    Q_OBJECT

public:
    using QPlainTextEdit::QPlainTextEdit;

    // The line the cursor is in, without its line end.
    QString currentLine() const;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};
