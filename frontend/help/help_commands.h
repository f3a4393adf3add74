#pragma once

class QWidget;

// The Help menu's commands, shared with the About box's link labels. When
// the desktop has no program for the address, a message box says so.
void openHomePage(QWidget* owner);
// A mail to the contact address, its subject the full version line.
void writeMailToAuthor(QWidget* owner);
// Asks the update host on the GUI thread (the window waits) and shows the
// answer in a message box.
void checkForUpdates(QWidget* owner);
