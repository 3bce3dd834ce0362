#include "skindisplay.h"

#include "colorstrings.h"
#include "timage.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace DisplayField {
const QString Nr = u"nr"_s;
const QString Interpret = u"interpret"_s;
const QString Title = u"title"_s;
const QString Album = u"album"_s;
const QString Time = u"time"_s;
} // namespace DisplayField

const QString kDisplayFontFamily = u"Times New Roman"_s;

namespace {

constexpr int kDefaultPointSize = 16;
constexpr int kUiPointSize = 8;
// The skin's pixel layout was made for fonts measured at 96 dots per inch.
constexpr int kLayoutDpi = 96;
constexpr int kPointsPerInch = 72;

// Two digits with a leading zero below ten.
QString twoDigits(quint32 value)
{
    return u"%1"_s.arg(value, 2, 10, QChar(u'0'));
}

} // namespace

const std::array<TSkinDisplay::Field, 5> &TSkinDisplay::fields()
{
    // "nr" centres over 129 pixels although its rectangle is 128 wide, and the
    // title text starts two pixels above its rectangle: both belong to the
    // layout every skin was drawn for.
    static const std::array<Field, 5> table{{
        {DisplayField::Nr, QRect(0, 11, 128, 29), 16, 0, 13, 129},
        {DisplayField::Interpret, QRect(8, 77, 592, 24), 12, 11, 80, 0},
        {DisplayField::Title, QRect(8, 101, 592, 23), 16, 11, 99, 0},
        {DisplayField::Album, QRect(8, 124, 592, 20), 12, 11, 122, 0},
        {DisplayField::Time, QRect(138, 13, 236, 29), 16, 138, 13, 236},
    }};
    return table;
}

QFont TSkinDisplay::fieldFont(int pointSize)
{
    QFont font(kDisplayFontFamily);
    // Rounded the way point sizes were always turned into pixels at 96 DPI:
    // 16 points are 21 pixels, 12 points 16.
    font.setPixelSize((pointSize * kLayoutDpi + kPointsPerInch / 2) / kPointsPerInch);
    return font;
}

QPoint TSkinDisplay::textPosition(const Field &field, const QString &text)
{
    if (field.centreSpan == 0)
        return {field.textX, field.textY};
    const int w = QFontMetrics(fieldFont(field.pointSize)).horizontalAdvance(text);
    // Integer division truncating toward zero: a text wider than the span
    // starts a little to the left.
    return {field.textX + (field.centreSpan - w) / 2, field.textY};
}

void TSkinDisplay::initDisplay(TImage *image, quint32 fontColor)
{
    image_ = image;
    if (image_ == nullptr)
        return;
    TCanvasState &canvas = image_->canvas();
    canvas.penColor = Qt::black;
    canvas.brushColor = Qt::black;
    canvas.brushSolid = true;
    canvas.fontColor = toQColor(fontColor);
    canvas.font = fieldFont(kDefaultPointSize);
    const QImage &picture = image_->picture();
    for (std::size_t i = 0; i < fields().size(); ++i)
        backgrounds_[i] = picture.copy(fields()[i].background);
}

void TSkinDisplay::drawField(const QString &fieldName, const QString &text)
{
    if (image_ == nullptr)
        return;
    const Field *field = nullptr;
    std::size_t index = 0;
    for (std::size_t i = 0; i < fields().size(); ++i) {
        if (fields()[i].name == fieldName) {
            field = &fields()[i];
            index = i;
            break;
        }
    }
    TCanvasState &canvas = image_->canvas();
    QImage &picture = image_->picture();
    if (field != nullptr && !picture.isNull()) {
        canvas.font = fieldFont(field->pointSize);
        const QPoint at = textPosition(*field, text);
        QPainter painter(&picture);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(field->background.topLeft(), backgrounds_[index]);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        if (!text.isEmpty()) {
            // The text cell's top is at `at`; Qt draws from the baseline.
            painter.setFont(canvas.font);
            painter.setPen(canvas.fontColor);
            painter.drawText(at.x(), at.y() + QFontMetrics(canvas.font).ascent(), text);
        }
        painter.end();
        image_->changed();
    }
    // Text is always drawn on a clear brush; whatever style was set before
    // drawField ends solid.
    canvas.brushSolid = true;
}

QString TSkinDisplay::formatTime(quint32 seconds)
{
    const quint32 h = seconds / 3600;
    const quint32 m = (seconds % 3600) / 60;
    const quint32 s = seconds % 60;
    QString text;
    if (h > 9)
        text = QString::number(h) + u':';
    else if (h >= 1)
        text = u'0' + QString::number(h) + u':';
    return text + twoDigits(m) + u':' + twoDigits(s);
}

QFont uiFont()
{
    // The windows' places and sizes are fixed pixels. A face with Arial's
    // metrics (Liberation Sans, Arimo) at the pixel size of 8 points on a
    // 96-dpi screen fits every caption in them; sized in pixels, it keeps
    // fitting whatever dots per inch the desktop claims.
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setFamilies({u"Liberation Sans"_s, u"Arimo"_s, u"Arial"_s});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize((kUiPointSize * kLayoutDpi + kPointsPerInch / 2) / kPointsPerInch);
    return font;
}
