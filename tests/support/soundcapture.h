#pragma once

// The SDL disk output as a test's ear: while one of these lives, an audio
// device opened in this process writes what would be heard into a file, at
// the pace of a real sound card. The file is complete once the device closes.

#include <QByteArray>
#include <QString>

#include <vector>

namespace testsupport {

class TDiskOutput
{
public:
    explicit TDiskOutput(const QString &captureFile);
    ~TDiskOutput();

    // The left channel of every frame that was not silent, in order: the
    // silence the output fills gaps with drops out.
    std::vector<float> sound() const;

private:
    QString file_;
    QByteArray oldDriver_;
};

// The level of sound[from, from + count) in dB against a sine of peak
// `amplitude`; NaN when the sound is shorter.
double levelDb(const std::vector<float> &sound, std::size_t from, std::size_t count, double amplitude);

} // namespace testsupport
