// Service sequences and dumps, on the chip model and the console.
#include <gtest/gtest.h>

#include "core/global.h"
#include "tests/video/video_fixture.h"

namespace videotest {
namespace {

struct W {
    uint8_t bank, address, value;
    bool operator==(const W& o) const {
        return bank == o.bank && address == o.address && value == o.value;
    }
};

std::vector<W> dataWrites(const std::vector<sim::C331Model::Access>& log) {
    std::vector<W> out;
    for (const auto& a : log)
        if (a.write && a.address != 0)
            out.push_back({a.bank, a.address, a.value});
    return out;
}

TEST_F(VideoTest, VboReceiverKicksWriteTheirSequence) {
    manager->vbyone_rx_ch1_seq();
    manager->vbyone_rx_ch2_seq();
    std::vector<W> expected = {{2, 0x7F, 14},  {2, 0x7F, 15}, {2, 0x40, 5},  {2, 0x4F, 255},
                               {2, 0x4C, 171}, {2, 0x7F, 13}, {2, 0x7F, 15}, {2, 0x5C, 5},
                               {2, 0x6B, 255}, {2, 0x68, 171}};
    EXPECT_TRUE(dataWrites(c331()->log()) == expected);
}

TEST_F(VideoTest, LockTestsAndTheReadBackSequence) {
    manager->sync_c331_device_test_frame_lock();
    EXPECT_EQ(chip(0x08, 0x0F), 4u);
    EXPECT_EQ(chip(0x08, 0x08, 2), 3u);
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(chip(0x08 + 16 * c, 0x0C, 2), 5614u - 2) << c;  // total - 2

    c331()->setReg(0x50, 0x17, 0x23);
    c331()->setReg(0x50, 0x18, 0x01);
    std::string out = printed([&] { manager->write_read_c331_b80_iacthstch5(); });
    EXPECT_EQ(chip(0x50, 0x17, 2), 0x187u);
    EXPECT_NE(out.find("(B80_IACTHSTCH5=291 ) read"), std::string::npos) << out;
    EXPECT_NE(out.find("(B80_IACTHSTCH5=391 ) write=0x187,read=0x187"), std::string::npos);

    // Receiver 0 without lock measures all ones.
    out = printed([&] { manager->read_c331_b174bug(); });
    EXPECT_NE(out.find("read_c331_b174bug(B174_VI11FHM=65536 ) over"), std::string::npos);
    EXPECT_NE(out.find("read_c331_b174bug(B174_VI17FVM=16777216 ) over"), std::string::npos);
}

TEST_F(VideoTest, GroupDumps) {
    manager->krxDbg_c331_param(8);
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(chip(0x50 + 16 * c, 0x4A), 1u) << c;
        EXPECT_EQ(chip(0x50 + 16 * c, 0x4B, 3), 0x80FF80u) << c;
    }
    manager->krxDbg_c331_param(9 + 14);
    EXPECT_EQ(chip(0x0A, 0x45), 3u);
    EXPECT_EQ(chip(0x1A, 0x4B), 3u);
    // The receiver's bus is the input thread's: the stored record is printed, the chip
    // is not touched.
    manager->PI_HDMI_INFO[5].Hact = 3840;
    c331()->clearLog();
    std::string out = printed([&] { manager->krxDbg_c331_param(10); });
    EXPECT_NE(out.find("[krxDbg_c331_param] none"), std::string::npos);
    EXPECT_NE(out.find("[iTE6805_Get_Hdmi] dev_id:0, idx:3"), std::string::npos);
    EXPECT_NE(out.find("Hact:3840"), std::string::npos);
    EXPECT_TRUE(c331()->log().empty());
    out = printed([&] { manager->krxDbg_c331_print_regGrp(1); });
    EXPECT_NE(out.find("not found valid grp"), std::string::npos);
    g_debugSwitch = 0;
    EXPECT_EQ(printed([&] { manager->krxDbg_c331_param(0); }), "");
}

TEST_F(VideoTest, RegisterListDumpWalksTheMapInOrder) {
    bringUp();
    std::string out = printed([&] { manager->c331_print(); });
    // Input channel 0 linked to its window, whose port has no signal.
    EXPECT_EQ(out.rfind("000801  00000001h\n", 0), 0u) << out.substr(0, 40);
    EXPECT_NE(out.find("B20801  00000024h\n"), std::string::npos);
    EXPECT_NE(out.find("080A02  00000896h\n"), std::string::npos);  // HTOTAL - 2
    EXPECT_EQ(out.substr(out.size() - 18), "FF0503  00000001h\n");
}

}  // namespace
}  // namespace videotest
