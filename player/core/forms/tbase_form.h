#pragma once

#include <QDialog>

// The "Choose Directory" window (fixed dialog frame without title-bar buttons, client area 420 by 185). Created once at
// start-up, shown when needed; its controls come with the code that runs it.
class Tbase_form : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 420;
    static constexpr int kClientHeight = 185;

    explicit Tbase_form(QWidget *parent = nullptr);
};
