// The IT6805's CEC responder on the simulated engine: frames arrive on the CEC line, the
// driver polls the engine once per pass of the input thread, and its answers are the
// frames the engine sends. Opcodes and limits are those of the kernel's CEC interface.
#include <linux/cec.h>

#include <vector>

#include "inputs/iTE6805_cec_sys.h"
#include "tests/inputs/it6805_fixture.h"

namespace {

using Frame = std::vector<uint8_t>;

// This device is logical address 0 (TV); the requests come from playback device 1.
constexpr uint8_t kFromPlayback = (CEC_LOG_ADDR_PLAYBACK_1 << 4) | CEC_LOG_ADDR_TV;  // 0x40
constexpr uint8_t kPlaybackBroadcast = (CEC_LOG_ADDR_PLAYBACK_1 << 4) | CEC_LOG_ADDR_BROADCAST;
constexpr uint8_t kToPlayback = 0x04;
constexpr uint8_t kBroadcast = 0x0F;

class It6805Cec : public test::It6805Test {
protected:
    void SetUp() override {
        It6805Test::SetUp();
        cec = &bus->it6805Cec();
        startUp();
        ASSERT_TRUE(runUntil([&] { return driver().fsm_step[0] == ite6805_sys::kRun; }));
        cec->clearTransmitted();
    }
    // Frames arrive, the driver runs one pass; what the engine sent.
    std::vector<Frame> exchange(const std::vector<Frame>& frames) {
        cec->clearTransmitted();
        for (const Frame& f : frames)
            EXPECT_TRUE(cec->receive(f)) << "the engine is on";
        pass();
        return cec->transmitted();
    }

    sim::It6805CecModel* cec = nullptr;
};

TEST_F(It6805Cec, EveryRequestAnsweredGetsItsStandardReply) {
    struct Case {
        Frame request;
        Frame reply;
    };
    const Case cases[] = {
        {{kFromPlayback, CEC_MSG_GIVE_PHYSICAL_ADDR},
         {kBroadcast, CEC_MSG_REPORT_PHYSICAL_ADDR, 0x00, 0x00, CEC_OP_PRIM_DEVTYPE_TV}},
        {{kFromPlayback, CEC_MSG_GIVE_OSD_NAME}, {kToPlayback, CEC_MSG_SET_OSD_NAME, 0x68, 0x05}},
        {{kPlaybackBroadcast, CEC_MSG_REQUEST_ACTIVE_SOURCE},
         {kBroadcast, CEC_MSG_ACTIVE_SOURCE, 0x00, 0x00}},
        {{kFromPlayback, CEC_MSG_GIVE_DEVICE_VENDOR_ID},
         {kBroadcast, CEC_MSG_DEVICE_VENDOR_ID, 0x00, 0x00, 0x00}},
        {{kFromPlayback, CEC_MSG_GIVE_DEVICE_POWER_STATUS},
         {kToPlayback, CEC_MSG_REPORT_POWER_STATUS, CEC_OP_POWER_STATUS_ON}},
        {{kFromPlayback, CEC_MSG_GET_CEC_VERSION},
         {kToPlayback, CEC_MSG_CEC_VERSION, CEC_OP_CEC_VERSION_2_0}},
        {{kFromPlayback, CEC_MSG_ABORT},
         {kToPlayback, CEC_MSG_FEATURE_ABORT, CEC_MSG_ABORT, CEC_OP_ABORT_REFUSED}},
        {{kFromPlayback, CEC_MSG_DECK_CONTROL, 0x01},
         {kToPlayback, CEC_MSG_FEATURE_ABORT, CEC_MSG_DECK_CONTROL, CEC_OP_ABORT_REFUSED}},
        {{kFromPlayback, CEC_MSG_RECORD_TV_SCREEN},
         {kToPlayback, CEC_MSG_FEATURE_ABORT, CEC_MSG_RECORD_TV_SCREEN, CEC_OP_ABORT_REFUSED}},
    };
    for (const Case& c : cases) {
        auto sent = exchange({c.request});
        ASSERT_EQ(sent.size(), 1u) << "request " << int(c.request[1]);
        EXPECT_EQ(sent[0], c.reply) << "request " << int(c.request[1]);
    }
    // The literal bytes of the one reply the standard's constants were checked by.
    EXPECT_EQ(exchange({{0x40, 0x83}}), (std::vector<Frame>{{0x0F, 0x84, 0x00, 0x00, 0x00}}));
    // Requests without a reply: none.
    EXPECT_TRUE(exchange({{kFromPlayback, CEC_MSG_STANDBY}}).empty());
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Cec, BroadcastOwnAddressAndOtherDevicesFramesAreNotAnswered) {
    auto sent = exchange({
        {kPlaybackBroadcast, CEC_MSG_GIVE_PHYSICAL_ADDR},  // only directed
        {0x0F, CEC_MSG_REQUEST_ACTIVE_SOURCE},             // sent by this device's address
        {0x00, CEC_MSG_GIVE_PHYSICAL_ADDR},                // likewise
        {0x45, CEC_MSG_GIVE_PHYSICAL_ADDR},                // to another device
        {kFromPlayback, CEC_MSG_REQUEST_ACTIVE_SOURCE},    // only broadcast
        {kFromPlayback, CEC_MSG_DECK_CONTROL},             // one operand short
        {kFromPlayback, CEC_MSG_GIVE_PHYSICAL_ADDR},       // answered
    });
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (Frame{0x0F, 0x84, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Cec, FramesOutsideTheStandardsLengthsAreDroppedAndTheRestStillAnswered) {
    Frame longest = {kFromPlayback, CEC_MSG_DECK_CONTROL};
    longest.resize(CEC_MAX_MSG_SIZE, 0x01);
    Frame tooLong = {kFromPlayback, CEC_MSG_GET_CEC_VERSION};
    tooLong.resize(CEC_MAX_MSG_SIZE + 1, 0x02);
    auto sent = exchange({
        {kFromPlayback},  // a header alone (a poll)
        tooLong,
        longest,
        {kFromPlayback, CEC_MSG_GIVE_DEVICE_POWER_STATUS},
    });
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Frame{kToPlayback, CEC_MSG_FEATURE_ABORT, CEC_MSG_DECK_CONTROL, 4}));
    EXPECT_EQ(sent[1], (Frame{kToPlayback, CEC_MSG_REPORT_POWER_STATUS, 0}));
    EXPECT_EQ(cec->framesWaiting(), 0u);

    // A frame the engine marked damaged is dropped too.
    cec->receive({kFromPlayback, CEC_MSG_GET_CEC_VERSION}, 0x40);
    EXPECT_TRUE(exchange({}).empty());
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Cec, TheRingWrapsInsideAFrame) {
    // Start the ring near its end: the count, header and opcode fill 60..62, the operands
    // 63, 0 and 1.
    iTE6805_CEC& ring = driver().cec->cec;
    ring.rx_read = ring.rx_write = 60;
    auto sent = exchange({{kFromPlayback, CEC_MSG_DECK_CONTROL, 0x01, 0x02, 0x03}});
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (Frame{0x04, 0x00, 0x42, 0x04}));
    const CEC_FRAME& got = ring.rx_frame;
    EXPECT_EQ(got.length, 5);
    EXPECT_EQ(got.operand[0], 0x01);
    EXPECT_EQ(got.operand[1], 0x02);
    EXPECT_EQ(got.operand[2], 0x03);
    EXPECT_EQ(ring.rx_read, 0) << "emptied after the answers";
    EXPECT_EQ(ring.rx_write, 0);

