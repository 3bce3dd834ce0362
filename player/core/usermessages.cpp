#include "usermessages.h"

#include <QFile>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {
constexpr char kTestLogVariable[] = "MELODECK_TEST_LOG";
// Long enough for the box to be mapped and painted once.
constexpr int kTestAutoCloseMs = 100;
} // namespace

bool testLogEnabled()
{
    return !qEnvironmentVariableIsEmpty(kTestLogVariable);
}

void testLog(const QString &line)
{
    if (!testLogEnabled())
        return;
    QFile log(qEnvironmentVariable(kTestLogVariable));
    if (log.open(QIODevice::WriteOnly | QIODevice::Append))
        log.write((line + u'\n').toUtf8());
}

void showMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    if (testLogEnabled()) {
        testLog(u"message "_s + title + u": "_s + text);
        QTimer::singleShot(kTestAutoCloseMs, &box, &QMessageBox::accept);
    }
    box.exec();
}

bool askYesNo(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    testLog(u"question "_s + title + u": "_s + text);
    return box.exec() == QMessageBox::Yes;
}
