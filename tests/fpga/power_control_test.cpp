// The LED screen's power through the multifunction card on an output port: its eight
// outputs switched on one by one when window 0's source gets a signal, off once the
// signal has been gone for 10 s while the card reports its power on, and the card's RAM 0
// read for that report.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "board/sim/wall_clock.h"
#include "tests/fpga/card_fixture.h"

namespace fpgatest {
namespace {

constexpr int kPort = 2;  // the card answers at 0x6000, in the receive buffer of pair 1

// The XOR of every byte but the last goes into the last.
Bytes closed(Bytes frame) {
    u8 x = 0;
    for (size_t i = 0; i + 1 < frame.size(); ++i)
        x ^= frame[i];
    frame.back() = x;
    return frame;
}

// The card's register command for output n: on sets its two bits to 3, off to 1.
Bytes switchFrame(int output, bool on) {
    const int k = (output - 1) % 4;
    const u8 value = static_cast<u8>((on ? 3 : 1) << (2 * k));
    return closed({0x00, 0x60, 0x00, 0xF0, 0x10, 0xBB, 0x03, 0x00, 0x00, 0xA0,
                   static_cast<u8>(output <= 4 ? 2 : 3), static_cast<u8>(3 << (2 * k)), 0x00, value,
                   0x00});
}

const Bytes kRam0Read = closed({0x00, 0x60, 0x00, 0xF0, 0x10, 0xBB, 0x03, 0x00, 0x00, 0x61, 0x00,
                                0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00});

class PowerControl : public CardTest {
protected:
    void SetUp() override {
        CardTest::SetUp();
        sim::get<sim::WallClock>("wall-clock")->set(2024, 3, 15, 20, 0, 0);
        plug({{0, 1}, {kPort, 2}});
        ports()->setMultifunction(kPort, true);
        // Window 0 alone, on HDMI1.
        for (int w = 1; w < 6; ++w)
            store->ram_para.setU16(para::window_at(w) + para::win_enable, 0);
        store->ram_para.setU16(para::window_at(0) + para::win_enable, 1);
        store->ram_para[para::window_at(0) + para::win_source] = 1;
        store->ram_para[para::window_at(0) + para::win_source_kind] = 0;
        signal(false);
        bringUpAndSearch();
        forgetSent();
    }
    void signal(bool present) {
        const size_t at = para::input_size_at(1);
        store->ram_para.setU16(at, present ? 1920 : 0);
        store->ram_para.setU16(at + 2, present ? 1080 : 0);
        store->ram_para.setU16(at + 4, present ? 60 : 0);
    }
    // One tick: the pass, then the power control, which no pass step starts.
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            run(1);
            manager->Power_ctrl_deal();
        }
    }
    sim::MultifunctionCard cardState() { return ports()->multifunctionCard(kPort); }
    // Frames the card was sent with this opcode, and the ticks they left at.
    std::vector<SentFrame> toCard(u8 opcode) {
        std::vector<SentFrame> out;
        for (const SentFrame& f : sentOn(kPort))
            if (f.frame.size() > 9 && f.frame[0] == 0x00 && f.frame[1] == 0x60 &&
                f.frame[9] == opcode)
                out.push_back(f);
        return out;
    }
    void write(u8 reg, u8 value) { manager->write_to_register(reg, 0xFF, value, 0); }
    int outputsOn() {
        int n = 0;
        for (int o = 1; o <= 8; ++o)
            n += cardState().output(o);
        return n;
    }
};

TEST_F(PowerControl, ASignalSwitchesTheEightOutputsOnOneByOneFiftyOneTicksApart) {
    tick(5);
    EXPECT_TRUE(toCard(0xA0).empty()) << "no signal, nothing switched";
    signal(true);
    for (int i = 0; i < 1000 && toCard(0xA0).size() < 8; ++i)
        tick();
    ASSERT_EQ(toCard(0xA0).size(), 8u);
    const auto reads = toCard(0x61);
    ASSERT_GE(reads.size(), 1u);
    EXPECT_EQ(reads[0].frame, kRam0Read);
    const auto switches = toCard(0xA0);
    EXPECT_LE(reads[0].tick, switches[0].tick) << "the card's state is read first";
    for (int o = 1; o <= 8; ++o) {
        EXPECT_EQ(switches[o - 1].frame, switchFrame(o, true)) << "output " << o;
        if (o > 1) {
            EXPECT_EQ(switches[o - 1].tick - switches[o - 2].tick, 51u) << "output " << o;
        }
    }
    const sim::MultifunctionCard card = cardState();
    const auto& log = card.switches();
    ASSERT_EQ(log.size(), 8u);
    for (int o = 1; o <= 8; ++o) {
        EXPECT_EQ(log[o - 1].output, o);
        EXPECT_TRUE(log[o - 1].on);
    }
    EXPECT_EQ(outputsOn(), 8);
    EXPECT_EQ(shadow(85), 0) << "every answer good";
    // The next reading of the card reports its power on.
    tick(1100);
    EXPECT_EQ(shadow(67), 1);
    EXPECT_EQ(g_change[21], 1u);
    EXPECT_EQ(toCard(0xA0).size(), 8u) << "switched once";
}

