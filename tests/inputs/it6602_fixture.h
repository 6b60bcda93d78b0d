// The input-source thread with the three IT6602 channels on the simulated board: the pass is
// called directly, one tick per pass, and sources are plugged into the board's inputs.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "board/sim/hdmi_sources.h"
#include "board/sim/i2c_bus.h"
#include "board/sim/sim.h"
#include "core/config_engine.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmo_it6602.h"
#include "inputs/velmosource.h"
#include "tests/support/sim_test.h"

namespace test {

// While it lives, G_timeTicks follows the board's clock as the GUI thread's 10 ms tick does,
// also in the middle of a long pass.
class RealTimeTicks {
public:
    RealTimeTicks() : base_(G_timeTicks - static_cast<u32>(sim::nowMs() / 10)) {
        thread_ = std::thread([this] {
            while (running_) {
                G_timeTicks = base_ + static_cast<u32>(sim::nowMs() / 10);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    ~RealTimeTicks() {
        running_ = false;
        thread_.join();
    }

private:
    u32 base_;
    std::atomic<bool> running_{true};
    std::thread thread_;
};

class It6602Test : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        sim::setSleepDivisor(10);
        g_debugSwitch = 0;
        G_timeTicks = 1000;
        ConfigEngine::pInstance();
        g_check_edid = "Never";
        store = std::make_unique<KrxRamPara>();
        store->load();
        KrxRamPara::p_krxrampara_config = store.get();
        fpga = std::make_unique<fpga_manage>();
        ASSERT_EQ(fpga->map_gpio_window(), 0);
        fpga_manage::p_fpga_manage = fpga.get();
        sources = sim::get<sim::HdmiSources>("hdmi-sources");
        source = std::make_unique<velmosource>();
        velmosource::p_velmo_source = source.get();
        source->open_bus();
        bus = sim::get<sim::I2cBus>("/dev/i2c-0");
        QObject::connect(store.get(), &KrxRamPara::sig_update_para, [this](int) { ++signals_; });
        beforeStartUp();
        for (int i = 0; i < 400 && source->thread_state != SOURCE_RUN; ++i)
            pass();
        ASSERT_EQ(source->thread_state, SOURCE_RUN);
        ASSERT_TRUE(passUntil([&] {
            return source->it6602_step[0] == 2 && source->it6602_step[1] == 2 &&
                   source->it6602_step[2] == 2;
        })) << "the three channels identified and set up";
    }
    void TearDown() override {
        source.reset();
        velmosource::p_velmo_source = nullptr;
        fpga_manage::p_fpga_manage = nullptr;
        fpga.reset();
        KrxRamPara::p_krxrampara_config = nullptr;
        store.reset();
        delete ConfigEngine::p_config;
        ConfigEngine::p_config = nullptr;
        g_check_edid = "Once";
        g_check_source = 255;
        g_debugSwitch = 254;
        SimTest::TearDown();
    }

    // What the board holds before the input thread starts.
    virtual void beforeStartUp() {}

    // One turn of the input thread, one tick later.
    void pass(int n = 1) {
        for (int i = 0; i < n; ++i) {
            source->checksource_pass();
            ++G_timeTicks;
        }
    }
    // Passes until done() holds, at most maxPasses; whether it came to hold.
    bool passUntil(const std::function<bool()>& done, int maxPasses = 400) {
        for (int i = 0; i < maxPasses; ++i) {
            if (done())
                return true;
            pass();
        }
        return done();
    }
    bool pictureOn(int input) {
        return passUntil([&] {
            return source->it6602->dev[input].video_state == VSTATE_VideoOn &&
                   record(input).updated && !record(input).nosignal;
        });
    }

    static sim::VideoTiming cta(int vic,
                                sim::VideoTiming::Colour colour = sim::VideoTiming::Colour::Rgb,
                                bool dvi = false) {
        sim::VideoTiming t = *sim::VideoTiming::cta861(vic);
        t.colour = colour;
        t.dvi = dvi;
        return t;
    }
    // The same timing at its 1000/1001 rate.
    static sim::VideoTiming fractional(sim::VideoTiming t) {
        t.pixelClockKHz = t.pixelClockKHz * 1000 / 1001;
        return t;
    }

    HDMI_INFO record(int input) {
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        return source->hdminfo[input];
    }
    VideoSizePara inputSize(int input) {
        pthread_mutex_lock(&store->info_mutex);
        size_t at = 256 + 6 * static_cast<size_t>(input);  // input sizes from offset 256
        VideoSizePara size{store->ram_para.u16At(at), store->ram_para.u16At(at + 2),
                           store->ram_para.u16At(at + 4)};
        pthread_mutex_unlock(&store->info_mutex);
        return size;
    }
    sim::It6602Model& chip(int channel) { return bus->it6602(channel); }
    IT6602_dev_data& driver(int channel) { return source->it6602->dev[channel]; }

    std::unique_ptr<KrxRamPara> store;
    std::unique_ptr<fpga_manage> fpga;
    std::unique_ptr<velmosource> source;
    std::shared_ptr<sim::HdmiSources> sources;
    std::shared_ptr<sim::I2cBus> bus;
    int signals_ = 0;
};

}  // namespace test
