// The protocol handler on its own: what each frame does to the image, the user modes,
// the processor registers, the apply request and the settings, and what it answers.
#include <gtest/gtest.h>

#include <QSettings>

#include "core/utils.h"
#include "inputs/velmosource.h"
#include "remote/message_deal.h"
#include "tests/remote/remote_test.h"

using namespace remotetest;

namespace {

constexpr unsigned kProcessor = 0xF100;

class Handler : public RemoteTest {
protected:
    // Runs one frame through the handler; the reply, empty when there is none.
    Bytes send(const Bytes& f) {
        Bytes in = f;
        Bytes out(4200);
        unsigned n = deal.message_group_deal(in.data(), in.size(), out.data());
        out.resize(n);
        return out;
    }
    int status(const Bytes& f) {
        Bytes r = send(f);
        return r.empty() ? -10 : replyStatus(f, r);
    }
    Bytes read(unsigned address, unsigned count, unsigned char command = 0x61) {
        Bytes f = frame(kProcessor, command, mem(address, count));
        Bytes r = send(f);
        EXPECT_EQ(replyStatus(f, r), 0);
        if (r.size() < 20 + count)
            return {};
        return Bytes(r.begin() + 19, r.begin() + 19 + count);
    }

    message_deal deal{RemoteTransport::Udp};
};

}  // namespace

TEST_F(Handler, RamWritesAndReadsTheImageAndTheUserModes) {
    // Window 1's rectangle, without raising the apply request.
    Bytes rect = {0x10, 0x00, 0x20, 0x00, 0x80, 0x02, 0xE0, 0x01};
    unsigned at = 2272 + 26 + 10;  // window 1's x, y, w, h
    Bytes f = frame(kProcessor, 0x60, mem(at, rect.size(), rect));
    Bytes r = send(f);
    ASSERT_EQ(replyStatus(f, r), 0);
    EXPECT_EQ(Bytes(r.begin() + 11, r.end() - 1), mem(at, rect.size()));
    EXPECT_EQ(store().ram_para.u16At(at + 4), 640);
    EXPECT_EQ(c331_manage::para_update, 0);
    EXPECT_EQ(read(at, rect.size()), rect);

    // The alias destination word and the last bytes of the image.
    Bytes tail = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(status(frame(0xF101, 0x60, mem(4090, 6, tail))), 0);
    EXPECT_EQ(read(4090, 6), tail);

    // User mode 3 and user mode 16, each at its own window.
    EXPECT_EQ(status(frame(kProcessor, 0x60, mem(0x3000, 2, {0xAA, 0xAA}))), 0);
    EXPECT_TRUE(store().user_mode[2].saved());
    EXPECT_EQ(status(frame(kProcessor, 0x60, mem(0x10FFE, 2, {7, 8}))), 0);
    EXPECT_EQ(read(0x10FFE, 2), (Bytes{7, 8}));
    EXPECT_EQ(read(0x3000, 2), (Bytes{0xAA, 0xAA}));

    EXPECT_EQ(pc_cmd_valid, 1);
}

TEST_F(Handler, WritesOutsideTheirAreaAreRefusedWithoutTouchingAnything) {
    RamParaImage before = store().ram_para;
    Bytes seven(7, 0x55);
    // Past the image's end, across two user-mode windows, past the last slot, between
    // areas, and count fields that disagree with the frame.
    EXPECT_EQ(status(frame(kProcessor, 0x60, mem(4090, 7, seven))), 1);
    EXPECT_EQ(status(frame(kProcessor, 0x60, mem(0x1FFE, 4, {1, 2, 3, 4}))), 1);
    EXPECT_EQ(status(frame(kProcessor, 0x60, mem(0x11000, 1, {1}))), 1);
    EXPECT_EQ(status(frame(kProcessor, 0x60, mem(0xFFFFFFFF, 1, {1}))), 1);
    EXPECT_EQ(status(frame(kProcessor, 0x60, mem(0, 8, {1, 2, 3}))), 1);
    EXPECT_EQ(status(frame(kProcessor, 0x60, mem(0, 2, {1, 2, 3}))), 1);
    EXPECT_EQ(status(frame(kProcessor, 0x60, {0, 0, 0, 0})), 1);
    EXPECT_EQ(status(frame(kProcessor, 0x61, mem(0, 4097))), 1);
    EXPECT_EQ(status(frame(kProcessor, 0x61, mem(4000, 97))), 1);
    EXPECT_EQ(memcmp(store().ram_para.data(), before.data(), 4096), 0);
    for (const UserModeSlot& s : store().user_mode)
        EXPECT_FALSE(s.saved());
}