TEST_F(PowerControl, TenSecondsWithoutSignalSwitchTheOutputsOffOnceThenASignalOnAgain) {
    ports()->setMultifunctionOutputs(kPort, true);
    signal(true);
    tick(1200);
    ASSERT_EQ(toCard(0xA0).size(), 8u);
    ASSERT_EQ(shadow(67), 1);
    forgetSent();
    signal(false);
    const u32 seen = g_change[25];
    for (int i = 0; i < 1200 && toCard(0xA0).empty(); ++i)
        tick();
    auto offs = toCard(0xA0);
    ASSERT_EQ(offs.size(), 1u);
    EXPECT_EQ(offs[0].tick - seen, 1001u) << "more than 1000 ticks after it was last seen";
    EXPECT_EQ(outputsOn(), 7);
    tick(500);
    offs = toCard(0xA0);
    ASSERT_EQ(offs.size(), 8u);
    for (int o = 1; o <= 8; ++o) {
        EXPECT_EQ(offs[o - 1].frame, switchFrame(o, false)) << "output " << o;
        if (o > 1) {
            EXPECT_EQ(offs[o - 1].tick - offs[o - 2].tick, 51u);
        }
    }
    EXPECT_EQ(outputsOn(), 0);
    tick(3000);
    EXPECT_EQ(toCard(0xA0).size(), 8u) << "switched off once";
    EXPECT_EQ(shadow(67), 0) << "the card now reports its power off";

    signal(true);
    tick(600);
    EXPECT_EQ(outputsOn(), 8);
    EXPECT_EQ(toCard(0xA0).size(), 16u);
}

TEST_F(PowerControl, TheCardsRamZeroIsCopiedWholeAndByte44IsItsPowerState) {
    for (size_t at : {0, 127, 128, 200, 255})
        ports()->setMultifunctionRam0(kPort, at, static_cast<u8>(0xA0 + at % 16));
    ports()->setMultifunctionOutputs(kPort, true);
    manager->Power_ctrl_task();
    EXPECT_EQ(manager->vmf_port, kPort);
    EXPECT_EQ(g_change[28], 0x6000u) << "0x4000 with the port bits of port 2";
    EXPECT_EQ(g_change[27], 1u) << "port group 1";
    EXPECT_EQ(manager->vmf_ram0[0], 0xA0);
    EXPECT_EQ(manager->vmf_ram0[127], 0xAF);
    EXPECT_EQ(manager->vmf_ram0[128], 0xA0);
    EXPECT_EQ(manager->vmf_ram0[200], 0xA8);
    EXPECT_EQ(manager->vmf_ram0[255], 0xAF);
    EXPECT_EQ(manager->vmf_ram0[44], 1);
    EXPECT_EQ(shadow(67), 1);
    EXPECT_EQ(g_change[21], 1u);
    ports()->setMultifunctionOutputs(kPort, false);
    manager->Power_ctrl_task();
    EXPECT_EQ(shadow(67), 0);
    EXPECT_EQ(g_change[21], 0u);
    EXPECT_FALSE(ports()->holdsFrame());
}

