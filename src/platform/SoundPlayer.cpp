// SPDX-License-Identifier: GPL-3.0-or-later
// SDL2_mixer behind a mutex: runs can end at the same time, and the mixer
// is one device for the whole process. The mutex guards only the mixer
// calls, never a whole sound: a run's end-of-run sound waits for its end
// between short locked looks, so the options dialog's Play and Stop act at
// once. A newer start replaces the sound being waited for, which then
// counts as over.
//
// The mixer and SDL are loaded with dlopen the first time a sound plays,
// not linked: loading them and the forty libraries behind them (audio
// servers, codecs, X11 and Wayland) cost every process some 17 ms at
// start, and most processes (every `tarnwick-cli` command, most runs)
// never play a sound. The headers still give the types, so each function
// pointer has the exact type of the function it stands for.
#include "platform/SoundPlayer.h"

#include <QFile>

#include <SDL.h>
#include <SDL_mixer.h>

#include <chrono>
#include <mutex>
#include <thread>

#include <dlfcn.h>

namespace tarnwick {

namespace {

// The mixer's soname; SDL comes with it as its dependency.
constexpr char kMixerLibrary[] = "libSDL2_mixer-2.0.so.0";

// The functions used, looked up once.
struct Mixer
{
    decltype(&SDL_WasInit) wasInit = nullptr;
    decltype(&SDL_InitSubSystem) initSubSystem = nullptr;
    decltype(&SDL_GetError) getError = nullptr;
    decltype(&Mix_Init) init = nullptr;
    decltype(&Mix_OpenAudio) openAudio = nullptr;
    decltype(&Mix_LoadMUS) loadMusic = nullptr;
    decltype(&Mix_PlayMusic) playMusic = nullptr;
    decltype(&Mix_PlayingMusic) playingMusic = nullptr;
    decltype(&Mix_HaltMusic) haltMusic = nullptr;
    decltype(&Mix_FreeMusic) freeMusic = nullptr;
};

std::mutex g_mutex;
Mixer g_mixer;
bool g_loaded = false;
Mix_Music* g_music = nullptr;
bool g_open = false;
quint64 g_generation = 0; // counts starts, so a waiter can tell its sound was replaced

template <typename Function>
bool LookUp(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

// Loads the mixer once; the caller holds g_mutex. The library stays loaded
// for the rest of the process (SDL's threads may still run in it). A
// library that is missing or lacks a function gives the loader's words.
QString EnsureLoaded()
{
    if (g_loaded)
        return QString();
    void* library = ::dlopen(kMixerLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return QStringLiteral("Cannot load the sound library: %1")
            .arg(QString::fromLocal8Bit(::dlerror()));
    Mixer m;
    const bool complete =
        LookUp(library, "SDL_WasInit", m.wasInit) &&
        LookUp(library, "SDL_InitSubSystem", m.initSubSystem) &&
        LookUp(library, "SDL_GetError", m.getError) && LookUp(library, "Mix_Init", m.init) &&
        LookUp(library, "Mix_OpenAudio", m.openAudio) &&
        LookUp(library, "Mix_LoadMUS", m.loadMusic) &&
        LookUp(library, "Mix_PlayMusic", m.playMusic) &&
        LookUp(library, "Mix_PlayingMusic", m.playingMusic) &&
        LookUp(library, "Mix_HaltMusic", m.haltMusic) &&
        LookUp(library, "Mix_FreeMusic", m.freeMusic);
    if (!complete) {
        const QString why = QString::fromLocal8Bit(::dlerror());
        ::dlclose(library);
        return QStringLiteral("Cannot use the sound library %1: %2")
            .arg(QLatin1StringView(kMixerLibrary), why);
    }
    g_mixer = m;
    g_loaded = true;
    return QString();
}

QString SdlError()
{
    return QString::fromUtf8(g_mixer.getError());
}

// Opens the audio device once; the caller holds g_mutex.
QString EnsureOpen()
{
    if (g_open)
        return QString();
    if (QString error = EnsureLoaded(); !error.isEmpty())
        return error;
    if (g_mixer.wasInit(SDL_INIT_AUDIO) == 0 && g_mixer.initSubSystem(SDL_INIT_AUDIO) != 0)
        return SdlError();
    g_mixer.init(MIX_INIT_MID);
    if (g_mixer.openAudio(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, 2, 1024) != 0)
        return SdlError();
    g_open = true;
    return QString();
}

// Halts and frees the current sound; the caller holds g_mutex. Nothing to
// do before the first sound, so stopping never loads the library.
void StopLocked()
{
    if (g_music) {
        g_mixer.haltMusic();
        g_mixer.freeMusic(g_music);
        g_music = nullptr;
    }
}

// Loads and starts a file; the caller holds g_mutex.
QString StartLocked(const QString& file)
{
    if (QString error = EnsureOpen(); !error.isEmpty())
        return error;
    StopLocked();
    g_music = g_mixer.loadMusic(QFile::encodeName(file).constData());
    if (!g_music)
        return SdlError();
    ++g_generation;
    if (g_mixer.playMusic(g_music, 1) != 0)
        return SdlError();
    return QString();
}

} // namespace

QString SoundPlayer::playToEnd(const QString& file)
{
    quint64 mine = 0;
    {
        std::lock_guard lock(g_mutex);
        if (QString error = StartLocked(file); !error.isEmpty())
            return error;
        mine = g_generation;
    }
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::lock_guard lock(g_mutex);
        if (g_generation != mine || !g_music)
            return QString(); // replaced or stopped by someone else
        if (!g_mixer.playingMusic()) {
            StopLocked();
            return QString();
        }
    }
}

QString SoundPlayer::start(const QString& file)
{
    std::lock_guard lock(g_mutex);
    return StartLocked(file);
}

void SoundPlayer::stop()
{
    std::lock_guard lock(g_mutex);
    StopLocked();
}

} // namespace tarnwick
