#pragma once

#include <QDialog>

class LinkLabel;
class QLabel;
class QPushButton;

// The About box (form `fmAbout`): version, notice, and the home page and
// contact address as links.
class TfmAbout : public QDialog {
    Q_OBJECT

public:
    explicit TfmAbout(QWidget* parent = nullptr);

    QLabel* imLogo;
    QLabel* lbFullVersion;
    LinkLabel* lbMyURL;
    LinkLabel* lbMyEmail;
    QPushButton* bbOK;
};
