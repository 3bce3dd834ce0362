#include "medialibraries.h"

#include <dlfcn.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace audio {

namespace {

// The libraries the decoding code calls, as the build found them; each one's
// own dependencies come with it.
constexpr std::array kLibraryNames{MELODECK_AVUTIL_SONAME, MELODECK_SWRESAMPLE_SONAME, MELODECK_AVCODEC_SONAME,
                                   MELODECK_AVFORMAT_SONAME};
constexpr char kFolderVariable[] = "MELODECK_FFMPEG_DIR";

class Libraries {
public:
    Libraries() = default;
    Libraries(const Libraries &) = delete;
    Libraries &operator=(const Libraries &) = delete;

    // A preload still running when the program ends is waited for, so that
    // it never runs on while the process tears down.
    ~Libraries()
    {
        if (preload_.joinable())
            preload_.join();
    }

    bool load()
    {
        std::call_once(loaded_, [this] { open(); });
        return usable_;
    }

    void startPreload()
    {
        std::call_once(preloadStarted_, [this] { preload_ = std::thread([this] { load(); }); });
    }

    void *symbol(const char *name)
    {
        if (load()) {
            // Each library is searched together with its dependencies.
            for (void *handle : handles_)
                if (void *address = handle ? dlsym(handle, name) : nullptr)
                    return address;
        }
        std::fprintf(stderr, "Melodeck: the decoding library has no function %s\n", name);
        std::abort();
    }

private:
    void open()
    {
        usable_ = true;
        // $MELODECK_FFMPEG_DIR names a folder with another build of FFmpeg;
        // otherwise the loader's search path finds the system's.
        const char *folder = std::getenv(kFolderVariable);
        for (std::size_t i = 0; i < kLibraryNames.size(); ++i) {
            const std::string name =
                folder && *folder ? std::string(folder) + '/' + kLibraryNames[i] : std::string(kLibraryNames[i]);
            handles_[i] = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!handles_[i]) {
                std::fprintf(stderr, "Melodeck: cannot open %s: %s\n", name.c_str(), dlerror());
                usable_ = false;
            }
        }
    }

    std::once_flag loaded_;
    std::once_flag preloadStarted_;
    std::array<void *, kLibraryNames.size()> handles_{};
    bool usable_ = false;
    std::thread preload_;
};

Libraries &libraries()
{
    static Libraries instance;
    return instance;
}

}  // namespace

void preloadMediaLibraries()
{
    libraries().startPreload();
}

bool mediaLibrariesLoaded()
{
    return libraries().load();
}

void *mediaSymbol(const char *name)
{
    return libraries().symbol(name);
}

}  // namespace audio
