#pragma once

#include <QDialog>

// The "Add Radio" window (fixed single border, no system buttons, client area 300 by 105). Created once at
// start-up, shown when needed; its controls come with the code that runs it.
class Tradio_form : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 300;
    static constexpr int kClientHeight = 105;

    explicit Tradio_form(QWidget *parent = nullptr);
};
