#pragma once

#include <QDialog>

#include <optional>

class QPushButton;
class QSlider;

// The compression-level dialog: changes the level of one input-list entry.
class TfmChangeCompLevel : public QDialog {
    Q_OBJECT

public:
    explicit TfmChangeCompLevel(QWidget* parent = nullptr);

    // Shows the dialog modally with the track bar at `currentLevel`; the
    // chosen level on OK, nothing on Cancel.
    std::optional<int> chooseLevel(int currentLevel);

    QSlider* tbNewCompLevel;
    QPushButton* bbOK;
    QPushButton* bbCancel;
};
