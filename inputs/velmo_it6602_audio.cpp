// The IT6602 audio state machine.
#include <cstdio>

#include "core/global.h"
#include "inputs/velmo_it6602.h"

namespace {

constexpr u8 kAudioPresent = 0x80;
constexpr u8 kHbrAudio = 0x40;
constexpr u8 kMultiChannel = 0x20;
constexpr u8 kAudioEnable = 0x01, kMuteClearMode = 0x02, kMuteClear = 0x04;
constexpr u16 kReadySteps = 201;
constexpr u16 kRecheckSteps = 151;

}  // namespace

void velmo_it6602::IT6602SwitchAudioState(int ch, u8 state) {
    IT6602_dev_data& d = dev[ch];
    if (d.audio_state == state)
        return;
    if (debugOn() && state <= ASTATE_Reserved)
        std::printf("it6602[%d] %s -> %s\n", ch, AStateStr[d.audio_state % 6], AStateStr[state]);
    d.audio_state = state;
    switch (state) {
        case ASTATE_AudioOff:
            set(REG_RESETS, 0x02, 0x02);
            set(REG_AUDIO_CTRL, kAudioEnable, 0x00);
            break;
        case ASTATE_WaitForReady:
            set(REG_AUDIO_CTRL, kMuteClear, kMuteClear);
            set(REG_AUDIO_CTRL, kMuteClear, 0x00);
            d.audio_counter = kReadySteps;
            break;
        case ASTATE_AudioOn:
            set(REG_AUDIO_CTRL, kAudioEnable, kAudioEnable);
            if (debugOn())
                std::printf("Cat6023 Audio--> Audio flag=%02X,Ch No=%02X,Fs=%02X ...\n",
                            d.audio_flag, d.audio_channels, d.audio_fs);
            d.audio_counter = kRecheckSteps;
            break;
        default:
            break;
    }
}

void velmo_it6602::IT6602AudioHandler(int ch) {
    IT6602_dev_data& d = dev[ch];
    if (d.output_mode_flag == 1)
        return;
    d.audio_counter = d.audio_counter > 100 ? static_cast<u16>(d.audio_counter - 100) : 0;
    switch (d.audio_state) {
        case ASTATE_RequestAudio:
            IT6602_GetAudioInfo(ch);
            if (!(d.audio_flag & kAudioPresent))
                return;
            if (d.audio_flag & kHbrAudio) {
                set(0x54, 0x70, 0x00);
                if (debugOn())
                    std::printf("+++++++++++ B_CAP_HBR_AUDIO +++++++++++++++++\n");
            } else {
                set(0x54, 0x70, 0x10);
            }
            if (!(d.audio_flag & kMultiChannel))
                set(REG_AUDIO_CTRL, 0x10, 0x00);
            set(REG_AUDIO_CTRL, kMuteClearMode, kMuteClearMode);
            hdmirx_audio_reset();
            IT6602SwitchAudioState(ch, ASTATE_WaitForReady);
            return;
        case ASTATE_WaitForReady:
            if (!d.audio_counter)
                IT6602SwitchAudioState(ch, ASTATE_AudioOn);
            return;
        case ASTATE_AudioOn:
            if (d.audio_counter)
                return;
            if (IT6602_GetAudioInfo(ch))
                IT6602SwitchAudioState(ch, ASTATE_RequestAudio);
            else
                d.audio_counter = kRecheckSteps;
            return;
        default:
            return;
    }
}

// Reads the audio of the input; true when it differs from what was known.
bool velmo_it6602::IT6602_GetAudioInfo(int ch) {
    IT6602_dev_data& d = dev[ch];
    u8 caps[3] = {};
    rd_block(REG_AUDIO_CAPS, caps, 3);
    bool changed = caps[0] != d.audio_flag || caps[1] != d.audio_channels || caps[2] != d.audio_fs;
    d.audio_flag = caps[0];
    d.audio_channels = caps[1];
    d.audio_fs = caps[2];
    return changed;
}

void velmo_it6602::hdmirx_audio_reset() {
    set(REG_RESETS, 0x02, 0x02);
    set(REG_RESETS, 0x02, 0x00);
    for (int i = 0; i < 4; ++i)
        wr(0x7B, rd(0x7B));
}

void velmo_it6602::aud_fiforst() {
    set(0x74, 0x0C, 0x0C);
    delay1ms(100);
    set(0x74, 0x0C, 0x00);
    hdmirx_audio_reset();
}
