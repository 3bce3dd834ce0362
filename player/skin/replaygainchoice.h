#pragma once

// The skin editor's choice of loudness levelling: a caption and a box with
// the three modes, in the free room beside the rectangle-size buttons.

#include "skinsettings.h"

#include <QWidget>

class QComboBox;
class QLabel;

class TReplayGainChoice : public QWidget
{
    Q_OBJECT

public:
    explicit TReplayGainChoice(QWidget *parent);

    ReplayGainMode mode() const;
    void setMode(ReplayGainMode mode);

    QLabel *caption() const { return caption_; }
    QComboBox *box() const { return box_; }

private:
    QLabel *caption_;
    QComboBox *box_;
};
