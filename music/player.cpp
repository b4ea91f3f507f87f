// The music player on libxmp. The module advances only in musicRender, one tick at a time, so
// the start of every row is known to the frame: that is where a beat is raised and where the
// end of the song is caught before it loops. Whatever output is linked pulls the audio, and
// tells how much of it has been played: beats and the end wait for that.
#include "music/player.h"

#include <xmp.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "music/output.h"

constexpr int OUTPUT_FRAMES = 4096;  // about 93 ms; a power of two, as SDL's drivers want
constexpr int MASTER_VOLUME = 192;   // of 256
// libxmp's master volume plays samples unscaled at 100 (values above amplify), so 192 of 256
// becomes 192 * 100 / 256 = 75.
constexpr int PLAYER_VOLUME = MASTER_VOLUME * 100 / 256;
MusicPlayerState musicPlayer = MUSIC_PLAYER_START_STATE;

// Set by the renderer when the song has played through; stays set until the module is freed.
// musicPlayer.songEndFrame is written before it.
static std::atomic<int32_t> songEnded{0};
// libxmp's record of the tick being handed out; musicPlayer.tickAudio points into its buffer.
static xmp_frame_info tickInfo;
// The beat ring's counters. The rendering thread appends and advances beatsRaised; the main
// thread takes from the front and advances beatsTaken. A single producer and a single
// consumer: neither ever waits.
static std::atomic<uint32_t> beatsRaised{0};
static std::atomic<uint32_t> beatsTaken{0};

static xmp_context player() { return static_cast<xmp_context>(musicPlayer.module); }

static void freePlayer(xmp_context context)
{
    xmp_release_module(context);
    xmp_free_context(context);
}

// Forgets every beat raised. Only with the renderer locked out (or no output open).
static void clearBeats()
{
    beatsRaised.store(0);
    beatsTaken.store(0);
}

// Opens the output at 44100 Hz, stereo, 16-bit, 4096 frames; it stays paused until a module
// plays. The output falls back to a silent one by itself; should even that fail, no module
// can be played (nothing would pull it to its end).
void startSound()
{
    musicPlayer.renderedFrames = 0;
    clearBeats();
    musicPlayer.outputOpen = audioOutputOpen(MIXING_RATE, OUTPUT_CHANNELS, OUTPUT_FRAMES, musicRender);
}

// Loads the module from `bytes` (neither kept nor freed) and starts it, once through, at the
// fixed master volume. Returns 0, with nothing loaded, when the bytes are not a module.
int playModule(const unsigned char* bytes, uint32_t length)
{
    if (musicPlayer.module != nullptr) {
        stopModule();
    }
    if (!musicPlayer.outputOpen || bytes == nullptr || length == 0) {
        return 0;
    }
    xmp_context context = xmp_create_context();
    if (context == nullptr) {
        return 0;
    }
    if (xmp_load_module_from_memory(context, bytes, static_cast<long>(length)) != 0) {
        xmp_free_context(context);
        return 0;
    }
    if (xmp_start_player(context, MIXING_RATE, 0) != 0) {
        freePlayer(context);
        return 0;
    }
    xmp_set_player(context, XMP_PLAYER_VOLUME, PLAYER_VOLUME);
    xmp_module_info info;
    xmp_get_module_info(context, &info);

    audioOutputLock();
    musicPlayer.module = context;
    musicPlayer.moduleChannels = std::min(info.mod->chn, XMP_MAX_CHANNELS);
    musicPlayer.tickAudio = nullptr;
    musicPlayer.tickFramesLeft = 0;
    songEnded.store(0);
    clearBeats();
    audioOutputUnlock();

    musicPlayer.playing = 1;
    audioOutputResume();
    return 1;
}

// Nonzero while the module plays; 0 for good once the output has played the song's last
// frame (the position never goes back). With no module loaded the player is not asked and the
// cached state is returned.
int isModulePlaying()
{
    if (musicPlayer.module != nullptr) {
        const bool ended =
            songEnded.load(std::memory_order_acquire) != 0 && audioOutputPlayedFrames() >= musicPlayer.songEndFrame;
        musicPlayer.playing = ended ? 0 : 1;
    }
    return musicPlayer.playing;
}

