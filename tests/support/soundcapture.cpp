#include "soundcapture.h"

#include <QFile>

#include <cmath>
#include <cstring>
#include <limits>

namespace testsupport {

TDiskOutput::TDiskOutput(const QString &captureFile)
    : file_(captureFile), oldDriver_(qgetenv("SDL_AUDIODRIVER"))
{
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(captureFile));
}

TDiskOutput::~TDiskOutput()
{
    qputenv("SDL_AUDIODRIVER", oldDriver_);
    qunsetenv("SDL_DISKAUDIOFILE");
}

std::vector<float> TDiskOutput::sound() const
{
    QFile file(file_);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    std::vector<float> left;
    float frame[2]; // the device was opened for stereo floats
    for (qsizetype at = 0; at + qsizetype(sizeof frame) <= bytes.size(); at += sizeof frame) {
        std::memcpy(frame, bytes.constData() + at, sizeof frame);
        if (frame[0] != 0.0f || frame[1] != 0.0f)
            left.push_back(frame[0]);
    }
    return left;
}

double levelDb(const std::vector<float> &sound, std::size_t from, std::size_t count, double amplitude)
{
    if (count == 0 || from + count > sound.size())
        return std::numeric_limits<double>::quiet_NaN();
    double sum = 0;
    for (std::size_t i = from; i < from + count; ++i)
        sum += double(sound[i]) * sound[i];
    return 20.0 * std::log10(std::sqrt(sum / double(count)) / (amplitude / std::sqrt(2.0)));
}

} // namespace testsupport