TEST_F(Handler, FramesThatCannotBeTrustedGetNoReplyOthersAnErrorStatus) {
    Bytes good = frame(kProcessor, 0x61, mem(0, 2));
    Bytes bad = good;
    bad.back() ^= 1;
    EXPECT_TRUE(send(bad).empty());
    EXPECT_TRUE(send(Bytes(good.begin(), good.begin() + 10)).empty());
    EXPECT_TRUE(send({}).empty());
    EXPECT_EQ(pc_cmd_valid, 0);
    EXPECT_EQ(deal.rejected(), 3u);

    EXPECT_EQ(status(frame(kProcessor, 0x42)), 1);         // unknown command
    EXPECT_EQ(status(frame(0xF000, 0x61, mem(0, 2))), 1);  // nobody there
    // No FPGA manager, no way to the receiving cards: the PC hears so at once.
    EXPECT_EQ(status(frame(0x1005, 0x60, mem(0x180, 1, {1}))), 1);
    EXPECT_EQ(pc_cmd_valid, 1);
}

TEST_F(Handler, ServiceRegistersFillTheirRequestBytesTogetherWithTheApplyRequest) {
    // Registers 0xA0..0xA5 in one write.
    Bytes f = frame(kProcessor, 0xA0, mem(0xA0, 6, {0x81, 0, 0x06, 4, 1, 2}));
    EXPECT_EQ(status(f), 0);
    const u8* reg = store().reg_para;
    EXPECT_EQ(reg[0x20], 0x81);
    EXPECT_EQ(reg[0x22], 0x06);
    EXPECT_EQ(reg[0x23], 5);  // stored plus one
    EXPECT_EQ(reg[0x24], 1);
    EXPECT_EQ(reg[0x21], 2);
    EXPECT_EQ(reg[0xA2], 0x06);
    EXPECT_EQ(c331_manage::para_update, 1);

    // Register 0xA0 alone is for the input-source thread: no apply request.
    c331_manage::para_update = 0;
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(0xA0, 1, {0x10}))), 0);
    EXPECT_EQ(c331_manage::para_update, 0);

    // Register 11 applies what the PC wrote, 16 has the user-mode files checked; a
    // pending 2 is not lowered to 1.
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(16, 1, {1}))), 0);
    EXPECT_EQ(c331_manage::para_update, 2);
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(11, 1, {1}))), 0);
    EXPECT_EQ(c331_manage::para_update, 2);

    Bytes back = read(0xA0, 6, 0xA1);
    EXPECT_EQ(back, (Bytes{0x10, 0, 0x06, 4, 1, 2}));
    EXPECT_EQ(read(0x3C, 2, 0xA1), (Bytes{0xFF, 0xFF}));  // start values
}

TEST_F(Handler, SdiRegisterAsksTheInputThreadForOneResetPulse) {
    velmosource inputs;
    velmosource::p_velmo_source = &inputs;
    inputs.sdi_reset_request = 0;
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(0xA6, 1, {0}))), 0);
    EXPECT_EQ(inputs.sdi_reset_request, 0);
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(0xA6, 1, {1}))), 0);
    EXPECT_EQ(inputs.sdi_reset_request, 1);
    velmosource::p_velmo_source = nullptr;
}

TEST_F(Handler, DotByDotRegisterSwitchesEveryWindowOnlyWhenItChanges) {
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(0xA1, 1, {0}))), 0);
    EXPECT_EQ(c331_manage::para_update, 0);  // already off
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(0xA1, 1, {1}))), 0);
    EXPECT_EQ(c331_manage::para_update, 1);
    EXPECT_EQ(store().ram_para[2114], 1) << "dbd_enable";
    for (int w = 0; w < 6; ++w)  // bit 8 of each window's output word
        EXPECT_EQ(store().ram_para.u16At(2272 + 26 * w + 18) & 0xFF00, 0x100);
}

TEST_F(Handler, RegisterWritesOutsideTheWritableRangeChangeNothing) {
    Bytes before(store().reg_para, store().reg_para + 1064);
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(0xA8, 3, {1, 2, 3}))), 1);
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(0xAA, 1, {1}))), 1);
    EXPECT_EQ(status(frame(kProcessor, 0xA0, mem(0x1000, 1, {1}))), 1);
    EXPECT_EQ(status(frame(kProcessor, 0xA1, mem(1060, 5))), 1);
    EXPECT_EQ(Bytes(store().reg_para, store().reg_para + 1064), before);
    EXPECT_EQ(c331_manage::para_update, 0);
}

