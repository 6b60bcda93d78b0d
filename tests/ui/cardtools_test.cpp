#include "tests/ui/cardtools_test.h"

#include <ostream>

#include "fpga/send_para.h"
#include "ui/QRoundProgressBar.h"

namespace test {

void CardToolsTest::TearDown() {
    g_fpga_c331_start = 0;
    send_para_clear();
    SettingsTest::TearDown();
}

void CardToolsTest::startCards(const std::map<int, int>& cards) {
    startFpga();
    uint16_t links = 0;
    for (const auto& [port, count] : cards) {
        ports()->setCards(port, count);
        links = static_cast<uint16_t>(links | 1u << port);
    }
    fpga()->setLinks(links);
    ASSERT_TRUE(bringUp());
    g_fpga_c331_start = 1;
    if (cards.empty())
        return;
    // Two search cycles (even and odd ports), and the answers of the second.
    for (int cycle = 0; cycle < 2; ++cycle) {
        const u32 started = g_change[8];
        ASSERT_TRUE(fpgaUntil([started] { return g_change[8] != started; }, 300));
    }
    fpgaPass(2);
    for (const auto& [port, count] : cards)
        ASSERT_EQ(manager->get_port_card_num(static_cast<u8>(port)), count) << "port " << port;
}

bool CardToolsTest::jobOver() {
    if (send_para_job() != 0)
        fpgaPass(20);
    return send_para_job() == 0 && g_qround_bar == nullptr;
}

std::vector<std::vector<uint8_t>> framesWith(const sim::ReceivingCard& card, uint8_t opcode) {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& frame : card.frames())
        if (frame.size() > 9 && frame[9] == opcode)
            out.push_back(frame);
    return out;
}

// Write RAM: u32 address at 10, u16 length at 14, u16 0, the data from 18.
Position positionOf(const sim::ReceivingCard& card) {
    for (const auto& frame : framesWith(card, 0x60)) {
        if (frame.size() < 23)
            continue;
        const uint32_t address = frame[10] | frame[11] << 8 | frame[12] << 16 | frame[13] << 24;
        const int length = frame[14] | frame[15] << 8;
        if (address == 0x180 && length == 4)
            return {frame[18] | frame[19] << 8, frame[20] | frame[21] << 8};
    }
    return {-1, -1};
}

std::ostream& operator<<(std::ostream& out, const Position& p) {
    return out << "(" << p.x << ", " << p.y << ")";
}

}  // namespace test
