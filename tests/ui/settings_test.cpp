#include "tests/ui/settings_test.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <cstring>
#include <thread>

#include "board/board.h"
#include "board/sim/sim.h"
#include "core/config_engine.h"
#include "fpga/send_para.h"
#include "tests/ui/panel_script.h"
#include "ui/numberkeyboard.h"

namespace test {

void SettingsTest::TearDown() {
    unwindPanel();
    fpga_manage::p_fpga_manage = nullptr;
    manager.reset();
    velmosource::p_velmo_source = nullptr;
    source.reset();
    if (ConfigEngine::p_config) {
        delete ConfigEngine::p_config;
        ConfigEngine::p_config = nullptr;
    }
    EXPECT_TRUE(sim::allProtocolErrors().empty())
        << ::testing::PrintToString(sim::allProtocolErrors());
    UiTest::TearDown();
}

void SettingsTest::startFpga() {
    sim::setSleepDivisor(1000);
    G_timeTicks = 10000;
    std::memset(g_change, 0, sizeof g_change);
    g_set_led_para = 0;
    g_set_led_setup = 0;
    g_freeze_out = 0;
    g_usb_grade = 0;
    g_force_bkcolor = 1;
    ScreenState = 1;
    send_para_clear();
    fpga()->setConfigDelayMs(0);
    manager = std::make_unique<fpga_manage>();
    fpga_manage::p_fpga_manage = manager.get();
    manager->open_spi_links();
    ASSERT_EQ(manager->map_gpio_window(), 0);
    manager->softinit();
    source = std::make_unique<velmosource>();
    velmosource::p_velmo_source = source.get();
    source->d0_step[0] = 2;
    board::mmio_write16(manager->fpga_rst_gpio[0], 16);
}

void SettingsTest::fpgaPass(int n) {
    for (int i = 0; i < n; ++i) {
        ++G_timeTicks;
        manager->fpga_manage_deal();
    }
}

void SettingsTest::loadSettings() {
    ConfigEngine::pInstance();
    g_lcd_lang_valid = 0x1001F;
    sim::clearCommands();
}

void SettingsTest::useLanguage(u8 language) {
    g_lcd_lang_valid = 0x1001F;
    g_language = language;
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    store->ram_para[768] = language;
    store->ram_para_shadow[768] = language;
}

void SettingsTest::changeLanguage(u8 language) {
    applyEdit([language](RamParaImage& image) { image[768] = language; });
    applyPending();
    QCoreApplication::processEvents();
}

void SettingsTest::shot(QWidget* screen, const QString& name) {
    ASSERT_NE(screen, nullptr);
    QDir().mkpath(QString(KRX_BINARY_DIR) + "/screens");
    EXPECT_TRUE(screen->grab().save(QString(KRX_BINARY_DIR) + "/screens/" + name + ".png"));
}

QString textOf(QWidget* screen, const char* name) {
    QWidget* widget = child(screen, name);
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* field = qobject_cast<QLineEdit*>(widget))
        return field->text();
    if (auto* box = qobject_cast<QComboBox*>(widget))
        return box->currentText();
    ADD_FAILURE() << "no widget " << name;
    return QString();
}

void pressKeypadOk() {
    for (QAbstractButton* button : g_numberkeyboard->findChildren<QAbstractButton*>()) {
        const QString text = button->text();
        if (text == "OK" || text == QString::fromUtf8("确定") ||
            text == QString::fromUtf8("確定")) {
            button->click();
            return;
        }
    }
    ADD_FAILURE() << "no OK on the keypad";
}

bool showsPicture(QWidget* screen, const char* label, const char* resource) {
    auto* shown = child<QLabel>(screen, label);
    if (!shown) {
        ADD_FAILURE() << "no label " << label;
        return false;
    }
    return shown->pixmap(Qt::ReturnByValue).toImage() == QPixmap(resource).toImage();
}

}  // namespace test
