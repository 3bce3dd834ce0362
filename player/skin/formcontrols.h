#pragma once

// Placing the named controls of a fixed-size window: each control carries
// its name (tests and the style find it by that) and its place in pixels.

#include <QRect>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

QLabel *namedLabel(QWidget *parent, const QString &name, const QString &text, const QRect &rect);
QPushButton *namedButton(QWidget *parent, const QString &name, const QString &caption, const QRect &rect);
