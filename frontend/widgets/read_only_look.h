#pragma once

class QWidget;

// A field the user reads but cannot change is drawn on the window's
// background, as the desktop draws read-only fields, not as an input.
void showAsReadOnly(QWidget* field);
