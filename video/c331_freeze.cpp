// Freeze, fades and layer blend. While the output pass reprograms windows, the output
// channels of the changed windows read one still frame from their frame memory (freeze);
// when a single window changes its source and asks for it, its layer fades out against the
// layer below and in again instead. The default blend gives each panel position's top
// layer the full weight.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "video/c331_log.h"
#include "video/c331_manage.h"
#include "video/c331_regs.h"
#include "video/c331_window_plan.h"

using c331reg::reg;

namespace {

constexpr int kBanks = c331reg::kChannelBanks;
constexpr int kFreezePolls = 251;
constexpr u32 kFreezeRequest = 2;
constexpr u32 kLinkBit = 0x10;      // channel control: input channel linked to its group
constexpr int kBlendPositions = 4;  // panel positions with a blend unit
constexpr int kBlendSets = 16;
constexpr int kBlendLayers = 5;
constexpr u32 kFullWeight = 0x80;
constexpr u32 kStepHold = 255;
constexpr u32 kStepRelease0 = 169;
constexpr u32 kStepRelease1 = 203;

u32 at(u32 desc, int step) {
    return desc + (static_cast<u32>(step) << 8);
}

}  // namespace

// The output channel whose frames a wait for the slot follows: one that showed it in the
// previous pass, else one that shows it now, else channel 0.
int c331_manage::output_channel_of(int slot) const {
    for (int c = 0; c < kOutputChannels; ++c)
        if (prev_win_num[c] == slot)
            return c;
    for (int c = 0; c < kOutputChannels; ++c)
        if (pm.PM_WIN_NUM[c] == slot)
            return c;
    return 0;
}

void c331_manage::win_freeze_sel(int, int slot, int output) {
    const int ich = first_ich(slot);
    if (ich < 0)
        return;
    wr(c331reg::kInputControl, (output & 2) ? kFreezeRequest : 1u, kBanks * ich);
}

void c331_manage::set_freeze(int dev, int on) {
    if (!on) {
        for (int j = 0; j < kWindows; ++j) {
            int leader = j, partner = -1;
            check_stitching_win(&leader, &partner);
            for (int c = 0; c < kOutputChannels; ++c)
                if (pm.PM_WIN_NUM[c] == j)
                    wr_changed(c331reg::kOutputMemory,
                               c331plan::output_control_word(fb_rec[leader]), kBanks * c);
            freeze_mark[j] = 0;
        }
        return;
    }
    // The changed slots with the input channel they were received on.
    struct Frozen {
        int slot;
        int ich;
    };
    std::vector<Frozen> frozen;
    for (int j = 0; j < kWindows; ++j) {
        if (!g_chg_input[j] && !g_chg_new[j] && !g_chg_win[j])
            continue;
        const int before = prev_ich_list[j][0];
        const int ich = before >= 0 && before < kInputChannels ? before : first_ich(j);
        if (ich >= 0)
            frozen.push_back({j, ich});
    }
    if (frozen.empty())
        return;
    set_rtct(dev, 0);
    auto phase = [this](int ich) {
        return static_cast<int>((rd(at(c331reg::kFieldPhase, ich)) & 0x0F) >> 2);
    };
    const int c0 = frozen[0].ich;
    wr(c331reg::kInputControl, kFreezeRequest, kBanks * c0);
    const int f0 = phase(c0);
    // The other inputs freeze on the same field as the first.
    std::vector<int> waiting;
    for (const Frozen& f : frozen)
        if (f.ich != c0 && std::find(waiting.begin(), waiting.end(), f.ich) == waiting.end())
            waiting.push_back(f.ich);
    for (int pass = 0; pass < kFreezePolls && !waiting.empty(); ++pass) {
        for (auto it = waiting.begin(); it != waiting.end();) {
            if (phase(*it) != f0) {
                ++it;
                continue;
            }
            wr(c331reg::kInputControl, kFreezeRequest, kBanks * *it);
            it = waiting.erase(it);
        }
    }
    if (!waiting.empty())
        c331_log("[set_freeze] %d input channel(s) never reached field %d, left running\n",
                 static_cast<int>(waiting.size()), f0);
    // The frozen inputs leave their group for the time of the freeze.
    for (const Frozen& f : frozen)
        for (int k = 0; k < kInputChannels && prev_ich_list[f.slot][k] >= 0; ++k)
            wr_mask_changed(at(c331reg::kChannelControl, prev_ich_list[f.slot][k]), 0, kLinkBit);
    wait1_povs(dev, output_channel_of(frozen[0].slot));
    int* r = fb_rec[frozen[0].slot];
    std::swap(r[(f0 + 3) % 4], r[4]);
    for (const Frozen& f : frozen) {
        std::copy(r, r + 5, fb_rec[f.slot]);
        const int* ichs = prev_ich_list[f.slot][0] >= 0 ? prev_ich_list[f.slot] : ich_list[f.slot];
        for (int k = 0; k < kInputChannels && ichs[k] >= 0; ++k)
            wr_changed(c331reg::kMemoryControl, c331plan::memory_control_word(r), kBanks * ichs[k]);
        freeze_mark[f.slot] = 1;
        for (int c = 0; c < kOutputChannels; ++c)
            if (prev_win_num[c] == f.slot)
                wr_changed(c331reg::kOutputMemory, c331plan::frozen_output_word(r), kBanks * c);
    }
}

