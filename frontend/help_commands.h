#pragma once

class QWidget;

// The Help menu's commands, shared with the About box's link labels.
void openHomePage();
// A mail to the contact address, its subject the full version line.
void writeMailToAuthor();
// Asks the update host on the GUI thread (the window waits) and shows the
// answer in a message box.
void checkForUpdates(QWidget* owner);