// Stops and frees the module, with the output locked so that no tick is being rendered.
void stopModule()
{
    musicPlayer.playing = 0;
    if (musicPlayer.module == nullptr) {
        return;
    }
    audioOutputLock();
    xmp_end_player(player());
    freePlayer(player());
    musicPlayer.module = nullptr;
    musicPlayer.tickAudio = nullptr;
    musicPlayer.tickFramesLeft = 0;
    clearBeats();
    audioOutputUnlock();
}

void shutdownSound()
{
    stopModule();
    audioOutputClose();
    musicPlayer.outputOpen = false;
}

// Takes every beat heard by now (or by the lead), from the front of the ring: they count as
// one, as beats that fall together always have.
int takeBeat()
{
    const int64_t heard = audioOutputPlayedFrames() + musicPlayer.beatLeadFrames;
    const uint32_t raised = beatsRaised.load(std::memory_order_acquire);
    const uint32_t first = beatsTaken.load(std::memory_order_relaxed);
    uint32_t taken = first;
    while (taken != raised && musicPlayer.beatRing[taken % BEAT_RING_SIZE] <= heard) {
        ++taken;
    }
    beatsTaken.store(taken, std::memory_order_release);
    return taken != first ? 1 : 0;
}

void setBeatLead(uint32_t ms) { musicPlayer.beatLeadFrames = static_cast<int64_t>(ms) * MIXING_RATE / 1000; }

// On the rendering thread: appends the beat unless the ring is full.
void onBeatInstrument()
{
    const uint32_t raised = beatsRaised.load(std::memory_order_relaxed);
    if (raised - beatsTaken.load(std::memory_order_acquire) >= BEAT_RING_SIZE) {
        return;
    }
    musicPlayer.beatRing[raised % BEAT_RING_SIZE] = musicPlayer.renderedFrames;
    beatsRaised.store(raised + 1, std::memory_order_release);
}

// The first tick of a row: a row on which any channel's cell plays a note on the beat
// instrument raises one beat. A cell's instrument counts from 1 as in the file (0: none given,
// the channel keeps its own, which libxmp counts from 0). Key-offs, cuts and instrument-only
// cells are no notes.
static void inspectRow()
{
    for (int channel = 0; channel < musicPlayer.moduleChannels; channel++) {
        const xmp_channel_info& state = tickInfo.channel_info[channel];
        const xmp_event& cell = state.event;
        if (cell.note == 0 || cell.note > XMP_MAX_KEYS) {
            continue;
        }
        int instrument = cell.ins != 0 ? cell.ins : state.instrument + 1;
        if (instrument == BEAT_INSTRUMENT) {
            onBeatInstrument();
            return;
        }
    }
}

// Marks the song ended at the frame the renderer has reached.
static void endSong()
{
    musicPlayer.songEndFrame = musicPlayer.renderedFrames;
    songEnded.store(1, std::memory_order_release);
}

// Plays the next tick into libxmp's buffer. libxmp never stops by itself: it loops and counts
// the loops, so the first tick that counts a loop ends the song and its audio is dropped.
// False when there is nothing more to hand out.
static bool renderTick()
{
    if (musicPlayer.module == nullptr || songEnded.load(std::memory_order_relaxed)) {
        return false;
    }
    if (xmp_play_frame(player()) != 0) {
        endSong();
        return false;
    }
    xmp_get_frame_info(player(), &tickInfo);
    if (tickInfo.loop_count > 0) {
        endSong();
        return false;
    }
    if (tickInfo.frame == 0) {
        inspectRow();
    }
    musicPlayer.tickAudio = static_cast<const int16_t*>(tickInfo.buffer);
    musicPlayer.tickFramesLeft = tickInfo.buffer_size / static_cast<int>(OUTPUT_CHANNELS * sizeof(int16_t));
    return true;
}

void musicRender(int16_t* out, int frames)
{
    while (frames > 0) {
        if (musicPlayer.tickFramesLeft == 0 && !renderTick()) {
            std::memset(out, 0, static_cast<size_t>(frames) * OUTPUT_CHANNELS * sizeof(int16_t));
            musicPlayer.renderedFrames += frames;
            return;
        }
        int count = std::min(frames, musicPlayer.tickFramesLeft);
        std::memcpy(out, musicPlayer.tickAudio, static_cast<size_t>(count) * OUTPUT_CHANNELS * sizeof(int16_t));
        out += count * OUTPUT_CHANNELS;
        musicPlayer.tickAudio += count * OUTPUT_CHANNELS;
        musicPlayer.tickFramesLeft -= count;
        frames -= count;
        musicPlayer.renderedFrames += count;
    }
}
