#include "azvis.h"

#include "colorstrings.h"
#include "timage.h"

#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {

QImage blankBitmap(int width, int height)
{
    QImage bitmap(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32);
    bitmap.fill(Qt::black);
    return bitmap;
}

// A filled rectangle with a one-pixel outline, right and bottom exclusive,
// from (x, height - h) to (x + barWidth, height); whatever lies outside the
// bitmap is cut off.
void paintBar(QImage &work, int x, int barWidth, int h, QRgb fill, QRgb outline)
{
    const int height = work.height();
    if (h <= 0 || barWidth <= 0)
        return;
    const int top = height - h;
    const int right = x + barWidth - 1;
    const int from = std::max(x, 0);
    const int to = std::min(right, work.width() - 1);
    if (from > to)
        return;
    for (int y = std::max(top, 0); y < height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(work.scanLine(y));
        const bool edgeRow = y == top || y == height - 1;
        for (int px = from; px <= to; ++px)
            row[px] = (edgeRow || px == x || px == right) ? outline : fill;
    }
}

} // namespace

TAzVis::TAzVis(Context context)
    : c_(std::move(context))
{
}

void TAzVis::initSpectrum(int left, int top, int width, int height, TImage *image)
{
    image_ = image;
    left_ = left;
    top_ = top;
    levels_.cleared = false;
    work_ = blankBitmap(width, height);
    const QRect rect(left, top, work_.width(), work_.height());
    if (image_ && !image_->picture().isNull())
        background_ = image_->picture().copy(rect).convertToFormat(QImage::Format_RGB32);
    else
        background_ = blankBitmap(width, height);
    levels_.resetLevels();
}

void TAzVis::clearSpectrum(bool holdOn)
{
    levels_.clear(holdOn);
}

float TAzVis::drawSpectrum(audio::Handle stream, int bars, quint32 fill, quint32 outline, float scale)
{
    if (c_.engine.channelIsActive(stream) == audio::Active::Playing) {
        if (!levels_.hold) {
            c_.engine.channelGetData(stream, levels_.fft.data(), audio::kDataFft512);
            levels_.cleared = false;
        }
    } else if (!levels_.cleared) {
        clearSpectrum(false);
    }
    int barWidth = 0;
    const float peak = levels_.frame(bars, work_.width(), work_.height(), scale, bars_, barWidth);
    compose(barWidth, toQColor(fill).rgb(), toQColor(outline).rgb());
    paintIntoPicture();
    return peak;
}

void TAzVis::azVisTimerTimer()
{
    const float peak = drawSpectrum(c_.stream, kTimerBars, c_.colour ? c_.colour() : 0, kOutline, levels_.scale);
    if (!levels_.cleared) {
        levels_.adaptScale(peak);
        return;
    }
    if (levels_.allLevelsZero()) {
        levels_.hold = false;
        c_.timer.stop();
    }
}

void TAzVis::compose(int barWidth, QRgb fill, QRgb outline)
{
    if (work_.isNull())
        return;
    const auto rowBytes = static_cast<std::size_t>(work_.width()) * sizeof(QRgb);
    for (int y = 0; y < work_.height(); ++y)
        std::memcpy(work_.scanLine(y), background_.constScanLine(y), rowBytes);
    for (const SpectrumBars::Bar &bar : bars_)
        paintBar(work_, bar.x, barWidth, bar.height, fill, outline);
}

void TAzVis::paintIntoPicture()
{
    if (!image_ || work_.isNull())
        return;
    QImage &picture = image_->picture();
    const QRect target = area().intersected(picture.rect());
    if (target.isEmpty())
        return;
    if (picture.format() != QImage::Format_RGB32) {
        QPainter painter(&picture);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(area().topLeft(), work_);
        painter.end();
        image_->update(target);
        return;
    }
    const auto rowBytes = static_cast<std::size_t>(target.width()) * sizeof(QRgb);
    const int dx = target.left() - left_;
    const int dy = target.top() - top_;
    for (int y = 0; y < target.height(); ++y) {
        const auto *from = reinterpret_cast<const QRgb *>(work_.constScanLine(y + dy)) + dx;
        auto *to = reinterpret_cast<QRgb *>(picture.scanLine(target.top() + y)) + target.left();
        std::memcpy(to, from, rowBytes);
    }
    image_->update(target);
}
