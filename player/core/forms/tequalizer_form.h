#pragma once

#include <QDialog>

// The "Equalizer" window (fixed border, close button only, client area 330 by 230). Created once at
// start-up, shown when needed; its controls come with the code that runs it.
class Tequalizer_form : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 330;
    static constexpr int kClientHeight = 230;

    explicit Tequalizer_form(QWidget *parent = nullptr);
};
