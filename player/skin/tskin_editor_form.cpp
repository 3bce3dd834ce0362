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
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
const QString kCaption = u"AZ Skin Editor"_s;
const QString kLabel1 = u"Background-Bitmap (best size: 600x260, 24Bit):"_s;
const QString kOpenFile = u"Open File"_s;
const QString kLabel4 = u"(The rectangle represents the area that is to be shown as the skin)"_s;
const QString kLabel5 = u"Rectangle-size:"_s;
const QString kGrow = u"+"_s;
const QString kShrink = u"-"_s;
const QString kLabel2 = u"Status-line Color:"_s;
const QString kLabel3 = u"Font-color:"_s;
const QString kLabel16 = u"Visualizer-Color:"_s;
const QString kVisEnabled = u"Visualizer enabled"_s;
const QString kLabel6 = u"Show Grid Hints:"_s;
const QString kLabel12 = u"Check for main device at startup:"_s;
const QString kReset = u"Reset"_s;
const QString kLabel11 = u"Keys:"_s;
const QString kKeyEnabled = u"enabled"_s;
const QString kLabel7 = u"Next Song:"_s;
const QString kLabel8 = u"Previous Song:"_s;
const QString kLabel9 = u"Play/Pause:"_s;
const QString kLabel10 = u"Stop:"_s;
const QString kLabel14 = u"Vol.do:"_s;
const QString kLabel15 = u"Vol.up:"_s;
const QString kEqualizer = u"Equalizer"_s;
const QString kAutoTag = u"AutoTag"_s;
const QString kSaveSkin = u"Save Skin"_s;
const QString kPreview = u"Preview"_s;
const QString kCancel = u"Cancel"_s;
const QString kLabel13 = u"Click a key field, then press the key it should take."_s;
const QString kPictureFilter = u"Bitmaps (*.bmp)"_s;
const QString kNotABitmap = u"\"%1\" is not a bitmap that can be read."_s;
const QString kCannotStore = u"\"%1\" could not be written. Is the program's folder writable?"_s;

const QString kInitialStatusLineColor = u"clBlack"_s;
const QString kInitialFontColor = u"clWhite"_s;
const QString kInitialVisColor = u"clWhite"_s;
const QString kOn = u"1"_s;

namespace Line = SkinLine;

template <typename T>
T *control(QWidget *parent, const QString &name, const QRect &rect)
{
    auto *c = new T(parent);
    c->setObjectName(name);
    c->setGeometry(rect);
    return c;
}

// Enter in a path or key field must not press a button.
QPushButton *button(QWidget *parent, const QString &name, const QString &caption, const QRect &rect)
{
    auto *b = namedButton(parent, name, caption, rect);
    b->setAutoDefault(false);
    return b;
}

QCheckBox *checkBox(QWidget *parent, const QString &name, const QString &caption, const QRect &rect)
{
    auto *c = control<QCheckBox>(parent, name, rect);
    c->setText(caption);
    return c;
}

// A colour box: the colour names, each with a swatch of its colour.
QComboBox *colorBox(QWidget *parent, const QString &name, const QStringList &names, const QString &initial,
                    const QRect &rect)
{
    auto *box = control<QComboBox>(parent, name, rect);
    const int side = rect.height() - 10;
    for (const QString &colorName : names) {
        QPixmap swatch(side, side);
        swatch.fill(toQColor(colorFromString(colorName)));
        box->addItem(QIcon(swatch), colorName);
    }
    box->setIconSize({side, side});
    box->setCurrentIndex(box->findText(initial, Qt::MatchExactly | Qt::MatchCaseSensitive));
    return box;
}

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

