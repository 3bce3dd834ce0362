// The skin editor's controls: their captions, places and first settings.

#include "tskin_editor_form.h"

#include "colorstrings.h"
#include "formcontrols.h"
#include "replaygainchoice.h"
#include "timage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {
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

const QString kInitialStatusLineColor = u"clBlack"_s;
const QString kInitialFontColor = u"clWhite"_s;
const QString kInitialVisColor = u"clWhite"_s;

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

} // namespace

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
