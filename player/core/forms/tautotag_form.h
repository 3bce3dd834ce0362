#pragma once

#include <QDialog>

// The "AutoTag" window (fixed single border with the system menu only, client area 790 by 390). Created once at
// start-up, shown when needed; its controls come with the code that runs it.
class Tautotag_form : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 790;
    static constexpr int kClientHeight = 390;

    explicit Tautotag_form(QWidget *parent = nullptr);
};
