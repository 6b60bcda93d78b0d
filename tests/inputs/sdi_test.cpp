// The SDI card: the receiver's reset pulse a PC asks for, and the card's transmitter
// driver, which the running system constructs and never starts.
#include <atomic>
#include <chrono>
#include <thread>

#include "board/sim/sdi_card.h"
#include "inputs/it66121_hdmitx_drv.h"
#include "inputs/it66121_hdmitx_sys.h"
#include "inputs/it66121_sys.h"
#include "inputs/sii9022.h"
#include "remote/message_deal.h"
#include "tests/inputs/it6805_fixture.h"
#include "tests/remote/remote_test.h"

namespace {

class Sdi : public test::It6805Test {
protected:
    void SetUp() override {
        It6805Test::SetUp();
        card = sim::get<sim::SdiCard>("sdi-card");
        transmitter = &bus->dormant(0x98);
        startUp();
        source->channel_mask = 0;  // the run cycle's own work only
    }

    std::shared_ptr<sim::SdiCard> card;
    sim::PlainRegisterChip* transmitter = nullptr;
};

TEST_F(Sdi, APcsResetRequestHoldsTheReceiverInResetForAtLeast160ms) {
    EXPECT_FALSE(card->receiverInReset());
    // Register 0xA6 of the device, written by a PC.
    message_deal deal{RemoteTransport::Udp};
    remotetest::Bytes request = remotetest::frame(0xF100, 0xA0, remotetest::mem(0xA6, 1, {0x01}));
    remotetest::Bytes reply(message_deal::kMaxReply);
    reply.resize(deal.message_group_deal(request.data(), request.size(), reply.data()));
    ASSERT_EQ(remotetest::replyStatus(request, reply), 0);

    // The input thread's passes, with the ticks of the front panel's 10 ms timer.
    std::atomic<bool> ticking{true};
    std::thread ticker([&] {
        while (ticking) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ++G_timeTicks;
        }
    });
    bool pulsed = test::waitFor(
        [&] {
            source->checksource_pass();
            return !card->resetPulses().empty();
        },
        5000);
    ticking = false;
    ticker.join();
    ASSERT_TRUE(pulsed);