    // Wrapping between the header and the opcode, with a frame after it.
    ring.rx_read = ring.rx_write = 62;
    sent = exchange({
        {kFromPlayback, CEC_MSG_DECK_CONTROL, 0x01, 0x02, 0x03},
        {kFromPlayback, CEC_MSG_GIVE_PHYSICAL_ADDR},
    });
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Frame{0x04, 0x00, 0x42, 0x04}));
    EXPECT_EQ(sent[1], (Frame{0x0F, 0x84, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Cec, ABurstLargerThanTheRingIsAnsweredInOnePass) {
    // Five 16-byte frames: three fill the ring, the other two wait in the engine.
    std::vector<Frame> burst;
    for (int i = 0; i < 5; ++i) {
        Frame f = {kFromPlayback, CEC_MSG_DECK_CONTROL};
        f.resize(CEC_MAX_MSG_SIZE, static_cast<uint8_t>(i));
        burst.push_back(f);
    }
    auto sent = exchange(burst);
    EXPECT_EQ(sent.size(), 5u);
    EXPECT_EQ(cec->framesWaiting(), 0u);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Cec, AReceiveFifoErrorDropsItsFrames) {
    cec->receive({kFromPlayback, CEC_MSG_GIVE_PHYSICAL_ADDR});
    cec->setFifoError(0x04);
    EXPECT_TRUE(exchange({}).empty());
    EXPECT_EQ(cec->framesWaiting(), 0u) << "emptied";
    EXPECT_EQ(cec->reg(0x52) & 0x40, 0x00) << "reset released";
    EXPECT_EQ(exchange({{kFromPlayback, CEC_MSG_GET_CEC_VERSION}}).size(), 1u);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Cec, AnUnacknowledgedReplyIsCountedAndNotSentAgain) {
    cec->setAcknowledged(false);
    EXPECT_EQ(exchange({{kFromPlayback, CEC_MSG_GIVE_OSD_NAME}}).size(), 1u);
    cec->clearTransmitted();
    pass(5);
    EXPECT_TRUE(cec->transmitted().empty());
    EXPECT_EQ(driver().cec->cec.tx_retry_count, 1);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

}  // namespace
