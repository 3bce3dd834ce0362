#pragma once

// The "Add Radio" window (fixed single border, no system buttons, client area
// 300 by 105): one edit for the station's URL, OK and Cancel. Created once at
// start-up and shown modally; the edit keeps its text between showings. OK
// checks the text and hands an acceptable URL to the OK action.

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

class Tradio_form : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 300;
    static constexpr int kClientHeight = 105;
    static const QString kEmptyText;     // "Type in a url!"
    static const QString kSchemeText;    // "The url has to start with "http://"!"
    static const QString kBareText;      // "Type in a valid url!"
    static const QString kScheme;        // "http://"

    explicit Tradio_form(QWidget *parent = nullptr);

    // What OK does with an acceptable URL, after the dialog has closed.
    void setOkAction(std::function<void(const QString &url)> action);
    // How the dialog's messages are shown (a message box with one OK button
    // unless set).
    void setMessageBox(std::function<void(const QString &text)> showMessage);

    void Button1Click();
    void Button2Click();

    QLabel *Label1 = nullptr;
    QLineEdit *url = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

private:
    void message(const QString &text);

    std::function<void(const QString &)> okAction_;
    std::function<void(const QString &)> showMessage_;
};
