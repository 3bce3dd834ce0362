#include "tequalizer_form.h"

#include "skindisplay.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

using namespace Qt::StringLiterals;

namespace {
const QString kCaption = u"Equalizer"_s;
const QString kActiveCaption = u"Active"_s;
const QString kResetCaption = u"Reset"_s;
// Band 1 is centred on 125 Hz but has always been labelled "100".
const std::array<const char16_t *, Equalizer::BandCount> kBandCaptions{u"100", u"250", u"500", u"1000",
                                                                        u"2000", u"4000", u"8000"};

constexpr int kSliderLeft = 17;
constexpr int kSliderTop = 8;
constexpr int kColumnWidth = 44;
constexpr int kSliderWidth = 32;
constexpr int kSliderHeight = 150;
constexpr int kCaptionTop = kSliderTop + kSliderHeight + 2;
constexpr int kCaptionHeight = 16;
constexpr QRect kActiveRect(17, 196, 100, 20);
constexpr QRect kResetRect(238, 193, 75, 25);

QSlider *bandSlider(QWidget *parent, int band)
{
    auto *slider = new QSlider(Qt::Vertical, parent);
    slider->setObjectName(u"f"_s + QString::number(band + 1));
    slider->setGeometry(kSliderLeft + band * kColumnWidth, kSliderTop, kSliderWidth, kSliderHeight);
    slider->setRange(Equalizer::SliderMinimum, Equalizer::SliderMaximum);
    slider->setValue(Equalizer::SliderFlat);
    slider->setSingleStep(1);
    slider->setPageStep(3);
    slider->setTickPosition(QSlider::TicksBothSides);
    slider->setTickInterval(1);
    // Position 0 is the top end (+15 dB); the arrow keys and the wheel move
    // the handle the way they point.
    slider->setInvertedAppearance(true);
    slider->setInvertedControls(true);
    return slider;
}

QLabel *bandCaption(QWidget *parent, int band)
{
    auto *label = new QLabel(QString::fromUtf16(kBandCaptions[static_cast<std::size_t>(band)]), parent);
    label->setObjectName(u"Label"_s + QString::number(band + 2));
    label->setGeometry(kSliderLeft + band * kColumnWidth - (kColumnWidth - kSliderWidth) / 2, kCaptionTop,
                       kColumnWidth, kCaptionHeight);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    return label;
}
} // namespace

Tequalizer_form::Tequalizer_form(TEqualizer &equalizer, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      equalizer_(&equalizer)
{
    setObjectName(u"equalizer_form"_s);
    setWindowTitle(kCaption);
    setFont(uiFont());
    setFixedSize(kClientWidth, kClientHeight);

    std::array<QSlider **, Equalizer::BandCount> sliderSlots{&f1, &f2, &f3, &f4, &f5, &f6, &f7};
    std::array<QLabel **, Equalizer::BandCount> captions{&Label2, &Label3, &Label4, &Label5,
                                                         &Label6, &Label7, &Label8};
    const std::array<void (Tequalizer_form::*)(), Equalizer::BandCount> handlers{
        &Tequalizer_form::f1Change, &Tequalizer_form::f2Change, &Tequalizer_form::f3Change,
        &Tequalizer_form::f4Change, &Tequalizer_form::f5Change, &Tequalizer_form::f6Change,
        &Tequalizer_form::f7Change};
    for (int band = 0; band < Equalizer::BandCount; ++band) {
        const auto i = static_cast<std::size_t>(band);
        *sliderSlots[i] = bandSlider(this, band);
        *captions[i] = bandCaption(this, band);
        connect(*sliderSlots[i], &QSlider::valueChanged, this, handlers[i]);
    }

    active = new QCheckBox(kActiveCaption, this);
    active->setObjectName(u"active"_s);
    active->setGeometry(kActiveRect);
    // Also a change made by loadDefault switches the bands.
    connect(active, &QCheckBox::toggled, this, &Tequalizer_form::activeClick);

    Button1 = new QPushButton(kResetCaption, this);
    Button1->setObjectName(u"Button1"_s);
    Button1->setGeometry(kResetRect);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &Tequalizer_form::Button1Click);

    equalizer.attach(this);
}

Tequalizer_form::~Tequalizer_form()
{
    if (equalizer_)
        equalizer_->attach(nullptr);
}

void Tequalizer_form::setEqualizer(audio::Handle stream)
{
    if (equalizer_)
        equalizer_->setEqualizer(stream);
}

void Tequalizer_form::loadDefault(const std::array<int, Equalizer::BandCount> &positions, bool on)
{
    if (equalizer_)
        equalizer_->loadDefault(positions, on);
}

void Tequalizer_form::setSaveFunc(std::function<void()> save)
{
    if (equalizer_)
        equalizer_->setSaveFunc(std::move(save));
}

void Tequalizer_form::activeClick()
{
    if (equalizer_)
        equalizer_->activeClick();
}

// Slider N moved, by the user, by stored settings or by Reset.
void Tequalizer_form::f1Change() { bandChange(0); }
void Tequalizer_form::f2Change() { bandChange(1); }
void Tequalizer_form::f3Change() { bandChange(2); }
void Tequalizer_form::f4Change() { bandChange(3); }
void Tequalizer_form::f5Change() { bandChange(4); }
void Tequalizer_form::f6Change() { bandChange(5); }
void Tequalizer_form::f7Change() { bandChange(6); }

void Tequalizer_form::bandChange(int band)
{
    if (equalizer_)
        equalizer_->bandChange(band);
}

void Tequalizer_form::Button1Click()
{
    for (QSlider *slider : sliders())
        slider->setValue(Equalizer::SliderFlat);
}

void Tequalizer_form::FormClose()
{
    if (equalizer_)
        equalizer_->runSaveFunc();
}

void Tequalizer_form::done(int result)
{
    // Closing by the title bar, Escape or a program call all end here.
    FormClose();
    QDialog::done(result);
}

bool Tequalizer_form::activeChecked() const
{
    return active->isChecked();
}

int Tequalizer_form::bandPosition(int band) const
{
    return sliders()[static_cast<std::size_t>(band)]->value();
}

void Tequalizer_form::setBandPosition(int band, int position)
{
    sliders()[static_cast<std::size_t>(band)]->setValue(position);
}

void Tequalizer_form::setActiveChecked(bool on)
{
    active->setChecked(on);
}
