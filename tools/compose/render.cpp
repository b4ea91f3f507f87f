#include <xmp.h>

#include "tools/compose/chip1.h"

static std::vector<int16_t> renderPass(const uint8_t* bytes, size_t size, uint32_t channelMask,
                                       std::vector<size_t>* orderStarts, std::vector<size_t>* rowStarts)
{
    std::vector<int16_t> frames;
    xmp_context context = xmp_create_context();
    if (xmp_load_module_from_memory(context, bytes, static_cast<long>(size)) != 0) {
        xmp_free_context(context);
        return frames;
    }
    xmp_start_player(context, RENDER_RATE, 0);
    xmp_set_player(context, XMP_PLAYER_VOLUME, RENDER_PLAYER_VOLUME);
    for (int channel = 0; channel < 32; channel++) {
        if (!(channelMask >> channel & 1)) xmp_channel_mute(context, channel, 1);
    }
    xmp_frame_info info;
    while (xmp_play_frame(context) == 0) {
        xmp_get_frame_info(context, &info);
        if (info.loop_count > 0) break;
        if (orderStarts && info.row == 0 && info.frame == 0) orderStarts->push_back(frames.size() / 2);
        if (rowStarts && info.frame == 0) rowStarts->push_back(frames.size() / 2);
        const int16_t* buffer = static_cast<const int16_t*>(info.buffer);
        frames.insert(frames.end(), buffer, buffer + info.buffer_size / 2);
    }
    xmp_end_player(context);
    xmp_release_module(context);
    xmp_free_context(context);
    return frames;
}

std::vector<int16_t> renderOnePass(const uint8_t* bytes, size_t size, std::vector<size_t>* orderStarts,
                                   std::vector<size_t>* rowStarts)
{
    return renderPass(bytes, size, 0xffffffffu, orderStarts, rowStarts);
}

std::vector<int16_t> renderChannels(const uint8_t* bytes, size_t size, uint32_t channelMask)
{
    return renderPass(bytes, size, channelMask, nullptr, nullptr);
}
