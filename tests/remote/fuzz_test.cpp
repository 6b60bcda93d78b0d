// A bounded random-frame run of the decoder and the handler under the sanitizers: random
// byte streams, and well-formed frames of every command with random fields (their check
// byte made good so that they reach the handlers). Nothing may crash, overrun or leave
// the device's files; every reply must be a well-formed frame.
//
// KRX_FUZZ_ITERATIONS makes the run longer (the default keeps it to about a second).
#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <random>

#include "board/board.h"
#include "board/sim/fpga_model.h"
#include "fpga/fpga_manage.h"
#include "remote/krx_file_deal.h"
#include "remote/message_deal.h"
#include "remote/protocol_phy.h"
#include "remote/udpnetmanage.h"
#include "tests/remote/remote_test.h"
#include "tests/support/loopback.h"

using namespace remotetest;

namespace {

constexpr unsigned char kCommands[] = {0x60, 0x61, 0x81, 0x90, 0x91, 0x92,
                                       0x93, 0xA0, 0xA1, 0xC0, 0xC1, 0x00};

// The corpus: frames (unescaped, check byte last) that once broke the device, each run
// through the UDP link's handler and the receive path of the cards' answers, and used as
// seeds of the random run.
const Bytes kCorpus[] = {
    // A RAM read of 4096 bytes at 0x180 from card 0 of port 0: the card's answer is longer
    // than the FPGA's receive buffer (it once overran the simulated FPGA's RAM).
    {0x00, 0x00, 0x10, 0xF0, 0x10, 0x21, 0x01, 0x01, 0x00, 0x61, 0x80, 0x01, 0x00, 0x00, 0x00, 0x10,
     0x00, 0x00, 0x21},
};
constexpr unsigned kDestinations[] = {0xF100, 0xF101, 0x0FFF, 0x1005, 0xF000, 0xFFFF};

unsigned iterations() {
    const char* env = std::getenv("KRX_FUZZ_ITERATIONS");
    return env ? static_cast<unsigned>(std::strtoul(env, nullptr, 10)) : 20000;
}

class Fuzz : public RemoteTest {
protected:
    // The FPGA manager answers too, so that the controller's areas and registers are hit.
    void SetUp() override {
        RemoteTest::SetUp();
        for (const char* name : {"fpga0", "fpga1"})
            sim::get<sim::FpgaModel>(name)->setConfigDelayMs(0);
        manager = std::make_unique<fpga_manage>();
        fpga_manage::p_fpga_manage = manager.get();
        manager->open_spi_links();
        ASSERT_EQ(manager->map_gpio_window(), 0);
        board::mmio_write16(manager->fpga_rst_gpio[0], 16);
        manager->set_fpga_ready_state(0, 3);
    }
    void TearDown() override {
        manager.reset();
        RemoteTest::TearDown();
    }

    void handle(Bytes f) { handle(std::move(f), deal); }
    void handle(Bytes f, message_deal& handler) {
        // A reply is a frame of at most 4200 bytes; nothing may be written past them.
        Bytes out(4200 + 1, 0xEE);
        unsigned n = handler.message_group_deal(f.data(), f.size(), out.data());
        ASSERT_LE(n, 4200u);
        ASSERT_EQ(out[4200], 0xEE);
        if (n > 0) {
            Bytes reply(out.begin(), out.begin() + n);
            ASSERT_GE(replyStatus(f, reply), 0);
        }
    }

