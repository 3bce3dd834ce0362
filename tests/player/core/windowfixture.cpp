#include "windowfixture.h"

#include "defaultskin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

void WindowFixture::SetUp()
{
    ASSERT_NE(qApp, nullptr);
    ASSERT_TRUE(home_.isValid());
    ASSERT_TRUE(runtime_.isValid());
    qputenv("MELODECK_HOME", QFile::encodeName(home_.path()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path()));
    logPath_ = runtime_.path() + u"/events.log"_s;
    qputenv("MELODECK_TEST_LOG", QFile::encodeName(logPath_));
}

void WindowFixture::TearDown()
{
    qunsetenv("MELODECK_TEST_LOG");
    qunsetenv("MELODECK_HOME");
}

void WindowFixture::writeSkin(const TSkinSettings &settings)
{
    ASSERT_TRUE(saveSkinPicture(defaultSkinPicture(), home() + kSkinPictureFileName));
    ASSERT_TRUE(settings.saveToFile(home() + kSkinSettingsFileName));
}

void WindowFixture::writeFilter()
{
    TStringListC filter{u".mp3"_s, u"0"_s, u"0"_s, u".ogg"_s, u"0"_s, u"0"_s};
    ASSERT_TRUE(filter.SaveToFile(home() + u"filetypes.azi"_s));
}

QString WindowFixture::touch(const QString &relativePath)
{
    const QString path = home() + relativePath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    return path;
}

QStringList WindowFixture::logLines() const
{
    QFile log(logPath_);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
}
