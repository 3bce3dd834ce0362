#include "engine.h"

namespace audio {

class EngineImpl {};

Engine::Engine() : impl_(std::make_unique<EngineImpl>()) {}
Engine::~Engine() = default;

bool Engine::init(int, int, std::uint32_t) { return false; }
bool Engine::free() { return false; }
bool Engine::setConfig(Config, std::uint32_t) { return false; }
bool Engine::setVolume(float) { return false; }
float Engine::getVolume() const { return -1.0f; }
Handle Engine::streamCreateFile(const std::string &, std::uint64_t, std::uint64_t, std::uint32_t) { return 0; }
Handle Engine::wmaStreamCreateFile(const std::string &, std::uint64_t, std::uint64_t, std::uint32_t) { return 0; }
Handle Engine::streamCreateUrl(const std::string &, std::uint64_t, std::uint32_t) { return 0; }
bool Engine::streamFree(Handle) { return false; }
bool Engine::channelPlay(Handle, bool) { return false; }
bool Engine::channelStop(Handle) { return false; }
Active Engine::channelIsActive(Handle) const { return Active::Stopped; }
std::int64_t Engine::channelGetLength(Handle) const { return -1; }
std::int64_t Engine::channelGetPosition(Handle) const { return -1; }
bool Engine::channelSetPosition(Handle, std::int64_t) { return false; }
double Engine::channelBytes2Seconds(Handle, std::int64_t) const { return -1.0; }
std::int64_t Engine::channelSeconds2Bytes(Handle, double) const { return -1; }
std::optional<std::string> Engine::channelGetTags(Handle, TagType) const { return std::nullopt; }
Handle Engine::channelSetSync(Handle, SyncType, std::uint64_t, SyncProc) { return 0; }
bool Engine::channelGetData(Handle, float *, std::uint32_t) const { return false; }
Handle Engine::channelSetFx(Handle, FxType, int) { return 0; }
bool Engine::channelRemoveFx(Handle, Handle) { return false; }
bool Engine::fxGetParameters(Handle, ParamEq &) const { return false; }
bool Engine::fxSetParameters(Handle, const ParamEq &) { return false; }

}  // namespace audio
