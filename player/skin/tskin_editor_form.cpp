#include "tskin_editor_form.h"

#include "colorstrings.h"
#include "defaultskin.h"
#include "formcontrols.h"
#include "keynames.h"
#include "options.h"
#include "replaygainchoice.h"
#include "skindisplay.h"
#include "timage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>

using namespace Qt::StringLiterals;

namespace {
const QString kCaption = u"AZ Skin Editor"_s;
const QString kNotABitmap = u"\"%1\" is not a bitmap that can be read."_s;
const QString kCannotStore = u"\"%1\" could not be written. Is the program's folder writable?"_s;
const QString kOn = u"1"_s;

namespace Line = SkinLine;

quint32 colorOf(const QComboBox *box)
{
    return colorFromString(box->currentText());
}

// The first entry named exactly so; a name not in the box (a number, say)
// leaves the selection as it was.
void selectColor(QComboBox *box, const QString &name)
{
    const int index = box->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        box->setCurrentIndex(index);
}

} // namespace

Tskin_editor_form::Tskin_editor_form(TSkinEditorLinks links, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      links_(std::move(links))
{
    setObjectName(u"skin_editor_form"_s);
    setWindowTitle(kCaption);
    setFont(uiFont());
    setFixedSize(kClientWidth, kClientHeight);
    createControls();
    connectEvents();
}

Tskin_editor_form::~Tskin_editor_form() = default;

void Tskin_editor_form::connectEvents()
{
    connect(bmppath, &QLineEdit::textChanged, this, [this] { bmppathChange(); });
    const std::array<std::pair<QPushButton *, void (Tskin_editor_form::*)()>, 9> clicks{{
        {Button1, &Tskin_editor_form::Button1Click},
        {Button2, &Tskin_editor_form::Button2Click},
        {Button3, &Tskin_editor_form::Button3Click},
        {Button4, &Tskin_editor_form::Button4Click},
        {Button5, &Tskin_editor_form::Button5Click},
        {Button6, &Tskin_editor_form::Button6Click},
        {Button7, &Tskin_editor_form::Button7Click},
        {Button8, &Tskin_editor_form::Button8Click},
        {Button9, &Tskin_editor_form::Button9Click},
    }};
    for (const auto &[b, handler] : clicks)
        connect(b, &QPushButton::clicked, this, [this, handler = handler] { (this->*handler)(); });
    connect(Image1, &TImage::mouseDown, this, &Tskin_editor_form::Image1MouseDown);
    connect(Image1, &TImage::mouseMove, this, &Tskin_editor_form::Image1MouseMove);
    connect(Image1, &TImage::mouseUp, this, &Tskin_editor_form::Image1MouseUp);
}

void Tskin_editor_form::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tskin_editor_form::FormShow()
{
    // Opening always starts from the installed skin picture, also when the
    // edit already names it.
    const QString picture = programDir() + kSkinPictureFileName;
    if (bmppath->text() == picture)
        bmppathChange();
    else
        bmppath->setText(picture);
    TStringListC lines;
    lines.LoadFromFile(programDir() + kSkinSettingsFileName);
    showSkinSettings(lines);
}

void Tskin_editor_form::showSkinSettings(const QStringList &lines)
{
    const auto line = [&lines](int index) { return index < lines.size() ? lines.at(index) : QString(); };
    selectColor(status_line_color, line(Line::BarColor));
    selectColor(font_color, line(Line::FontColor));
    selectColor(vis_color, line(Line::SpectrumColor));
    show_hint_box->setChecked(line(Line::ShowGridHints) == kOn);
    vis_enabled->setChecked(line(Line::SpectrumOn) == kOn);
    key_enabled->setChecked(line(Line::HotKeysOn) == kOn);
    checkMainDev->setChecked(line(Line::CheckDefaultPlayer) == kOn);
    replay_gain->setMode(TSkinSettings::fromLines(lines).replayGain);
    const auto edits = hotKeyEdits();
    for (int i = 0; i < kHotKeyCount; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        bool ok = false;
        const int code = line(Line::FirstHotKey + i).trimmed().toInt(&ok);
        // Codes are 16-bit; a line that is no number keeps the code.
        if (ok && links_.hotKeys)
            (*links_.hotKeys)[slot] = code & 0xFFFF;
        if (links_.hotKeys)
            edits[slot]->setText(keyName((*links_.hotKeys)[slot], false));
    }
    for (int i = 0; i < kPreviousFileTypeCount; ++i)
        previousFileTypes_[static_cast<std::size_t>(i)] = line(Line::FirstFileType + i);
}

void Tskin_editor_form::FormClose()
{
    // The stored skin comes back whatever way the window closes: an unsaved
    // preview goes, and the hot keys act (or rest) as stored.
    if (links_.loadSkin)
        links_.loadSkin(true);
}

void Tskin_editor_form::done(int result)
{
    QDialog::done(result);
    FormClose();
}

void Tskin_editor_form::bmppathChange()
{
    const QString path = bmppath->text();
    if (!QFileInfo(path).isFile())
        return;
    QImage source;
    if (!loadSkinPicture(path, source)) {
        report(kNotABitmap.arg(QDir::toNativeSeparators(path)));
        return;
    }
    Image2->setPicture(source);
    Image2->resize(source.size());
    Image1->show();
    for (QPushButton *b : {Button5, Button6, Button3, Button2})
        b->setEnabled(true);
    geometry_.pictureLoaded(source.width(), source.height());
    drawPreview();
}

void Tskin_editor_form::drawPreview()
{
    Image1->setPicture(::drawPreview(Image2->picture(), geometry_));
    Image1->changed();
}

QImage Tskin_editor_form::cropSkin() const
{
    return ::cropSkin(Image2->picture(), geometry_);
}

void Tskin_editor_form::Button1Click()
{
    if (openpicture->exec() == QDialog::Accepted && !openpicture->selectedFiles().isEmpty())
        bmppath->setText(openpicture->selectedFiles().constFirst());
}

void Tskin_editor_form::Button2Click()
{
    if (links_.skinApplied)
        links_.skinApplied(cropSkin(), colorOf(status_line_color), colorOf(font_color), colorOf(vis_color),
                           vis_enabled->isChecked());
}

void Tskin_editor_form::Button3Click()
{
    const QString picturePath = programDir() + kSkinPictureFileName;
    if (!saveSkinPicture(cropSkin(), picturePath)) {
        report(kCannotStore.arg(QDir::toNativeSeparators(picturePath)));
        return;
    }
    if (saveSkinSettings())
        close();
}

void Tskin_editor_form::Button4Click()
{
    close();
}

void Tskin_editor_form::Button5Click()
{
    geometry_.grow();
    drawPreview();
}

void Tskin_editor_form::Button6Click()
{
    geometry_.shrink();
    drawPreview();
}

void Tskin_editor_form::Button7Click()
{
    if (links_.resetFileTypes)
        links_.resetFileTypes(previousFileTypes_);
}

void Tskin_editor_form::Button8Click()
{
    if (links_.openAutoTag)
        links_.openAutoTag();
}

void Tskin_editor_form::Button9Click()
{
    if (links_.openEqualizer)
        links_.openEqualizer([this] { saveSkinSettings(); });
}

void Tskin_editor_form::Image1MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)
{
    geometry_.mouseDown(x, y);
}

