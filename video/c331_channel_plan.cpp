// Input-channel allocation (see c331_window_plan.h). The eight input channels come in
// pairs (0,1), (2,3), (4,5), (6,7); a wide input takes a whole pair, an interlaced one must
// be received on channels 0..3, where the de-interlacers sit.
#include <algorithm>

#include "video/c331_window_plan.h"

namespace c331plan {

namespace {

constexpr int kPairs[4][2] = {{4, 5}, {6, 7}, {2, 3}, {0, 1}};

bool shown(const IchTables& t, int slot) {
    return slot >= 0 && slot < kWindows && t.shape[slot][0] != 0 && t.shape[slot][1] != 0;
}

bool is_free(const IchTables& t, int ich) {
    return t.owner[ich] == kFree;
}

// The choice inside a group of four: when its first channel is free, its last if the
// third is taken (so that the pairs stay whole), else the first; otherwise the first free.
int choose_in_group(const IchTables& t, int g) {
    const int c[4] = {g, g + 1, g + 2, g + 3};
    if (is_free(t, c[0]))
        return !is_free(t, c[2]) && is_free(t, c[3]) ? c[3] : c[0];
    for (int i = 1; i < 4; ++i)
        if (is_free(t, c[i]))
            return c[i];
    return -1;
}

int first_free_of(const IchTables& t, std::initializer_list<int> order) {
    for (int ich : order)
        if (is_free(t, ich))
            return ich;
    return -1;
}

int channels_owned(const IchTables& t, int slot) {
    return static_cast<int>(std::count(t.owner, t.owner + kInputChannels, slot));
}

// Moves the owner of `from` to the first free channel of `order`; false when none.
bool move_owner(IchTables& t, int from, std::initializer_list<int> order) {
    const int owner = t.owner[from];
    if (owner == kFree)
        return true;
    const int to = first_free_of(t, order);
    if (to < 0)
        return false;
    t.owner[to] = owner;
    t.owner[from] = kFree;
    if (owner >= 0 && owner < kWindows)
        t.inputFlag[owner] = 2;
    return true;
}

void release(IchTables& t, int slot) {
    for (int& owner : t.owner)
        if (owner == slot)
            owner = kFree;
}

}  // namespace

void init_ich_tables(IchTables& t) {
    std::fill(std::begin(t.owner), std::end(t.owner), kFree);
    for (auto& l : t.list)
        std::fill(std::begin(l), std::end(l), -1);
    for (int j = 0; j < kWindows; ++j) {
        t.shape[j][0] = t.shape[j][1] = 0;
        t.input[j] = kNoSlot;
        t.dbd[j] = t.newFlag[j] = t.inputFlag[j] = 0;
    }
    for (PortNeeds& p : t.port)
        p = PortNeeds{};
}

int ich_demand(const IchTables& t, int slot) {
    const int mode = t.dbd[slot];
    const int port = t.input[slot];
    if (mode == 0 || mode == 1) {
        const bool narrow = port >= 0 && port <= 3 && !t.port[port].wide;
        return narrow ? 1 : 2;
    }
    if (mode < 2)
        return 0;
    if (mode < 30)
        return 2;
    if (mode < 40)
        return 3;
    if (mode < 52)
        return 4;
    return 0;
}

void rebuild_ich_lists(IchTables& t) {
    for (int j = 0; j < kWindows; ++j) {
        int n = 0;
        std::fill(std::begin(t.list[j]), std::end(t.list[j]), -1);
        for (int ich = 0; ich < kInputChannels; ++ich)
            if (t.owner[ich] == j)
                t.list[j][n++] = ich;
    }
}

int check_ich_all(IchTables& t, int slot, Log* log) {
    int sum = 0;
    for (int j = 0; j < kWindows; ++j)
        if (shown(t, j))
            sum += ich_demand(t, j);
    if (sum > kInputChannels) {
        note(log, "check_ich_all ret=%d\n", -1);
        return -1;
    }
    for (int& owner : t.owner)
        if (owner != kFree && (owner >= kWindows || owner < 0 || !shown(t, owner) || owner == slot))
            owner = kFree;
    rebuild_ich_lists(t);
    note(log, "check_ich_all ret=%d\n", sum);
    return sum;
}

int check_ich(const IchTables& t, int lowOnly, int pair) {
    if (pair) {
        for (const auto& p : kPairs)
            if (is_free(t, p[0]) && is_free(t, p[1]))
                return p[0];
        return -1;
    }
    const int low = choose_in_group(t, 0);
    if (low >= 0 || lowOnly)
        return low;
    return choose_in_group(t, 4);
}

int adjust_ich(IchTables& t, int lowOnly, int pair, int slot, Log* log) {
    if (!pair && !lowOnly) {
        const int ich = first_free_of(t, {0, 1, 2, 3, 4, 5, 6, 7});
        if (ich < 0)
            return -1;
        t.owner[ich] = slot;
        return 0;
    }
    if (!pair) {
        if (const int ich = first_free_of(t, {0, 1, 2, 3}); ich >= 0) {
            t.owner[ich] = slot;
            return 0;
        }
        for (int k = 0; k < 4; ++k) {
            const int owner = t.owner[k];
            if (owner < 0 || owner >= kWindows)
                continue;
            const int port = t.input[owner];
            const bool mustStay = port >= 0 && port < kPorts && t.port[port].lowOnly;
            // Half of a wide input's pair never moves away from its other half.
            if (mustStay || channels_owned(t, owner) > 1)
                continue;
            if (!move_owner(t, k, {4, 5, 6, 7}))
                break;
            t.owner[k] = slot;
            return 0;
        }
        note(log, "ICH1-4 is not available!!!\n");
        const int high = first_free_of(t, {4, 5, 6, 7});
        if (high < 0)
            return -1;
        t.owner[high] = slot;
        return 0;
    }
    struct Case {
        int free, busy;
        std::initializer_list<int> to;
        int first;
    };
    const Case cases[] = {
        {4, 5, {6, 7, 0, 1, 2, 3}, 4},
        {5, 4, {6, 7, 0, 1, 2, 3}, 4},
        {6, 7, {0, 1, 2, 3}, 6},
        {7, 6, {0, 1, 2, 3}, 6},
        {0, 1, {2, 3}, 0},
        {1, 0, {2, 3}, 0},
    };
    for (const Case& c : cases) {
        if (!is_free(t, c.free))
            continue;
        if (!move_owner(t, c.busy, c.to))
            break;
        t.owner[c.first] = t.owner[c.first + 1] = slot;
        return 0;
    }
    note(log, "adjust_ich NG!!!\n");
    return -1;
}

namespace {

// n single channels for a dot-by-dot slot: 0 taken directly, 1 after adjusting (for four
// channels: when the last one had to be adjusted), 2 failed.
int take_singles(IchTables& t, int slot, int port, int n, Log* log) {
    bool adjustedAny = false;
    bool adjustedLast = false;
    for (int i = 0; i < n; ++i) {
        const int ich = check_ich(t, 0, 0);
        adjustedLast = ich < 0;
        if (ich >= 0) {
            t.owner[ich] = slot;
            continue;
        }
        if (adjust_ich(t, 0, 0, slot, log) != 0) {
            note(log, "set_input Dot-By-Dot Rare Case!!!   win=%d  port=%d\n", slot, port);
            release(t, slot);
            return 2;
        }
        adjustedAny = true;
    }
    return (n == 4 ? adjustedLast : adjustedAny) ? 1 : 0;
}

int take_for_single_input(IchTables& t, int slot, int port, Log* log) {
    const int mode = t.dbd[slot];
    const bool known = port >= 0 && port < kPorts;
    const bool single = !(known && t.port[port].wide) || mode == 1;
    const int lowOnly = known && t.port[port].lowOnly ? 1 : 0;
    if (port >= 0 && port <= 3 && single) {
        const int ich = check_ich(t, lowOnly, 0);
        if (ich >= 0) {
            t.owner[ich] = slot;
            return 0;
        }
        return adjust_ich(t, lowOnly, 0, slot, log) == 0 ? 1 : 2;
    }
    if (!known && single)
        return 2;
    const int first = check_ich(t, lowOnly, 1);
    if (first >= 0) {
        t.owner[first] = t.owner[first + 1] = slot;
        return 0;
    }
    return adjust_ich(t, lowOnly, 1, slot, log) == 0 ? 1 : 2;
}

}  // namespace

int set_input(IchTables& t, int slot, int port, Log* log) {
    if (slot < 0 || slot >= kWindows)
        return 2;
    const int mode = t.dbd[slot];
    if (mode > 1 && t.newFlag[slot] == 0)
        return 0;
    if (!shown(t, slot)) {
        note(log, "[set_input] win_%d, port_%d, window is unavailable\n", slot, port);
        return 2;
    }
    if (check_ich_all(t, slot, log) < 0) {
        note(log, "[set_input] win_%d, check_ich_all(win) fail\n", slot);
        // Left without input: the channels it had go back to the free ones.
        release(t, slot);
        rebuild_ich_lists(t);
        return 2;
    }
    int result;
    if (mode == 0 || mode == 1) {
        result = take_for_single_input(t, slot, port, log);
    } else if (mode < 30) {
        result = take_singles(t, slot, port, 2, log);
    } else if (mode < 40) {
        result = take_singles(t, slot, port, 3, log);
    } else if (mode < 52) {
        result = take_singles(t, slot, port, 4, log);
    } else {
        note(log, "set_input Dot-By-Dot Rare Case!!!   win=%d  port=%d\n", slot, port);
        result = 2;
    }
    if (result == 2)
        release(t, slot);
    rebuild_ich_lists(t);
    return result;
}

void reset_ich(IchTables& t, int slot) {
    if (shown(t, slot))
        return;
    for (int ich : t.list[slot])
        if (ich >= 0 && ich < kInputChannels && t.owner[ich] == slot)
            t.owner[ich] = kFree;
    std::fill(std::begin(t.list[slot]), std::end(t.list[slot]), -1);
}

}  // namespace c331plan