TEST_F(PowerControl, ACardThatIsSilentOrLateStillGetsEveryOutputInTurn) {
    sim::MultifunctionCard::Faults silent;
    silent.silent = true;
    ports()->setMultifunctionFaults(kPort, silent);
    signal(true);
    tick(600);
    auto switches = toCard(0xA0);
    ASSERT_EQ(switches.size(), 8u) << "each wait ends after 35 ticks";
    for (size_t i = 1; i < switches.size(); ++i)
        EXPECT_EQ(switches[i].tick - switches[i - 1].tick, 51u);
    EXPECT_EQ(outputsOn(), 8) << "the card carried them out";
    EXPECT_EQ(shadow(67), 0) << "no report, no power state";

    sim::MultifunctionCard::Faults late;
    late.lateMs = 30;
    ports()->setMultifunctionFaults(kPort, late);
    ports()->setMultifunctionOutputs(kPort, false);
    forgetSent();
    manager->Power_ctrl_reset();
    tick(600);
    EXPECT_EQ(toCard(0xA0).size(), 8u);
    EXPECT_EQ(outputsOn(), 8);
    ports()->releaseLate();
    tick(5);
    EXPECT_FALSE(ports()->holdsFrame()) << "late answers do not jam the receive buffer";
    EXPECT_EQ(shadow(85), 0);
}

TEST_F(PowerControl, AnAnswerWithABadCheckByteIsCountedAndNotTaken) {
    ports()->setMultifunctionOutputs(kPort, true);
    sim::MultifunctionCard::Faults bad;
    bad.badCheck = true;
    ports()->setMultifunctionFaults(kPort, bad);
    manager->Power_ctrl_task();
    EXPECT_EQ(shadow(85), 1);
    EXPECT_EQ(g_change[6], 2u);
    EXPECT_EQ(shadow(67), 0);
    EXPECT_FALSE(ports()->holdsFrame());
}

TEST_F(PowerControl, NothingIsSwitchedWhileAnotherWindowIsOnOrWithoutACard) {
    store->ram_para.setU16(para::window_at(3) + para::win_enable, 1);
    signal(true);
    tick(700);
    EXPECT_TRUE(toCard(0xA0).empty());
    EXPECT_TRUE(toCard(0x61).empty());

    // Without a card the request waits; the card found later gets the sequence.
    ports()->setMultifunction(kPort, false);
    tick(300);
    store->ram_para.setU16(para::window_at(3) + para::win_enable, 0);
    tick(300);
    EXPECT_TRUE(toCard(0xA0).empty());
    ports()->setMultifunction(kPort, true);
    tick(1700);
    EXPECT_EQ(toCard(0xA0).size(), 8u);
    EXPECT_EQ(outputsOn(), 8);
}

TEST_F(PowerControl, SwitchCommandsOutsideTheEightOutputsSendNothing) {
    manager->Power_check_VMF();
    EXPECT_FALSE(manager->Send_write_VMF_reg_cmd(0, 0));
    EXPECT_FALSE(manager->Send_write_VMF_reg_cmd(0, 9));
    EXPECT_FALSE(manager->Send_write_VMF_reg_cmd(2, 1));
    EXPECT_TRUE(sentOn(kPort).empty());
    EXPECT_TRUE(manager->Send_write_VMF_reg_cmd(1, 6));
    const auto sent = toCard(0xA0);
    ASSERT_EQ(sent.size(), 1u);
    // Output 6: register 3, bits 2..3.
    EXPECT_EQ(sent[0].frame, closed({0x00, 0x60, 0x00, 0xF0, 0x10, 0xBB, 0x03, 0x00, 0x00, 0xA0,
                                     0x03, 0x0C, 0x00, 0x04, 0x00}));
    EXPECT_EQ(manager->wait_VMF_result(), 1u);
}

// A transport polls the receive path for a PC meanwhile (under passby_mutex, as the
// power control's own looks are): whichever takes the card's answers, every output is
// switched and the power state arrives.
TEST_F(PowerControl, TheSwitchingSharesTheReceivePathWithTheTransports) {
    ports()->setMultifunctionOutputs(kPort, true);
    std::atomic<bool> stop{false};
    std::thread transport([&] {
        while (!stop) {
            pthread_mutex_lock(&manager->passby_mutex);
            manager->reg_IRQ_Dealwith(0, 0);
            pthread_mutex_unlock(&manager->passby_mutex);
        }
    });
    int reports = 0;
    for (int i = 0; i < 60; ++i) {
        manager->Power_ctrl_task();
        reports += shadow(67) == 1;
        write(67, 0);
    }
    manager->Power_ctrl_reset();
    g_change[21] = 0;
    for (int i = 0; i < 9; ++i) {
        G_timeTicks += 51;
        manager->eth_data_send_start();
    }
    stop = true;
    transport.join();
    EXPECT_EQ(reports, 60) << "every reading answered";
    EXPECT_EQ(outputsOn(), 8);
    EXPECT_EQ(shadow(85), 0);
}

}  // namespace
}  // namespace fpgatest
