#pragma once

// The image control: a widget that shows a picture top-left and unscaled.
// The skinned display, the bars and the spectrum paint straight into the
// picture and then call changed().

#include <QColor>
#include <QFont>
#include <QImage>
#include <QWidget>

// The drawing state of an image's picture, kept between painters the way a
// canvas keeps it: whoever changes it for a while puts it back afterwards.
struct TCanvasState
{
    QColor penColor = Qt::black;
    QColor brushColor = Qt::white;
    bool brushSolid = true;
    QFont font;
    QColor fontColor = Qt::black;
};

class TImage : public QWidget
{
    Q_OBJECT

public:
    explicit TImage(QWidget *parent = nullptr);

    QImage &picture() { return picture_; }
    const QImage &picture() const { return picture_; }
    // Replaces the picture; the widget keeps its own geometry.
    void setPicture(const QImage &picture);
    // Schedules a repaint after someone painted into picture().
    void changed();

    TCanvasState &canvas() { return canvas_; }
    const TCanvasState &canvas() const { return canvas_; }

    QSize sizeHint() const override;

Q_SIGNALS:
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseMove(Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage picture_;
    TCanvasState canvas_;
};
