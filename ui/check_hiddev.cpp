#include "ui/check_hiddev.h"

#include <hidapi.h>

#include <cstdio>

#include "core/global.h"

int check_hiddev() {
    if (hid_init() != 0) {
        if (debugOn())
            std::printf("\t hid init error ");
        return 0;
    }
    int found = 0;
    hid_device_info* devices = hid_enumerate(0, 0);
    for (hid_device_info* d = devices; d; d = d->next) {
        if (debugOn())
            std::printf("\t VendorID = %02x , ProductID = %02x \n", d->vendor_id, d->product_id);
        if (d->vendor_id == kKeyBoardVendor && d->product_id == kKeyBoardProduct)
            found = 1;
    }
    hid_free_enumeration(devices);
    if (debugOn())
        std::printf("\t check_hiddev over");
    return found;
}

bool writeKeyLedReport(const KeyLedReport& report) {
    hid_device* board = hid_open(kKeyBoardVendor, kKeyBoardProduct, nullptr);
    if (!board)
        return false;
    unsigned char buffer[1 + std::tuple_size<KeyLedReport>::value];
    buffer[0] = 0;  // the board has one output report, number 0
    for (size_t i = 0; i < report.size(); ++i)
        buffer[1 + i] = report[i];
    const int written = hid_write(board, buffer, sizeof buffer);
    hid_close(board);
    return written == static_cast<int>(sizeof buffer);
}
