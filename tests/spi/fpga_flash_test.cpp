// The FPGA configuration flash: page split, erase blocks, the 8 MiB limits, busy and
// transfer faults, checked on the flash model's operations and contents.
#include <gmock/gmock.h>

#include <QJsonArray>

#include "tests/spi/spi_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Op = sim::SpiNorFlash::Op;

// Flash select 2 is FPGA 0's flash. Erase types: 0 4 KiB, 1 32 KiB, 2 64 KiB.
constexpr unsigned char kFpga0 = 2;

class FpgaFlash : public test::SpiTest {
protected:
    void SetUp() override {
        SpiTest::SetUp();
        ASSERT_TRUE(startManager());
    }

    // What a caller hands over: four bytes of room, then the data.
    static Bytes withRoom(const Bytes& data) {
        Bytes buffer{0xDE, 0xAD, 0xBE, 0xEF};
        buffer.insert(buffer.end(), data.begin(), data.end());
        return buffer;
    }

    int write(unsigned address, const Bytes& data) {
        Bytes buffer = withRoom(data);
        return drv->FPGA_SPI_FLASH_VBYONE_WRITE(kFpga0, address, buffer.data(),
                                                static_cast<unsigned>(data.size()));
    }

    Bytes read(unsigned address, unsigned n) {
        Bytes out(n);
        EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_READ(kFpga0, address, n, out.data()), 1);
        return out;
    }

    struct Span {
        uint32_t address, length;
        bool operator==(const Span& o) const { return address == o.address && length == o.length; }
    };
    std::vector<Span> spans(Op op) {
        std::vector<Span> out;
        for (const auto& o : flash(0)->operations(op))
            out.push_back({o.address, o.length});
        return out;
    }
};

TEST_F(FpgaFlash, ProgramSplitsAtPageBordersAndLeavesTheBufferAlone) {
    Bytes data = test::pattern(300, 7);
    Bytes buffer = withRoom(data);
    const Bytes before = buffer;
    ASSERT_EQ(drv->FPGA_SPI_FLASH_VBYONE_WRITE(kFpga0, 0x1F0, buffer.data(), 300), 1);
    EXPECT_EQ(buffer, before);
    EXPECT_THAT(spans(Op::Program),
                testing::ElementsAre(Span{0x1F0, 16}, Span{0x200, 256}, Span{0x300, 28}));
    EXPECT_EQ(flash(0)->contents(0x1F0, 300), data);
    EXPECT_EQ(flash(0)->contents(0x1EF, 1), Bytes{0xFF});
    EXPECT_EQ(flash(0)->contents(0x31C, 1), Bytes{0xFF});
    // Every page program came right after its own write enable.
    auto ops = flash(0)->operations();
    for (size_t i = 0; i < ops.size(); ++i) {
        if (ops[i].op == Op::Program) {
            EXPECT_TRUE(i > 0 && ops[i - 1].op == Op::WriteEnable);
        }
    }
    EXPECT_TRUE(flash(0)->errors().empty());
    expectBusIdle();
}

TEST_F(FpgaFlash, ShortAndPageAlignedPrograms) {
    ASSERT_EQ(write(0x10, test::pattern(16, 1)), 1);
    ASSERT_EQ(write(0x1000, test::pattern(512, 2)), 1);
    ASSERT_EQ(write(0x20F0, test::pattern(16, 3)), 1);
    EXPECT_THAT(spans(Op::Program), testing::ElementsAre(Span{0x10, 16}, Span{0x1000, 256},
                                                         Span{0x1100, 256}, Span{0x20F0, 16}));
}

TEST_F(FpgaFlash, ImageAcrossPagesAndSectorsReadsBack) {
    Bytes outside = test::pattern(0x6000, 9);
    flash(0)->setContents(0, outside);
    // Sectors 1 to 4 hold the image from 0x1F80 to 0x468F.
    ASSERT_EQ(drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFpga0, 1, 0, 4), 1);
    EXPECT_THAT(spans(Op::Erase), testing::ElementsAre(Span{0x1000, 4096}, Span{0x2000, 4096},
                                                       Span{0x3000, 4096}, Span{0x4000, 4096}));
    Bytes image = test::pattern(10000, 11);
    ASSERT_EQ(write(0x1F80, image), 1);
    EXPECT_EQ(read(0x1F80, 10000), image);
    EXPECT_EQ(read(0, 0x1000), Bytes(outside.begin(), outside.begin() + 0x1000));
    EXPECT_EQ(read(0x5000, 0x1000), Bytes(outside.begin() + 0x5000, outside.end()));
    EXPECT_EQ(read(0x1000, 0xF80), Bytes(0xF80, 0xFF));
    EXPECT_TRUE(flash(0)->errors().empty());
    expectBusIdle();
}

TEST_F(FpgaFlash, BlockErasesAndTheirAlignment) {
    flash(0)->setContents(0, Bytes(0x40000, 0x00));
    ASSERT_EQ(drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFpga0, 8, 1, 1), 1);
    ASSERT_EQ(drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFpga0, 32, 2, 2), 1);
    EXPECT_THAT(spans(Op::Erase), testing::ElementsAre(Span{0x8000, 0x8000}, Span{0x20000, 0x10000},
                                                       Span{0x30000, 0x10000}));
    flash(0)->clearLog();
    // Not at the block's own border: the block would take sectors in front of the one asked.
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFpga0, 782, 1, 1), 0);
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFpga0, 8, 2, 1), 0);
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFpga0, 0, 3, 1), 0);
    EXPECT_TRUE(flash(0)->operations().empty());
    EXPECT_EQ(flash(0)->contents(0x0000, 1), Bytes{0x00});
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFpga0, 5, 0, 0), 1);
    EXPECT_TRUE(flash(0)->operations().empty());
}

