#include "formcontrols.h"

#include <QLabel>
#include <QPushButton>

QLabel *namedLabel(QWidget *parent, const QString &name, const QString &text, const QRect &rect)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(rect);
    return label;
}

QPushButton *namedButton(QWidget *parent, const QString &name, const QString &caption, const QRect &rect)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(rect);
    return button;
}
