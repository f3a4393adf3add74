#pragma once

class QHBoxLayout;
class QLabel;
class QSlider;
class QWidget;

// A compression-level slider with its level shown beside it, so that the
// number is read, not counted in ticks.
QHBoxLayout* withLevelShown(QSlider* slider, const char* labelName, QWidget* parent);
