// Fixture of the core tests: a fresh board and root, the globals at their defaults, and
// waits shortened (the store sleeps after every file step).
#pragma once

#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "board/sim/sim.h"
#include "core/config_engine.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "tests/support/sim_test.h"
#include "video/c331_manage.h"

namespace coretest {

// The calling thread's id in the kernel.
inline pid_t threadId() {
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

// True while thread tid of this process sleeps in the kernel on a futex, as a thread does
// that waits for a mutex another thread holds.
inline bool waitsOnAMutex(pid_t tid) {
    std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/syscall");
    long number = -1;
    return static_cast<bool>(status >> number) && number == SYS_futex;
}

class CoreTest : public test::SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        sim::setSleepDivisor(10000);
        g_lcd_lang_valid = 0x1001F;
        g_language = 0;
        g_image_current = 0;
        G_timeTicks = 0;
        c331_manage::para_update = 0;
    }
    void TearDown() override {
        delete ConfigEngine::p_config;
        ConfigEngine::p_config = nullptr;
        SimTest::TearDown();
    }

    // A store built and loaded on this test's root, as start-up builds it.
    static std::unique_ptr<KrxRamPara> loadStore() {
        auto store = std::make_unique<KrxRamPara>();
        store->load();
        return store;
    }

    // The settings store on this test's root, loaded into the globals.
    static ConfigEngine* loadConfig() {
        delete ConfigEngine::p_config;
        ConfigEngine::p_config = nullptr;
        return ConfigEngine::pInstance();
    }
};

}  // namespace coretest
