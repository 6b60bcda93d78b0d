// The IT6805 driver on the simulated board, driven through the input-source thread's pass
// with only input 3 polled; waits are cut short and the pass advances G_timeTicks.
#pragma once

#include <gtest/gtest.h>

#include <QJsonObject>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "board/sim/c331_model.h"
#include "board/sim/hdmi_sources.h"
#include "board/sim/i2c_bus.h"
#include "board/sim/it6805_model.h"
#include "board/sim/sim.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "inputs/iTE6805_sys.h"
#include "inputs/velmosource.h"
#include "tests/support/sim_test.h"

namespace test {

// A write the chip must see: its bank, its register and the bits of mask it carries.
struct RegWrite {
    uint8_t bank, reg, mask, value;
};

// The writes without the bank selects (each write carries the bank it went to).
inline std::vector<sim::It6805Model::Write> withoutBankSelects(
    const std::vector<sim::It6805Model::Write>& writes) {
    std::vector<sim::It6805Model::Write> out;
    for (const auto& w : writes)
        if (w.reg != 0x0F)
            out.push_back(w);
    return out;
}

inline std::string describe(const sim::It6805Model::Write& w) {
    char text[48];
    std::snprintf(text, sizeof text, "bank %u 0x%02X <- 0x%02X", w.bank, w.reg, w.value);
    return text;
}

// Succeeds when the rows appear as consecutive writes (bank selects skipped); *at, when
// given, receives where they start among those writes. A failure tells where the longest
// partial run broke off.
inline testing::AssertionResult wroteInOrder(const std::vector<sim::It6805Model::Write>& all,
                                             const std::vector<RegWrite>& rows,
                                             size_t* at = nullptr) {
    std::vector<sim::It6805Model::Write> writes = withoutBankSelects(all);
    auto matches = [](const sim::It6805Model::Write& w, const RegWrite& r) {
        return w.bank == r.bank && w.reg == r.reg && (w.value & r.mask) == (r.value & r.mask);
    };
    size_t best = 0, bestAt = 0;
    for (size_t start = 0; start < writes.size() || (rows.empty() && start == 0); ++start) {
        size_t n = 0;
        while (n < rows.size() && start + n < writes.size() && matches(writes[start + n], rows[n]))
            ++n;
        if (n == rows.size()) {
            if (at)
                *at = start;
            return testing::AssertionSuccess();
        }
        if (n > best) {
            best = n;
            bestAt = start;
        }
    }
    testing::AssertionResult miss = testing::AssertionFailure();
    miss << "the longest run matched " << best << " of " << rows.size() << " rows";
    if (best < rows.size()) {
        char text[64];
        const RegWrite& r = rows[best];
        std::snprintf(text, sizeof text, "; then expected bank %u 0x%02X & 0x%02X = 0x%02X", r.bank,
                      r.reg, r.mask, r.value & r.mask);
        miss << text;
        if (bestAt + best < writes.size())
            miss << ", saw " << describe(writes[bestAt + best]);
    }
    return miss;
}

class It6805Test : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        sim::setScene(boardScene());
        sim::setSleepDivisor(1000);
        g_debugSwitch = getenv("IT_DEBUG") ? 254 : 0;
        G_timeTicks = 1000;
        g_check_edid = "Never";
        store = std::make_unique<KrxRamPara>();
        store->load();
        KrxRamPara::p_krxrampara_config = store.get();
        QObject::connect(store.get(), &KrxRamPara::sig_update_para, store.get(),
                         [this](int reason) { reasons.push_back(reason); });
        fpga = std::make_unique<fpga_manage>();
        ASSERT_EQ(fpga->map_gpio_window(), 0);
        fpga_manage::p_fpga_manage = fpga.get();
        sources = sim::get<sim::HdmiSources>("hdmi-sources");
        source = std::make_unique<velmosource>();
        velmosource::p_velmo_source = source.get();
        source->open_bus();
        source->channel_mask = 0x20;
        bus = sim::get<sim::I2cBus>("/dev/i2c-0");
        // Acknowledge polling waits are cut short with the other waits.
        bus->eeprom(3).setWriteCycleMs(0);
        chip = &bus->it6805();
        c331 = sim::get<sim::C331Model>("c331");
    }
    void TearDown() override {
        source.reset();
        velmosource::p_velmo_source = nullptr;
        fpga_manage::p_fpga_manage = nullptr;
        fpga.reset();
        KrxRamPara::p_krxrampara_config = nullptr;
        store.reset();
        g_check_edid = "Once";
        g_debugSwitch = 254;
        SimTest::TearDown();
    }

    // What is plugged in when the board starts (nothing by default).
    virtual QJsonObject boardScene() const { return QJsonObject(); }

    ite6805_sys& driver() { return *source->ite6805; }
    void pass(int n = 1) {
        for (int i = 0; i < n; ++i) {
            source->checksource_pass();
            ++G_timeTicks;
        }
    }
    // Runs passes until pred holds; false when it never did.
    bool runUntil(const std::function<bool()>& pred, int maxPasses = 200) {
        for (int i = 0; i < maxPasses && !pred(); ++i)
            pass();
        return pred();
    }
    // Resets and releases the receivers; the run state follows.
    void startUp() {
        ASSERT_TRUE(runUntil([&] { return source->thread_state == SOURCE_RUN; }, 400));
    }
    void plugAndWait(const sim::VideoTiming& timing) {
        sources->plug(3, timing);
        startUp();
        ASSERT_TRUE(runUntil([&] { return published(); })) << "never published";
    }

    HDMI_INFO record() {
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        return source->hdminfo[3];
    }
    bool published() {
        HDMI_INFO r = record();
        return r.updated == 1 && r.nosignal == 0;
    }
    VideoSizePara inputSize() {
        pthread_mutex_lock(&store->info_mutex);
        size_t at = 256 + 6 * 3;  // the input sizes from image offset 256
        VideoSizePara size{store->ram_para.u16At(at), store->ram_para.u16At(at + 2),
                           store->ram_para.u16At(at + 4)};
        pthread_mutex_unlock(&store->info_mutex);
        return size;
    }
    // The c331's lock bit of V-by-One receiver 1, read as its SPI port answers it.
    bool vboLocked() {
        std::vector<uint8_t> rx(2);
        c331->transfer({0x80, 0xB2}, rx);
        c331->transfer({0x63, 0x00}, rx);
        return rx[1] & 0x80;
    }
    static std::string errors() {
        std::string all;
        for (const std::string& e : sim::allProtocolErrors())
            all += e + "\n";
        return all;
    }

    std::unique_ptr<KrxRamPara> store;
    std::unique_ptr<fpga_manage> fpga;
    std::unique_ptr<velmosource> source;
    std::shared_ptr<sim::HdmiSources> sources;
    std::shared_ptr<sim::I2cBus> bus;
    std::shared_ptr<sim::C331Model> c331;
    sim::It6805Model* chip = nullptr;
    std::vector<int> reasons;
};

}  // namespace test
