#pragma once

#include <QDialog>

// The "AZ Skin Editor" window (fixed single border, close button only, client area 317 by 665). Created once at
// start-up, shown when needed; its controls come with the code that runs it.
class Tskin_editor_form : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 317;
    static constexpr int kClientHeight = 665;

    explicit Tskin_editor_form(QWidget *parent = nullptr);
};
