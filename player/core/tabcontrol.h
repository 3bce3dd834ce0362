#pragma once

// The tab strip above the song grid: tabs of one fixed width, like a tab
// control whose tab width is set.

#include <QTabBar>

class TTabControl : public QTabBar
{
    Q_OBJECT

public:
    explicit TTabControl(QWidget *parent = nullptr);

    void setTabWidth(int width);
    int tabWidth() const { return tabWidth_; }

protected:
    QSize tabSizeHint(int index) const override;
    QSize minimumTabSizeHint(int index) const override;

private:
    int tabWidth_ = 0;
};
