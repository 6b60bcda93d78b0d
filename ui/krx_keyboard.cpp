#include "ui/krx_keyboard.h"

#include <cstdio>

#include "core/global.h"
#include "core/krxrampara.h"

namespace {

constexpr int kFirstShortcut = 0x42;  // 'B'
constexpr int kLastShortcut = 0x50;   // 'P'

bool windowEnabled(const RamParaImage& image, int window) {
    return image.u16At(para::window_at(window) + para::win_enable) != 0;
}

void chooseWindow(KrxRamPara* store, int window) {
    if (!windowEnabled(store->ram_para, window) || g_image_current == window)
        return;
    g_image_current = static_cast<u8>(window);
    store->test_signal(1);
}

}  // namespace

bool panelLocked() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    return store && store->ram_para.u16At(para::panel_lock) != 0;
}

void krx_keyboard::update_usb_keyEvent(int key) {
    if (debugOn())
        std::printf("\n======update_usb_keyEvent===== key = %#x\n", key);
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store || panelLocked() || key < kFirstShortcut || key > kLastShortcut)
        return;
    switch (key) {
        case 'B':
            chooseWindow(store, 0);
            break;
        case 'C':
            chooseWindow(store, 1);
            break;
        case 'E':
            chooseWindow(store, 2);
            break;
        case 'F':
            chooseWindow(store, 3);
            break;
        case 'J':
            store->KrxSetImageSource(0, 0, g_image_current.load());
            break;
        case 'K':
            store->KrxSetImageSource(0, 1, g_image_current.load());
            break;
        case 'L':
            store->KrxSetImageSource(0, 2, g_image_current.load());
            break;
        case 'I':
            store->KrxSetImageSource(0, 3, g_image_current.load());
            break;
        case 'N':
            store->KrxSetImageFreeze();
            break;
        case 'P':
            store->KrxSetImageBlack();
            break;
        default:
            break;
    }
}