// A modifier key's own release still reports the modifier as held; taken
// alone, the key is no combination.
Qt::KeyboardModifiers withoutOwnModifier(int virtualKey, Qt::KeyboardModifiers held)
{
    switch (virtualKey) {
    case 16:
        return held & ~Qt::ShiftModifier;
    case 17:
        return held & ~Qt::ControlModifier;
    case 18:
        return held & ~Qt::AltModifier;
    default:
        return held;
    }
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

void Tskin_editor_form::createControls()
{
    Label1 = namedLabel(this, u"Label1"_s, kLabel1, {8, 8, 301, 16});
    bmppath = control<QLineEdit>(this, u"bmppath"_s, {8, 28, 218, 21});
    Button1 = button(this, u"Button1"_s, kOpenFile, {232, 26, 77, 25});

    Image1 = control<TImage>(this, u"Image1"_s, {14, 56, SkinEditor::PreviewWidth, SkinEditor::PreviewHeight});
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->hide();
    Image2 = control<TImage>(this, u"Image2"_s, {0, 0, 0, 0});
    Image2->hide();

    Label4 = namedLabel(this, u"Label4"_s, kLabel4, {4, 277, 309, 16});
    Label4->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    // The one line is wider than the window at the common size; a pixel
    // less keeps it whole.
    QFont narrow = font();
    narrow.setPixelSize(narrow.pixelSize() - 1);
    Label4->setFont(narrow);
    Label5 = namedLabel(this, u"Label5"_s, kLabel5, {8, 301, 100, 16});
    Button5 = button(this, u"Button5"_s, kGrow, {112, 297, 33, 25});
    Button6 = button(this, u"Button6"_s, kShrink, {150, 297, 33, 25});
    for (QPushButton *b : {Button5, Button6})
        b->setEnabled(false);
    replay_gain = new TReplayGainChoice(this);

    Label2 = namedLabel(this, u"Label2"_s, kLabel2, {8, 331, 100, 16});
    QStringList statusNames = standardColorNames();
    statusNames << extendedColorNames() << systemColorNames();
    status_line_color = colorBox(this, u"status_line_color"_s, statusNames, kInitialStatusLineColor,
                                 {112, 328, 197, 22});
    Label3 = namedLabel(this, u"Label3"_s, kLabel3, {8, 357, 100, 16});
    font_color = colorBox(this, u"font_color"_s, standardColorNames(), kInitialFontColor, {112, 354, 197, 22});
    Label16 = namedLabel(this, u"Label16"_s, kLabel16, {8, 383, 100, 16});
    vis_color = colorBox(this, u"vis_color"_s, standardColorNames(), kInitialVisColor, {112, 380, 197, 22});
    vis_enabled = checkBox(this, u"vis_enabled"_s, kVisEnabled, {112, 406, 197, 17});
    vis_enabled->setChecked(true);

    Label6 = namedLabel(this, u"Label6"_s, kLabel6, {8, 428, 196, 16});
    show_hint_box = checkBox(this, u"show_hint_box"_s, QString(), {208, 427, 20, 17});
    Label12 = namedLabel(this, u"Label12"_s, kLabel12, {8, 452, 196, 16});
    checkMainDev = checkBox(this, u"checkMainDev"_s, QString(), {208, 451, 20, 17});
    Button7 = button(this, u"Button7"_s, kReset, {240, 447, 69, 25});

    Label11 = namedLabel(this, u"Label11"_s, kLabel11, {8, 480, 60, 16});
    key_enabled = checkBox(this, u"key_enabled"_s, kKeyEnabled, {72, 479, 120, 17});

    // Two rows of three: name above edit, in the order of the hot keys.
    const std::array<std::pair<QLabel **, QLineEdit **>, kHotKeyCount> keys{
        {{&Label7, &next}, {&Label8, &prev}, {&Label9, &play}, {&Label10, &stop}, {&Label14, &voldown},
         {&Label15, &volup}}};
    const std::array<QString, kHotKeyCount> labelNames{u"Label7"_s, u"Label8"_s, u"Label9"_s,
                                                       u"Label10"_s, u"Label14"_s, u"Label15"_s};
    const std::array<QString, kHotKeyCount> editNames{u"next"_s, u"prev"_s, u"play"_s,
                                                      u"stop"_s, u"voldown"_s, u"volup"_s};
    const std::array<QString, kHotKeyCount> captions{kLabel7, kLabel8, kLabel9, kLabel10, kLabel14, kLabel15};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const int x = 8 + static_cast<int>(i % 3) * 101;
        const int y = 500 + static_cast<int>(i / 3) * 42;
        *keys[i].first = namedLabel(this, labelNames[i], captions[i], {x, y, 99, 16});
        QLineEdit *edit = control<QLineEdit>(this, editNames[i], {x, y + 17, 99, 21});
        // The edit shows the key's name; typing never goes in as text.
        edit->setReadOnly(true);
        edit->setContextMenuPolicy(Qt::NoContextMenu);
        edit->installEventFilter(this);
        *keys[i].second = edit;
    }

    Button9 = button(this, u"Button9"_s, kEqualizer, {8, 589, 148, 25});
    Button8 = button(this, u"Button8"_s, kAutoTag, {161, 589, 148, 25});
    Button3 = button(this, u"Button3"_s, kSaveSkin, {8, 619, 97, 25});
    Button2 = button(this, u"Button2"_s, kPreview, {110, 619, 97, 25});
    Button4 = button(this, u"Button4"_s, kCancel, {212, 619, 97, 25});
    for (QPushButton *b : {Button3, Button2})
        b->setEnabled(false);
    Label13 = namedLabel(this, u"Label13"_s, kLabel13, {4, 647, 309, 16});
    Label13->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);

    openpicture = new QFileDialog(this);
    openpicture->setObjectName(u"openpicture"_s);
    openpicture->setAcceptMode(QFileDialog::AcceptOpen);
    openpicture->setFileMode(QFileDialog::ExistingFile);
    openpicture->setNameFilter(kPictureFilter);
}

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

