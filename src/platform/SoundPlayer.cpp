// SDL2_mixer behind a mutex: runs can end at the same time, and the mixer
// is one device for the whole process. The mutex guards only the mixer
// calls, never a whole sound: a run's end-of-run sound waits for its end
// between short locked looks, so the options dialog's Play and Stop act at
// once. A newer start replaces the sound being waited for, which then
// counts as over.
#include "platform/SoundPlayer.h"

#include <QFile>

#include <SDL.h>
#include <SDL_mixer.h>

#include <mutex>

namespace tarnwick {

namespace {

std::mutex g_mutex;
Mix_Music* g_music = nullptr;
bool g_open = false;
quint64 g_generation = 0; // counts starts, so a waiter can tell its sound was replaced

QString sdlError()
{
    return QString::fromUtf8(Mix_GetError());
}

// Opens the audio device once; the caller holds g_mutex.
QString ensureOpen()
{
    if (g_open)
        return QString();
    if (SDL_WasInit(SDL_INIT_AUDIO) == 0 && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return QString::fromUtf8(SDL_GetError());
    Mix_Init(MIX_INIT_MID);
    if (Mix_OpenAudio(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, 2, 1024) != 0)
        return sdlError();
    g_open = true;
    return QString();
}

// Halts and frees the current sound; the caller holds g_mutex.
void stopLocked()
{
    if (g_music) {
        Mix_HaltMusic();
        Mix_FreeMusic(g_music);
        g_music = nullptr;
    }
}

// Loads and starts a file; the caller holds g_mutex.
QString startLocked(const QString& file)
{
    if (QString error = ensureOpen(); !error.isEmpty())
        return error;
    stopLocked();
    g_music = Mix_LoadMUS(QFile::encodeName(file).constData());
    if (!g_music)
        return sdlError();
    ++g_generation;
    if (Mix_PlayMusic(g_music, 1) != 0)
        return sdlError();
    return QString();
}


} // namespace

QString SoundPlayer::playToEnd(const QString& file)
{
    quint64 mine = 0;
    {
        std::lock_guard lock(g_mutex);
        if (QString error = startLocked(file); !error.isEmpty())
            return error;
        mine = g_generation;
    }
    for (;;) {
        SDL_Delay(20);
        std::lock_guard lock(g_mutex);
        if (g_generation != mine || !g_music)
            return QString(); // replaced or stopped by someone else
        if (!Mix_PlayingMusic()) {
            stopLocked();
            return QString();
        }
    }
}

QString SoundPlayer::start(const QString& file)
{
    std::lock_guard lock(g_mutex);
    return startLocked(file);
}

void SoundPlayer::stop()
{
    std::lock_guard lock(g_mutex);
    stopLocked();
}

} // namespace tarnwick