TEST_F(Handler, SaveAppliesPendingEditsSoTheShadowNeverHidesThem) {
    EXPECT_EQ(status(frame(kProcessor, 0x81, {0xFF, 0x00})), 0);
    EXPECT_EQ(c331_manage::para_update, 1);
}

TEST_F(Handler, NetworkSettingsAreCheckedBeforeTheyReachTheFileOrTheShell) {
    auto settings = [](Bytes ip, Bytes mask, Bytes gw, unsigned port) {
        Bytes p = ip;
        p.insert(p.end(), mask.begin(), mask.end());
        p.insert(p.end(), gw.begin(), gw.end());
        put16(p, port);
        return frame(kProcessor, 0xC0, p);
    };
    Bytes mask24 = {255, 255, 255, 0};
    const Bytes refused[] = {
        settings({0, 0, 0, 0}, mask24, {0, 0, 0, 1}, 5005),              // no address
        settings({127, 0, 0, 5}, mask24, {127, 0, 0, 1}, 5005),          // loopback
        settings({224, 1, 1, 5}, mask24, {224, 1, 1, 1}, 5005),          // multicast
        settings({10, 0, 0, 255}, mask24, {10, 0, 0, 1}, 5005),          // broadcast
        settings({10, 0, 0, 5}, {255, 0, 255, 0}, {10, 0, 0, 1}, 5005),  // holes in mask
        settings({10, 0, 0, 5}, mask24, {10, 0, 1, 1}, 5005),            // gateway elsewhere
        settings({10, 0, 0, 5}, mask24, {10, 0, 0, 5}, 5005),            // gateway is us
        settings({10, 0, 0, 5}, mask24, {10, 0, 0, 1}, 0),               // no port
    };
    for (const Bytes& f : refused)
        EXPECT_EQ(status(f), 1);
    deal.after_reply();
    EXPECT_TRUE(sim::commands().empty() ||
                sim::commands().back().text.find("ifconfig") == std::string::npos);

    sim::clearCommands();
    EXPECT_EQ(status(settings({10, 1, 2, 3}, {255, 255, 0, 0}, {10, 1, 0, 1}, 6000)), 0);
    EXPECT_TRUE(sim::commands().empty());  // nothing runs before the reply is out
    deal.after_reply();
    bool configured = false;
    for (const sim::Command& c : sim::commands())
        configured = configured || c.text == "ifconfig eth0 10.1.2.3 netmask 255.255.0.0";
    EXPECT_TRUE(configured);
    EXPECT_EQ(g_port, 6000);

    QSettings ini(QString::fromStdString(rooted("/data/configs/tcpip.ini")), QSettings::IniFormat);
    EXPECT_EQ(ini.value("config/IPAddress").toString(), "10.1.2.3");
    EXPECT_EQ(ini.value("config/GateWay").toString(), "10.1.0.1");
    EXPECT_EQ(ini.value("config/TcpPort").toInt(), 6000);

    Bytes r = send(frame(kProcessor, 0xC1));
    ASSERT_EQ(r.size(), 26u);
    EXPECT_EQ(Bytes(r.begin() + 11, r.begin() + 25),
              (Bytes{10, 1, 2, 3, 255, 255, 0, 0, 10, 1, 0, 1, 0x70, 0x17}));
    g_port = 5005;
}

// The example of the protocol page, byte for byte.
TEST_F(Handler, TheProtocolPagesExampleHolds) {
    Bytes write = {0x00, 0xF1, 0x10, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00, 0x60, 0x1E, 0x09, 0x00,
                   0x00, 0x08, 0x00, 0x00, 0x00, 0x40, 0x01, 0x20, 0x00, 0x80, 0x07, 0x38, 0x04};
    write.push_back(xorOf(write, write.size()));
    Bytes reply = {0x10, 0xF0, 0x00, 0xF1, 0x10, 0x67, 0x01, 0x00, 0x00, 0x60,
                   0x00, 0x1E, 0x09, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00};
    reply.push_back(xorOf(reply, reply.size()));
    EXPECT_EQ(send(write), reply);
    EXPECT_EQ(store().ram_para.u16At(2334 + 4), 1920);

    Bytes apply = {0x00, 0xF1, 0x10, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00, 0xA0,
                   0x0B, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01};
    apply.push_back(xorOf(apply, apply.size()));
    EXPECT_EQ(status(apply), 0);
    EXPECT_EQ(c331_manage::para_update, 1);
}
