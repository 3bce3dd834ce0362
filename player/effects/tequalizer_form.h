#pragma once

// The "Equalizer" window (fixed border, close button only, client area 330 by
// 230): seven vertical sliders, band 1 at the left, their captions, the
// "Active" switch and "Reset". Created once at start-up and shown when
// needed; the band work is the equalizer's (equalizer.h), which exists
// before this window does.

#include "equalizer.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

class Tequalizer_form : public QDialog, private TEqualizerView
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 330;
    static constexpr int kClientHeight = 230;

    explicit Tequalizer_form(TEqualizer &equalizer, QWidget *parent = nullptr);
    ~Tequalizer_form() override;

    void setEqualizer(audio::Handle stream);
    void loadDefault(const std::array<int, Equalizer::BandCount> &positions, bool on);
    // What runs when the window closes, whichever way it is closed.
    void setSaveFunc(std::function<void()> save);

    void activeClick();
    void f1Change();
    void f2Change();
    void f3Change();
    void f4Change();
    void f5Change();
    void f6Change();
    void f7Change();
    void Button1Click();
    void FormClose();

    // The sliders in band order.
    std::array<QSlider *, Equalizer::BandCount> sliders() const { return {f1, f2, f3, f4, f5, f6, f7}; }

    QSlider *f1 = nullptr;
    QSlider *f2 = nullptr;
    QSlider *f3 = nullptr;
    QSlider *f4 = nullptr;
    QSlider *f5 = nullptr;
    QSlider *f6 = nullptr;
    QSlider *f7 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label8 = nullptr;
    QCheckBox *active = nullptr;
    QPushButton *Button1 = nullptr;

public Q_SLOTS:
    void done(int result) override;

private:
    void bandChange(int band);
    bool activeChecked() const override;
    int bandPosition(int band) const override;
    void setBandPosition(int band, int position) override;
    void setActiveChecked(bool on) override;

    QPointer<TEqualizer> equalizer_;
};