    auto pulses = card->resetPulses();
    ASSERT_EQ(pulses.size(), 1u);
    EXPECT_GE(pulses[0].lengthMs(), 160.0);
    EXPECT_FALSE(card->receiverInReset());
    EXPECT_EQ(source->sdi_reset_request, 0);
    pass(3);
    EXPECT_EQ(card->resetEdges().size(), 2u) << "one pulse per request";
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(Sdi, TheTransmitterIsConstructedButNeitherItNorTheSiI9022IsReached) {
    pass(20);
    ASSERT_NE(source->it66121, nullptr);
    EXPECT_TRUE(bus->messagesTo(0x98).empty());
    EXPECT_TRUE(bus->messagesTo(0x76).empty());
    EXPECT_EQ(SiI9022::p_9022, nullptr);
    EXPECT_TRUE(card->resetEdges().empty());
}

TEST_F(Sdi, TheCardsBringUpFindsTheTransmitterAndResetsTheReceiverOnceFor50ms) {
    source->it66121_sdi_enable();
    EXPECT_EQ(source->sdi_step, 1);
    EXPECT_FALSE(card->receiverInReset());

    bus->clearLog();
    source->it66121_sdi_enable();
    EXPECT_EQ(source->sdi_step, 2);
    EXPECT_EQ(store->reg_para[0x25] & 0x02, 0x02) << "SDI card present";
    auto identity = bus->messagesTo(0x98);
    ASSERT_EQ(identity.size(), 2u);
    EXPECT_EQ(identity[0].bytes, (std::vector<u8>{0x00}));
    EXPECT_EQ(identity[1].bytes, (std::vector<u8>{0x54, 0x49}));

    // The receiver's reset pulse as its line sees it, waits not shortened: 50 ms low.
    sim::setSleepDivisor(1);
    source->it66121_sdi_enable();
    EXPECT_EQ(source->sdi_step, 3);
    auto pulses = card->resetPulses();
    ASSERT_EQ(pulses.size(), 1u);
    EXPECT_GE(pulses[0].lengthMs(), 50.0);
    EXPECT_FALSE(card->receiverInReset());
    // Input format 7 is CEA format 16: 1920x1080 at 60 Hz, 148.5 MHz, 16:9, RGB.
    it66121_hdmitx_sys& tx = *source->it66121->hdmitx_sys;
    EXPECT_EQ(tx.vic, 16);
    EXPECT_EQ(tx.pixel_clock_hz, 148500000u);
    EXPECT_EQ(tx.aspect_16_9, 1);
    EXPECT_EQ(tx.output_color_mode, 0);

    // No sink on the card's output: the output stays off.
    source->it66121_sdi_enable();
    EXPECT_EQ(source->sdi_step, 3);
    EXPECT_EQ(transmitter->reg(0x61), 0x30);
    EXPECT_EQ(tx.hot_plug, 0);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(Sdi, ACardThatDoesNotAnswerIsCountedAndReportedAbsent) {
    store->reg_para[0x25] = 0x02;
    transmitter->setPresent(false);
    source->it66121_sdi_enable();
    source->it66121_sdi_enable();
    source->it66121_sdi_enable();
    EXPECT_EQ(source->sdi_step, 1);
    EXPECT_EQ(source->it66121->failures, 2);
    EXPECT_EQ(store->reg_para[0x25] & 0x02, 0x00);
}

TEST_F(Sdi, RegisterTablesWriteMaskAndWaitUpToTheirEndRow) {
    transmitter->setReg(0x62, 0xFF);
    transmitter->clearWrites();
    const it66121_reg_row table[] = {
        {0x61, 0xFF, 0x30},  // written
        {0x62, 0x90, 0x10},  // bits 7 and 4 only
        {0x14, 0x00, 0x00},  // 20 ms
        {0x64, 0x89, 0x81},  //
        {0x00, 0x00, 0x00},  // end
        {0x61, 0xFF, 0x00},  // never reached
    };
    uint64_t slept = sim::sleepStats().requestedMicroseconds;
    source->it66121->hdmitx_drv->hdmitx_LoadRegSetting(table);
    EXPECT_EQ(sim::sleepStats().requestedMicroseconds - slept, 20000u);
    std::vector<std::pair<uint8_t, uint8_t>> expected = {{0x61, 0x30}, {0x62, 0x7F}, {0x64, 0x81}};
    EXPECT_EQ(transmitter->writes(), expected);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(Sdi, TheTransmitterFollowsItsSinkAndGivesUpAnEdidThatNeverComes) {
    it66121_hdmitx_sys& tx = *source->it66121->hdmitx_sys;
    tx.InitHDMITX_Variable();
    tx.HDMITX_DevLoopProc();
    EXPECT_EQ(transmitter->reg(0x61), 0x30) << "no sink: output off";

    // A sink appears; this chip's DDC master never finishes, so the EDID read gives up
    // after 200 polls of 1 ms.
    transmitter->setReg(0x0E, 0x80);
    transmitter->clearWrites();
    uint64_t slept = sim::sleepStats().requestedMicroseconds;
    tx.HDMITX_DevLoopProc();
    EXPECT_EQ(tx.hot_plug, 1);
    EXPECT_EQ(sim::sleepStats().requestedMicroseconds - slept, 200000u);
    std::vector<std::pair<uint8_t, uint8_t>> ddc = {{0x10, 0x01}, {0x15, 0x09}, {0x11, 0xA0},
                                                    {0x12, 0x00}, {0x13, 0x20}, {0x14, 0x00},
                                                    {0x15, 0x03}};
    EXPECT_EQ(transmitter->writes(), ddc) << "the first 32 bytes of block 0";
    EXPECT_EQ(tx.sink.valid, 0);
    tx.HDMITX_DevLoopProc();
    EXPECT_EQ(source->it66121->hdmitx_drv->instance.hdmi_mode, 0) << "an unknown sink gets DVI";
    EXPECT_EQ(tx.change_mode, 0);
    EXPECT_EQ(tx.change_audio, 0);

    // The sink goes: video output off.
    transmitter->setReg(0x62, 0xFF);
    transmitter->setReg(0x64, 0xFF);
    transmitter->setReg(0x0E, 0x00);
    tx.HDMITX_DevLoopProc();
    EXPECT_EQ(tx.hot_plug, 0);
    EXPECT_EQ(transmitter->reg(0x04) & 0x08, 0x08);
    EXPECT_EQ(transmitter->reg(0x61), 0x30);
    EXPECT_EQ(transmitter->reg(0x62), 0x6F);
    EXPECT_EQ(transmitter->reg(0x64), 0x76);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(Sdi, TheSinksEdidTellsHdmiAndDeepColourFromItsVendorBlock) {
    it66121_hdmitx_sys& tx = *source->it66121->hdmitx_sys;
    // A CEA-861 extension: a video data block (VIC 16), then the HDMI vendor-specific
    // block (IEEE OUI 00-0C-03, physical address 1.0.0.0, byte 6: DC_36bit and DC_30bit).
    uint8_t block[128] = {0x02, 0x03, 0x0F, 0x00, 0x41, 0x10, 0x66,
                          0x03, 0x0C, 0x00, 0x10, 0x00, 0x30};
    EXPECT_TRUE(tx.ParseCEAEDID(block));
    EXPECT_EQ(tx.sink.hdmi, 1);
    EXPECT_EQ(tx.sink.deep_color_30, 1);
    EXPECT_EQ(tx.sink.deep_color_36, 1);

    tx.sink = {};
    block[8] = 0x0D;  // another OUI: a DVI sink's extension
    EXPECT_FALSE(tx.ParseCEAEDID(block));
    EXPECT_EQ(tx.sink.hdmi, 0);
    block[8] = 0x0C;
    block[2] = 0x0A;  // a data block running past the block's end
    EXPECT_FALSE(tx.ParseCEAEDID(block));
}

TEST_F(Sdi, OutputFormatsAreCeaCodesAndTheirClocks) {
    it66121_sys& sdi = *source->it66121;
    it66121_hdmitx_sys& tx = *sdi.hdmitx_sys;
    struct Row {
        int input;
        u8 vic;
        u32 clock;
        u8 wide;
    };
    // CTA-861: 1 640x480p, 2/3 720x480p, 4 720p60, 6/7 480i sent with pixel repetition,
    // 16 1080p60, 17 576p 4:3, 19 720p50, 31 1080p50, 34 1080p30; the index is taken mod 18.
    for (const Row& r :
         {Row{0, 1, 25000000, 0}, Row{1, 2, 27000000, 0}, Row{2, 3, 27000000, 1},
          Row{3, 4, 74250000, 1}, Row{5, 6, 13500000, 0}, Row{7, 16, 148500000, 1},
          Row{8, 17, 27000000, 0}, Row{10, 19, 74250000, 1}, Row{14, 31, 148500000, 1},
          Row{17, 34, 74250000, 1}, Row{25, 16, 148500000, 1}}) {
        sdi.CHANGE_INPUT(r.input);
        EXPECT_EQ(tx.vic, r.vic) << "input " << r.input;
        EXPECT_EQ(tx.pixel_clock_hz, r.clock) << "input " << r.input;
        EXPECT_EQ(tx.aspect_16_9, r.wide) << "input " << r.input;
    }
    EXPECT_FALSE(tx.HDMITX_ChangeDisplayOption(0, 0));
    EXPECT_FALSE(tx.HDMITX_ChangeDisplayOption(62, 0));
    EXPECT_EQ(tx.vic, 16) << "a refused code changes nothing";
}

}  // namespace
