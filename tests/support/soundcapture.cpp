#include "soundcapture.h"

#include <QFile>

#include <cmath>
#include <cstring>
#include <limits>

namespace testsupport {

namespace {
const char kDriver[] = "SDL_AUDIODRIVER";
const char kFile[] = "SDL_DISKAUDIOFILE";

std::optional<QByteArray> take(const char *name)
{
    if (!qEnvironmentVariableIsSet(name))
        return std::nullopt;
    return qgetenv(name);
}

void restore(const char *name, const std::optional<QByteArray> &value)
{
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
}
} // namespace

TDiskOutput::TDiskOutput(const QString &captureFile)
    : file_(captureFile), oldDriver_(take(kDriver)), oldFile_(take(kFile))
{
    qputenv(kDriver, "disk");
    qputenv(kFile, QFile::encodeName(captureFile));
}

TDiskOutput::~TDiskOutput()
{
    restore(kDriver, oldDriver_);
    restore(kFile, oldFile_);
}

std::vector<float> TDiskOutput::sound() const
{
    QFile file(file_);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    // The device was opened for stereo 32-bit floats.
    const auto frames = static_cast<std::size_t>(bytes.size()) / (2 * sizeof(float));
    std::vector<float> left;
    for (std::size_t i = 0; i < frames; ++i) {
        float frame[2];
        std::memcpy(frame, bytes.constData() + i * sizeof frame, sizeof frame);
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
        sum += static_cast<double>(sound[i]) * sound[i];
    const double rms = std::sqrt(sum / static_cast<double>(count));
    return 20.0 * std::log10(rms / (amplitude / std::sqrt(2.0)));
}

} // namespace testsupport
