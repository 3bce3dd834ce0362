#include "replaygainchoice.h"

#include "formcontrols.h"

#include <QComboBox>
#include <QLabel>

using namespace Qt::StringLiterals;

namespace {
const QString kCaption = u"Gain:"_s;
const QString kToolTip = u"ReplayGain: level songs by their stored loudness, per track or per album"_s;
// To the right of the "-" button, up to the window's right margin.
const QRect kPlace{187, 297, 122, 25};
} // namespace

TReplayGainChoice::TReplayGainChoice(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(u"replay_gain_choice"_s);
    setGeometry(kPlace);
    caption_ = namedLabel(this, u"Label17"_s, kCaption, {0, 4, 34, 16});
    box_ = new QComboBox(this);
    box_->setObjectName(u"replay_gain"_s);
    box_->setGeometry(36, 1, kPlace.width() - 36, 22);
    // In the order of the stored values 0, 1 and 2.
    box_->addItems({u"Off"_s, u"Track"_s, u"Album"_s});
    caption_->setBuddy(box_);
    for (QWidget *w : {static_cast<QWidget *>(caption_), static_cast<QWidget *>(box_)})
        w->setToolTip(kToolTip);
}

ReplayGainMode TReplayGainChoice::mode() const
{
    return static_cast<ReplayGainMode>(box_->currentIndex());
}

void TReplayGainChoice::setMode(ReplayGainMode mode)
{
    box_->setCurrentIndex(static_cast<int>(mode));
}