TEST_F(FpgaFlash, EightMebibyteLimits) {
    Bytes buffer(4 + 16, 0x5A);
    Bytes out(16);
    const unsigned end = 0x800000;
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_WRITE(kFpga0, end - 16, buffer.data(), 16), 1);
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_READ(kFpga0, end - 16, 16, out.data()), 1);
    EXPECT_EQ(out, Bytes(16, 0x5A));
    flash(0)->clearLog();
    size_t sent = bus()->messages().size();
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_WRITE(kFpga0, end - 15, buffer.data(), 16), 0);
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_READ(kFpga0, end - 15, 16, out.data()), 0);
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_WRITE(kFpga0, 0, buffer.data(), 0), 0);
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_READ(kFpga0, 0xFFFFFFF0u, 32, out.data()), 0);
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFpga0, 2047, 0, 2), 0);
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFpga0, 2032, 2, 2), 0);
    // 2^28 blocks of 16 sectors wrap a 32-bit product to 0.
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFpga0, 0, 2, 1u << 28), 0);
    EXPECT_EQ(bus()->messages().size(), sent);
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFpga0, 2032, 2, 1), 1);
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFpga0, 2047, 0, 1), 1);
}

TEST_F(FpgaFlash, ReadsMoveAtMost2048BytesPerMessage) {
    read(0x100, 2048);
    EXPECT_THAT(spans(Op::Read), testing::ElementsAre(Span{0x100, 2048}));
    flash(0)->clearLog();
    read(0x100, 2049);
    EXPECT_THAT(spans(Op::Read), testing::ElementsAre(Span{0x100, 2048}, Span{0x900, 1}));
}

TEST_F(FpgaFlash, StuckBusyFailsInBoundedTime) {
    sim::setSleepDivisor(1000);
    flash(0)->stickBusy(true);
    testing::internal::CaptureStderr();
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFpga0, 10, 0, 1), 0);
    EXPECT_EQ(write(0x100, Bytes(8, 0)), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_THAT(err, testing::HasSubstr("busy"));
    EXPECT_EQ(flash(0)->statusReads(), 2u * 30000) << "30000 status reads per wait";
    EXPECT_TRUE(spans(Op::Erase).empty());
    expectBusIdle();
    EXPECT_THAT(flash(0)->errors(), testing::Each(testing::HasSubstr("while busy")));
    flash(0)->clearProtocolErrors();
    flash(0)->stickBusy(false);
    EXPECT_EQ(write(0x100, Bytes(8, 0)), 1);
}

TEST_F(FpgaFlash, TransferErrorEndsTheOperationWithFailure) {
    testing::internal::CaptureStderr();
    node(3)->failMessages(4, 1);  // inside the first page program's busy wait
    EXPECT_EQ(write(0x0, test::pattern(600, 3)), 0);
    node(3)->failMessages(0, 1);
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFpga0, 0, 0, 1), 0);
    Bytes out(4);
    node(3)->failMessages(0, 1);
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_READ(kFpga0, 0, 4, out.data()), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(spans(Op::Program).size(), 1u);
    expectBusIdle();
}

TEST_F(FpgaFlash, UniqueIdAndTheFlashOfFpgaOne) {
    testing::internal::CaptureStderr();
    Bytes id(8);
    EXPECT_EQ(drv->FPGA_SPI_FLASH_SSTF016B_RD_UID(kFpga0, id.data()), 1);
    auto expected = flash(0)->uniqueId();
    EXPECT_EQ(id, Bytes(expected.begin(), expected.end()));
    EXPECT_EQ(drv->FPGA_SPI_FLASH_SSTF016B_RD_UID(3, id.data()), 0);
    EXPECT_EQ(drv->FPGA_SPI_FLASH_VBYONE_ERASE(3, 0, 0, 1), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(bus()->errors().empty());
    expectBusIdle();
}

TEST_F(FpgaFlash, UniqueIdComesFromTheScene) {
    manager.reset();
    sim::reset();
    QJsonObject scene;
    scene["fpgaFlash"] = QJsonArray{QJsonObject{{"uid", "0011223344556677"}}};
    sim::setScene(scene);
    manager = std::make_unique<fpga_manage>();
    drv = manager->p_fpga_drv;
    ASSERT_TRUE(startManager());
    Bytes id(8);
    EXPECT_EQ(drv->FPGA_SPI_FLASH_SSTF016B_RD_UID(kFpga0, id.data()), 1);
    EXPECT_EQ(id, (Bytes{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}));
}

TEST_F(FpgaFlash, ContentsSurviveARestart) {
    Bytes record = test::pattern(1025, 5);
    ASSERT_EQ(drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFpga0, 0x308, 0, 1), 1);
    ASSERT_EQ(write(0x308000, record), 1);
    manager.reset();
    sim::reset();
    manager = std::make_unique<fpga_manage>();
    drv = manager->p_fpga_drv;
    ASSERT_TRUE(startManager());
    EXPECT_EQ(read(0x308000, 1025), record);
    EXPECT_EQ(read(0x309000, 4), Bytes(4, 0xFF));
}

}  // namespace
