#include "usermessages.h"

#include <QFile>
#include <QFileDialog>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {
constexpr char kTestLogVariable[] = "MELODECK_TEST_LOG";
constexpr char kTestAnswersVariable[] = "MELODECK_TEST_ANSWERS";
constexpr char kTestFilesVariable[] = "MELODECK_TEST_FILES";
// Long enough for the box to be mapped and painted once.
constexpr int kTestAutoCloseMs = 100;

// Takes the first of the scripted answers; the rest stay for the next box.
bool nextTestAnswer()
{
    QStringList answers = qEnvironmentVariable(kTestAnswersVariable).split(u',', Qt::SkipEmptyParts);
    if (answers.isEmpty())
        return false;
    const bool yes = answers.takeFirst().trimmed().compare(u"yes"_s, Qt::CaseInsensitive) == 0;
    qputenv(kTestAnswersVariable, answers.join(u',').toUtf8());
    return yes;
}

// Takes the first of the scripted file choices, one per line.
QString nextTestFile()
{
    QStringList files = qEnvironmentVariable(kTestFilesVariable).split(u'\n');
    const QString first = files.takeFirst();
    qputenv(kTestFilesVariable, files.join(u'\n').toUtf8());
    return first;
}
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

bool askYesNo(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
              QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(defaultButton);
    if (testLogEnabled()) {
        const bool yes = nextTestAnswer();
        testLog(u"question "_s + title + u": "_s + text + (yes ? u" -> Yes"_s : u" -> No"_s));
        QTimer::singleShot(kTestAutoCloseMs, &box, [&box, yes] { box.done(yes ? QMessageBox::Yes : QMessageBox::No); });
    }
    return box.exec() == QMessageBox::Yes;
}

QString chooseFile(QFileDialog &dialog)
{
    if (testLogEnabled()) {
        const QString path = nextTestFile();
        testLog(u"dialog "_s + dialog.objectName() + u": "_s + path);
        return path;
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}