void Tskin_editor_form::Image1MouseMove(Qt::KeyboardModifiers, int x, int y)
{
    if (!geometry_.dragging())
        return;
    geometry_.mouseMove(x, y);
    drawPreview();
}

void Tskin_editor_form::Image1MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int)
{
    geometry_.mouseUp();
}

bool Tskin_editor_form::saveSkinSettings()
{
    TSkinSettings s;
    s.barColor = colorOf(status_line_color);
    s.fontColor = colorOf(font_color);
    s.showGridHints = show_hint_box->isChecked();
    if (links_.hotKeys)
        s.hotKeys = *links_.hotKeys;
    s.hotKeysOn = key_enabled->isChecked();
    s.previousFileTypes = previousFileTypes_;
    s.checkDefaultPlayer = checkMainDev->isChecked();
    s.equalizer.fill(TSkinSettings::defaults().equalizer.front());
    if (links_.readEqualizer)
        links_.readEqualizer(s.equalizer, s.equalizerOn);
    s.spectrumColor = colorOf(vis_color);
    s.spectrumOn = vis_enabled->isChecked();
    s.replayGain = replay_gain->mode();
    const QString path = programDir() + kSkinSettingsFileName;
    if (s.saveToFile(path))
        return true;
    report(kCannotStore.arg(QDir::toNativeSeparators(path)));
    return false;
}

void Tskin_editor_form::report(const QString &text)
{
    if (links_.report)
        links_.report(this, kCaption, text);
    else
        QMessageBox::warning(this, kCaption, text);
}
