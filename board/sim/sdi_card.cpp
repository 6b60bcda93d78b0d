#include "board/sim/sdi_card.h"

#include "board/sim/soc_window.h"

namespace sim {
namespace {

Registration registration("sdi-card", [] { return std::make_shared<SdiCard>(); });

bool high(uint16_t word) {
    return word & 0x01;
}

}  // namespace

bool SdiCard::receiverInReset() const {
    auto soc = get<SocWindow>("/dev/mem");
    return soc && !high(soc->word(SocWindow::kSdiReset));
}

std::vector<SdiCard::Edge> SdiCard::resetEdges() const {
    std::vector<Edge> edges;
    auto soc = get<SocWindow>("/dev/mem");
    if (!soc)
        return edges;
    bool level = high(SocWindow::kSdiResetPowerOn);
    for (const SocWindow::Change& c : soc->changes(SocWindow::kSdiReset)) {
        if (high(c.value) == level)
            continue;
        level = high(c.value);
        edges.push_back({c.timeMs, level});
    }
    return edges;
}

std::vector<SdiCard::Pulse> SdiCard::resetPulses() const {
    std::vector<Pulse> pulses;
    const Edge* fall = nullptr;
    std::vector<Edge> edges = resetEdges();
    for (const Edge& e : edges) {
        if (!e.high)
            fall = &e;
        else if (fall)
            pulses.push_back({fall->timeMs, e.timeMs});
    }
    return pulses;
}

}  // namespace sim