    // A frame of a known command with fields that are mostly near the edges of the areas.
    Bytes structured(std::mt19937& rng) {
        auto pick = [&](unsigned n) { return static_cast<unsigned>(rng() % n); };
        static const unsigned kAddresses[] = {0,       4090, 4095, 4096, 0x1000, 0x1FFE,    0x10FFF,
                                              0x11000, 0xA0, 0xA9, 0xAA, 1063,   0xFFFFFFFF};
        unsigned address = pick(3) ? kAddresses[pick(13)] : static_cast<unsigned>(rng());
        unsigned count = pick(4) ? pick(16) : pick(0x10000);
        unsigned data = pick(3) ? std::min(count, 5000u) : pick(64);
        Bytes payload;
        unsigned char command = kCommands[pick(sizeof kCommands)];
        if (command == 0x90) {
            payload = {static_cast<unsigned char>(pick(2) ? 9 : pick(256))};
            put32(payload, pick(2) ? pick(9000) : static_cast<unsigned>(rng()));
            payload.resize(payload.size() + 16, 0);
        } else if (command == 0x91) {
            put32(payload, pick(2) ? pick(9000) : static_cast<unsigned>(rng()));
            put16(payload, count);
            payload.resize(payload.size() + data, 0x5A);
        } else if (command == 0x93) {
            payload = {static_cast<unsigned char>(pick(2) ? 13 : 9)};
            for (unsigned i = pick(80); i > 0; --i)
                payload.push_back(static_cast<unsigned char>(pick(3) ? "./.x"[pick(4)] : rng()));
        } else if (command == 0xC0) {
            for (unsigned i = pick(2) ? 14 : pick(20); i > 0; --i)
                payload.push_back(static_cast<unsigned char>(rng()));
        } else {
            Bytes values(data);
            for (auto& v : values)
                v = static_cast<unsigned char>(rng());
            payload = mem(address, count, values, pick(0x10000));
        }
        return frame(kDestinations[pick(sizeof kDestinations / sizeof kDestinations[0])], command,
                     payload);
    }

    std::unique_ptr<fpga_manage> manager;
    message_deal deal{RemoteTransport::Tcp};
};

}  // namespace

TEST_F(Fuzz, TheCorpusPassesThroughTheLinkToTheCardsAndBack) {
    // Through the UDP link: card frames go on to the cards, whose answers come back through
    // the FPGA's receive buffers.
    udpnetManage udp(0, 0);
    message_deal udpDeal{RemoteTransport::Udp};
    udpDeal.set_passby_peer(PassbyPeer::of_udp(&udp, test::loopback(9), false));
    for (const Bytes& f : kCorpus) {
        ASSERT_EQ(f.back(), remotetest::xorOf(f, f.size() - 1));
        handle(f, udpDeal);
        for (int i = 0; i < 4; ++i) {
            pthread_mutex_lock(&manager->passby_mutex);
            manager->reg_IRQ_Dealwith(0, 1);
            pthread_mutex_unlock(&manager->passby_mutex);
        }
        if (HasFatalFailure())
            return;
    }
    EXPECT_EQ(sim::get<sim::FpgaModel>("fpga0")->ports()->sent().size(), std::size(kCorpus));
    g_passby_trans_port = 0xFF;
}

TEST_F(Fuzz, RandomStreamsAndFramesNeverBreakTheHandler) {
    writeFile("/data/sentinel", {1, 2, 3});
    std::mt19937 rng(20240601);
    protocol_phy phy;
    unsigned n = iterations();
    for (unsigned i = 0; i < n; ++i) {
        Bytes stream;
        if (i % 4 == 0) {
            // Raw noise, rich in marker and escape bytes.
            for (unsigned k = rng() % 300; k > 0; --k) {
                unsigned r = rng() % 8;
                stream.push_back(r == 0 ? 0xA5 : r == 1 ? 0x5A : r == 2 ? 0xAA : rng() & 0xFF);
            }
        } else {
            Bytes f = rng() % 16 == 0 ? kCorpus[rng() % std::size(kCorpus)] : structured(rng);
            if (rng() % 8 == 0 && !f.empty())
                f[rng() % f.size()] ^= static_cast<unsigned char>(1 + rng() % 255);
            stream = escape(f);
        }
        phy.receive(stream.data(), stream.size(),
                    [&](unsigned char* f, unsigned len) { handle(Bytes(f, f + len)); });
        if (HasFatalFailure())
            return;
    }
    EXPECT_EQ(readFile("/data/sentinel"), (Bytes{1, 2, 3}));
    EXPECT_TRUE(exists("/data/ram_device_info"));
    file_buffer_release(FileBufferUser::Tcp);
    g_port = 5005;
    g_int_tcp_port = 5005;
}
