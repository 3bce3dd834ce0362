#pragma once

// The seek bar: a line with a draggable grip, painted into the skin picture
// of an image control and driven by that image's mouse events.

#include <QImage>
#include <Qt>

#include <functional>
#include <optional>

class TImage;

class TAzPositionBar
{
public:
    using ChangeHandler = std::function<void(int)>;

    // Takes the background under the bar and paints the bar at once.
    TAzPositionBar(TImage *image, TImage *grip, ChangeHandler onChange, bool immediate,
                   quint32 width, quint32 top, quint32 left, quint32 colour,
                   qint32 min, qint32 max, qint32 position);
    virtual ~TAzPositionBar();

    TAzPositionBar(const TAzPositionBar &) = delete;
    TAzPositionBar &operator=(const TAzPositionBar &) = delete;

    virtual void Paint();

    // Max := value, then Paint.
    void setMax(qint32 value);
    // Ignored while dragging; otherwise Position := value, then Paint.
    void setPosition(qint32 value);

    // The mouse button is not looked at; x and y are image coordinates.
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseMove(Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);

    qint32 minimum() const { return Min; }
    qint32 maximum() const { return Max; }
    qint32 position() const { return Position; }
    bool dragging() const { return Dragging; }
    std::optional<Qt::CursorShape> savedCursor() const { return SavedCursor; }

    // Both ends count: the column right of the bar and the row below it are
    // inside; negative coordinates are outside.
    bool isInside(int x, int y) const;
    // The grip's offset from Left, and its top in the picture.
    int gripX() const;
    int gripY() const;

protected:
    // For derived bars that paint themselves once their own pictures are set.
    TAzPositionBar(TImage *image, TImage *grip, ChangeHandler onChange, bool immediate,
                   quint32 width, quint32 top, quint32 left, quint32 colour,
                   qint32 min, qint32 max, qint32 position, bool paintNow);

    void restoreBackground();
    void paintGrip();

    quint32 Width;
    quint32 Height;
    quint32 Top;
    quint32 Left;
    quint32 LineWidth = 2;
    quint32 Colour;
    quint32 GripWidth;
    quint32 GripHeight;
    qint32 Min;
    qint32 Max;
    qint32 Position;
    TImage *Image;
    TImage *Grip;
    QImage Background;
    std::optional<Qt::CursorShape> SavedCursor;
    bool Dragging = false;
    bool Immediate;
    qint32 PositionBeforeDrag = 0;
    ChangeHandler OnChange;

private:
    void moveTo(int x);
};

// Copies `source` (the part `sourceRect`) stretched into `destRect` of
// `dest`; white source pixels leave the destination as it was.
void drawTransparent(QImage &dest, const QRect &destRect, const QImage &source,
                     const QRect &sourceRect);
