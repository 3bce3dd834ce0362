#include "commandline.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(ForwardedText, EachArgumentFollowsOneBar)
{
    EXPECT_EQ(forwardedText({}), QString());
    EXPECT_EQ(forwardedText({u"/a/one.mp3"_s}), u"|/a/one.mp3"_s);
    EXPECT_EQ(forwardedText({u"/a/one.mp3"_s, u"/b/two words.ogg"_s}), u"|/a/one.mp3|/b/two words.ogg"_s);
}

TEST(ForwardedText, SplitGivesBackWhatWasSent)
{
    const QStringList sent{u"/music/a.mp3"_s, u"/music/ümlaut dir"_s, u"/x"_s};
    EXPECT_EQ(splitForwardedText(forwardedText(sent)), sent);
}

TEST(ForwardedText, SplitEdgeCases)
{
    // One bar and one argument: exactly one piece.
    EXPECT_EQ(splitForwardedText(u"|/only/one.mp3"_s), QStringList{u"/only/one.mp3"_s});
    EXPECT_TRUE(splitForwardedText(QString()).isEmpty());
    // A lone bar is one empty argument.
    EXPECT_EQ(splitForwardedText(u"|"_s), QStringList{QString()});
    // Two bars in a row: an empty argument between them.
    EXPECT_EQ(splitForwardedText(u"|a||b"_s), (QStringList{u"a"_s, QString(), u"b"_s}));
    // An argument that contains a bar is split there.
    EXPECT_EQ(splitForwardedText(forwardedText({u"/dir/a|b.mp3"_s})), (QStringList{u"/dir/a"_s, u"b.mp3"_s}));
    // The first character is always taken as the opening bar.
    EXPECT_EQ(splitForwardedText(u"xabc|def"_s), (QStringList{u"abc"_s, u"def"_s}));
}

TEST(AbsoluteArguments, RelativePathsFollowTheStartedProcess)
{
    const QStringList result = absoluteArguments(
        {u"song.mp3"_s, u"../other/b.ogg"_s, u"/abs/./c.wav"_s, u"sub/"_s}, u"/home/user/music"_s);
    EXPECT_EQ(result, (QStringList{u"/home/user/music/song.mp3"_s, u"/home/user/other/b.ogg"_s,
                                   u"/abs/c.wav"_s, u"/home/user/music/sub"_s}));
}

TEST(AbsoluteArguments, EmptyArgumentDoesNotBecomeTheWorkingDirectory)
{
    EXPECT_EQ(absoluteArguments({QString()}, u"/home/user"_s), QStringList{QString()});
}
