#include "closerequest.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

void closeCancellingDialogs(QWidget &window)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *widget : windows)
        if (widget != &window && widget->isVisible() && widget->isModal())
            widget->close();
    QTimer::singleShot(0, &window, &QWidget::close);
}
