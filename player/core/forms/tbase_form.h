#pragma once

#include "options.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// The "Choose Directory" window (fixed dialog frame without title-bar
// buttons, client area 420 by 185): asks for the first base directory. The
// list it adds to is handed over before it is shown.
class Tbase_form : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 420;
    static constexpr int kClientHeight = 185;

    explicit Tbase_form(QWidget *parent = nullptr);

    // The list "Save and Search" appends to and stores; it must outlive the
    // dialog's next showing. Empties the edit for a fresh start.
    void setBaseDirectories(TStringListC *baseDirectories);

    void base_dirChange();
    void Button1Click();
    void saveClick();
    void cancelClick();

    // The desktop's folder chooser, owned by the active window; the chosen
    // folder's path, or nothing when the user cancels.
    static QString chooseDirectory(const QString &preselected);
    // Tests put a chooser of their own in place of the desktop's.
    void setDirectoryChooser(std::function<QString(const QString &)> chooser);

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr; // the rest of Label1's list of file types
    QLineEdit *base_dir = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *save = nullptr;
    QPushButton *cancel = nullptr;

private:
    TStringListC *baseDirectories_ = nullptr;
    std::function<QString(const QString &)> chooser_;
};