bool Tskin_editor_form::eventFilter(QObject *watched, QEvent *event)
{
    const auto edits = hotKeyEdits();
    const auto found = std::find(edits.begin(), edits.end(), watched);
    if (found == edits.end() || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease))
        return QDialog::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    // Tab keeps moving the focus; its release lands on the next edit and is
    // no choice of key.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
        return false;
    if (key->isAutoRepeat())
        return true;
    const int index = static_cast<int>(found - edits.begin());
    if (event->type() == QEvent::KeyPress) {
        hotKeyDown(index);
    } else {
        const int virtualKey = virtualKeyFromQtKey(key->key());
        hotKeyUp(index, virtualKey, withoutOwnModifier(virtualKey, key->modifiers()),
                 QGuiApplication::mouseButtons());
    }
    return true;
}

void Tskin_editor_form::hotKeyDown(int index)
{
    hotKeyEdits()[static_cast<std::size_t>(index)]->clear();
}

void Tskin_editor_form::hotKeyUp(int index, int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons)
{
    QLineEdit *edit = hotKeyEdits()[static_cast<std::size_t>(index)];
    const bool combination = shift & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier);
    if (combination || buttons != Qt::NoButton) {
        edit->clear();
        return;
    }
    edit->setText(keyName(key, false));
    if (links_.hotKeys)
        (*links_.hotKeys)[static_cast<std::size_t>(index)] = key;
}

void Tskin_editor_form::nextKeyDown() { hotKeyDown(HotKey::Next); }
void Tskin_editor_form::prevKeyDown() { hotKeyDown(HotKey::Previous); }
void Tskin_editor_form::playKeyDown() { hotKeyDown(HotKey::PlayPause); }
void Tskin_editor_form::stopKeyDown() { hotKeyDown(HotKey::Stop); }
void Tskin_editor_form::voldownKeyDown() { hotKeyDown(HotKey::VolumeDown); }
void Tskin_editor_form::volupKeyDown() { hotKeyDown(HotKey::VolumeUp); }

void Tskin_editor_form::nextKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons)
{
    hotKeyUp(HotKey::Next, key, shift, buttons);
}
void Tskin_editor_form::prevKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons)
{
    hotKeyUp(HotKey::Previous, key, shift, buttons);
}
void Tskin_editor_form::playKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons)
{
    hotKeyUp(HotKey::PlayPause, key, shift, buttons);
}
void Tskin_editor_form::stopKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons)
{
    hotKeyUp(HotKey::Stop, key, shift, buttons);
}
void Tskin_editor_form::voldownKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons)
{
    hotKeyUp(HotKey::VolumeDown, key, shift, buttons);
}
void Tskin_editor_form::volupKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons)
{
    hotKeyUp(HotKey::VolumeUp, key, shift, buttons);
}