void c331_manage::reset_act(int, int mode) {
    if (mode == 0 || mode == 2)
        for (int ich = 0; ich < kInputChannels; ++ich)
            if (ich_owner[ich] < 0)
                wr_changed(c331reg::kCaptureWidth, 0, kBanks * ich);
    if (mode != 1 && mode != 2)
        return;
    for (int c = 0; c < kOutputChannels; ++c) {
        const int slot = pm.PM_WIN_NUM[c];
        const bool carries = window_shown(slot) && pm.PM_AREA_NUM[c] < pm.PM_WIN_SHAPE[slot][0] *
                                                                           pm.PM_WIN_SHAPE[slot][1];
        if (!carries)
            wr_changed(c331reg::kOutHSize, 0, kBanks * c);
    }
}

void c331_manage::reset_layer_coef(int, int mode) {
    const u32 blendMode = mode == 1 ? 0x100 : mode == 2 ? 0x200 : 0;
    for (int u = 0; u < kBlendPositions; ++u) {
        const int o = kBanks * u;
        const int e = g_och_layer_cnt[u] ? static_cast<int>(kFullWeight) : 0;
        for (int s = 0; s < kBlendSets; ++s) {
            u8 coef[kBlendLayers];
            c331plan::default_coefficients(s, e, coef);
            for (int k = 0; k < kBlendLayers; ++k)
                wr_changed(at(c331reg::kBlendCoefficient, kBlendLayers * s + k), coef[k], o);
            wr_changed(c331reg::kBlendMode, blendMode, o);
        }
    }
}

// One step of a fade: the slot's layer and the layer below it at every blend position
// where the slot is composed.
void c331_manage::write_layer_step(int slot, int own, int below) {
    for (int u = 0; u < kBlendPositions; ++u) {
        int k = -1;
        for (int i = 0; i < g_och_layer_cnt[u] && i < kOutputChannels; ++i) {
            const int c = g_och_layer[u][i];
            if (c >= 0 && c < kOutputChannels && pm.PM_WIN_NUM[c] == slot)
                k = i;
        }
        if (k < 0)
            continue;
        const int o = kBanks * u;
        wr_changed(c331reg::kBlendMode, k == 4 ? 0x100u : k > 4 ? 0x200u : 0u, o);
        if (k >= kBlendLayers)
            continue;
        if (k == 0) {
            // The base layer has no layer below: only its own weight, in the set where it
            // is alone.
            wr(c331reg::kBlendCoefficient, static_cast<u32>(own), o);
            continue;
        }
        for (int s = 1; s < kBlendSets; ++s) {
            if (!(s & (1 << (k - 1))))
                continue;
            wr(at(c331reg::kBlendCoefficient, kBlendLayers * s + k), static_cast<u32>(own), o);
            wr(at(c331reg::kBlendCoefficient, kBlendLayers * s + k - 1), static_cast<u32>(below),
               o);
        }
    }
}

// One step of a fade, inside the hold of the chip's register update.
void c331_manage::write_fade_step(int slot, int own, int below) {
    wr(c331reg::kRegUpdateTime, kStepHold);
    wr(at(c331reg::kRegUpdateTime, 1), kStepHold);
    write_layer_step(slot, own, below);
    wr(c331reg::kRegUpdateTime, kStepRelease0);
    wr(at(c331reg::kRegUpdateTime, 1), kStepRelease1);
}

void c331_manage::set_layer_coef(int dev, int slot, int steps, int dir) {
    c331_log("set_layer_coef  win=%d  cnt=%d  dir=%d\n", slot, steps, dir);
    if (dir == 0)
        fade_sync_lost = false;
    if (slot < 0 || slot >= kWindows)
        return;
    const std::vector<c331plan::FadeStep> plan = c331plan::fade_steps(steps, dir);
    const int och = output_channel_of(slot);
    // Without output frames every step's wait would run its full 70 s: up to 256 of them.
    for (size_t i = 0; i < plan.size(); ++i) {
        if (fade_sync_lost) {
            c331_log("set_layer_coef  no output frame: the fade ends at step %d of %d\n",
                     static_cast<int>(i), static_cast<int>(plan.size() - 1));
            write_fade_step(slot, plan.back().own, plan.back().below);
            return;
        }
        write_fade_step(slot, plan[i].own, plan[i].below);
        fade_sync_lost = wait1_povs(dev, och) == 0;
    }
}
