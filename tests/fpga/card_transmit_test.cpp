// Putting frames on FPGA 0's net ports: the order of the bus accesses per port pair, the
// frames the ports carried, the refusals, a pair that stays busy, the broadcast to every
// live port and the card counts the jobs go by.
#include <gtest/gtest.h>

#include <thread>

#include "tests/fpga/card_fixture.h"

namespace fpgatest {
namespace {

class PortTransmit : public CardTest {
protected:
    // The writes of the FPGA log from entry `from` on: registers as {reg, mask, the value's
    // masked bits} and RAM writes as {block, 0xEE, address}.
    std::vector<RegWrite> writesFrom(size_t from, std::vector<Bytes>* ram = nullptr) {
        std::vector<RegWrite> out;
        auto log = fpga()->log();
        for (size_t i = from; i < log.size(); ++i) {
            const auto& a = log[i];
            if (a.read)
                continue;
            if (a.op == 2) {
                out.push_back({static_cast<uint8_t>(a.address), a.mask,
                               static_cast<uint8_t>(a.data[0] & a.mask)});
            } else {
                out.push_back(
                    {static_cast<uint8_t>(a.block), 0xEE, static_cast<uint8_t>(a.address)});
                if (ram)
                    ram->push_back(a.data);
            }
        }
        return out;
    }
};

// Per pair, from the transmit table: RAM block, length low register, length high register
// and its shift, strobe register and strobe.
struct Pair {
    uint8_t block, low, high, shift, strobeReg, strobe;
};
constexpr Pair kPairs[8] = {
    {3, 26, 27, 0, 130, 0x10},    {5, 134, 27, 2, 130, 0x20},   {7, 136, 27, 4, 130, 0x40},
    {9, 138, 27, 6, 130, 0x80},   {11, 154, 158, 0, 146, 0x10}, {13, 155, 158, 2, 146, 0x20},
    {15, 156, 158, 4, 146, 0x40}, {17, 157, 158, 6, 146, 0x80},
};

TEST_F(PortTransmit, RamLengthAndStrobeInOrderOnEveryPort) {
    ASSERT_TRUE(bringUp());
    plug({});
    fpga()->setLinks(0xFFFF);
    for (uint8_t port = 0; port < 16; ++port) {
        // Frames of 300 bytes: the length's high bits are 1.
        Bytes frame(300);
        for (size_t i = 0; i < frame.size(); ++i)
            frame[i] = static_cast<u8>(port * 7 + i);
        frame = sealed(frame);
        const size_t from = fpga()->log().size();
        const size_t sentBefore = ports()->sent().size();
        ASSERT_EQ(manager->Send_to_port(frame.data(), 300, port, 0), 1) << "port " << int(port);
        const Pair& p = kPairs[port / 2];
        std::vector<Bytes> ram;
        EXPECT_EQ(
            writesFrom(from, &ram),
            (std::vector<RegWrite>{
                {static_cast<uint8_t>(port < 8 ? 132 : 148), 0xFF,
                 static_cast<uint8_t>(1u << (port % 8))},
                {p.block, 0xEE, 0},
                {p.low, 0xFF, 0x2B},  // 299 = 0x12B
                {p.high, static_cast<uint8_t>(3u << p.shift), static_cast<uint8_t>(1u << p.shift)},
                {p.strobeReg, 0xF0, p.strobe},
            }))
            << "port " << int(port);
        ASSERT_EQ(ram.size(), 1u);
        EXPECT_EQ(ram[0], frame);
        auto sent = ports()->sent();
        ASSERT_EQ(sent.size(), sentBefore + 1);
        EXPECT_EQ(sent.back().port, port);
        EXPECT_EQ(sent.back().frame, frame);
    }
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(PortTransmit, LengthsAndPortsOutsideTheFieldAreRefused) {
    ASSERT_TRUE(bringUp());
    Bytes frame(1025, 0x5A);
    const size_t from = fpga()->log().size();
    EXPECT_EQ(manager->Send_to_port(frame.data(), 0, 0, 0), 0);
    EXPECT_EQ(manager->Send_to_port(frame.data(), 1025, 0, 0), 0);
    EXPECT_EQ(manager->Send_to_port(frame.data(), 10, 16, 0), 0);
    EXPECT_EQ(manager->wait_fpga_send_ready(16, 0), 0);
    EXPECT_EQ(fpga()->log().size(), from) << "nothing reached the FPGA";

    // 1024 bytes: length - 1 = 1023 fills both fields.
    ASSERT_EQ(manager->Send_to_port(frame.data(), 1024, 1, 0), 1);
    auto writes = writesFrom(from);
    ASSERT_EQ(writes.size(), 5u);
    EXPECT_EQ(writes[2], (RegWrite{26, 0xFF, 0xFF}));
    EXPECT_EQ(writes[3], (RegWrite{27, 0x03, 0x03}));
    EXPECT_EQ(ports()->sent().back().frame.size(), 1024u);
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(PortTransmit, APairThatStaysBusyFailsTheSend) {
    ASSERT_TRUE(bringUp());
    plug({{0, 1}, {3, 1}});
    ports()->setStuckBusy(2, true);  // pair 1: ports 2 and 3
    Bytes frame{0x00, 0x30, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x04, 0x00, 0x81, 0xFF, 0x00, 0x00};
    frame = sealed(frame);
    const size_t from = fpga()->log().size();
    EXPECT_EQ(manager->Send_to_port(frame.data(), 13, 3, 0), 0);
    for (const RegWrite& w : writesFrom(from))
        ADD_FAILURE() << "write to " << int(w.reg) << " while the pair is busy";
    EXPECT_EQ(manager->Send_to_port(frame.data(), 13, 0, 0), 1) << "another pair is free";
    EXPECT_EQ(boardErrors(), "");
}

// The FPGA thread and a remote transport sending on the two ports of one pair at once:
// every frame leaves whole, on its own port.
TEST_F(PortTransmit, TwoSendersOnOnePairDoNotMixTheirFrames) {
    ASSERT_TRUE(bringUp());
    plug({{0, 1}, {1, 1}});
    const Bytes a =
        sealed({0x00, 0x00, 0x00, 0xF0, 0x10, 0x42, 0x01, 0x01, 0x00, 0x84, 0xA1, 0xA2, 0x00});
    Bytes b(40, 0xB5);
    std::copy(a.begin(), a.begin() + 9, b.begin());
    b[1] = 0x10;
    b = sealed(b);
    forgetSent();
    std::thread other([&] {
        for (int i = 0; i < 200; ++i)
            manager->Send_to_port(b.data(), 40, 1, 0);
    });
    for (int i = 0; i < 200; ++i)
        manager->Send_to_port(a.data(), 13, 0, 0);
    other.join();
    auto sent = ports()->sent();
    ASSERT_EQ(sent.size(), 400u);
    for (const auto& s : sent)
        ASSERT_EQ(s.frame, s.port == 0 ? a : b) << "port " << s.port;
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(PortTransmit, BroadcastGoesToEveryLivePortWithCards) {
    plug({{0, 2}, {2, 0}, {5, 3}});
    bringUpAndSearch();
    ASSERT_EQ(manager->get_port_card_num(5), 3);
    forgetSent();
    Bytes frame = sealed({0x05, 0x30, 0x10, 0xF0, 0x10, 0x42, 0x01, 0xFF, 0x00, 0x61, 0x00, 0x00});
    manager->multi_port_send(frame.data(), static_cast<u16>(frame.size()));
    auto sent = ports()->sent();
    ASSERT_EQ(sent.size(), 2u) << "port 2 is linked but has no cards";
    EXPECT_EQ(sent[0].port, 0);
    EXPECT_EQ(sent[0].frame,
              sealed({0x05, 0x00, 0x10, 0xF0, 0x10, 0x42, 0x01, 0xFF, 0x00, 0x61, 0x00, 0x00}));
    EXPECT_EQ(sent[1].port, 5);
    EXPECT_EQ(sent[1].frame,
              sealed({0x05, 0x10, 0x10, 0xF0, 0x10, 0x42, 0x01, 0xFF, 0x00, 0x61, 0x00, 0x00}));
    EXPECT_EQ(manager->multi_sent.load(), 1);
    EXPECT_EQ(manager->multi_sent_time.load(), G_timeTicks.load());

    // FPGA 0 not ready: nothing goes out, the broadcast still counts as sent.
    manager->multi_sent = 0;
    manager->set_fpga_ready_state(0, 0);
    forgetSent();
    manager->multi_port_send(frame.data(), static_cast<u16>(frame.size()));
    EXPECT_TRUE(ports()->sent().empty());
    EXPECT_EQ(manager->multi_sent.load(), 1);
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(PortTransmit, CardCountsComeFromTheParameterRam) {
    // Counts at 100, 102, 108, 110, 560 and 564 of FPGA 0's parameter RAM.
    const struct {
        unsigned offset;
        u16 count;
    } counts[] = {{100, 1}, {102, 2}, {108, 3}, {110, 4}, {560, 5}, {564, 0xFFFF}};
    for (const auto& c : counts) {
        fpga_manage::MCU_RAM_PARA_func[0][c.offset] = static_cast<u8>(c.count);
        fpga_manage::MCU_RAM_PARA_func[0][c.offset + 1] = static_cast<u8>(c.count >> 8);
    }
    fpga_manage::MCU_RAM_PARA_func[1][100] = 7;
    EXPECT_EQ(manager->get_port_card_num(0), 1);
    EXPECT_EQ(manager->get_port_card_num(3), 4);
    EXPECT_EQ(manager->get_port_card_num(4), 5);
    // Card indexes 0x0FFE and 0x0FFF address the whole chain: a count can not reach them.
    EXPECT_EQ(manager->get_port_card_num(5), 0x0FFE);
    EXPECT_EQ(manager->get_port_card_num(6), 0);
    EXPECT_EQ(manager->check_netport_card(0), static_cast<u16>(1 + 2 + 3 + 4 + 5 + 0xFFFF));
    EXPECT_EQ(manager->check_netport_card(1), 7);
}

}  // namespace
}  // namespace fpgatest
