// Access to the input board's I2C bus ("/dev/i2c-0") through combined i2c-dev transfers.
//
// The object keeps no state: the one bus descriptor lives in the first word of the
// receiver driver objects and every caller passes it in. Device addresses are the 8-bit
// write addresses of the board's documentation; the kernel gets them shifted right by one.
#pragma once

#include "core/types.h"

class Drv_I2C0 {
public:
    // Longest read the bounce buffer holds, and the longest write one transfer carries.
    static constexpr int kMaxRead = 100;
    static constexpr unsigned kMaxWrite = 255;

    // The bus object the receiver and transmitter drivers share.
    static Drv_I2C0* p_drv_i2c0;

    // Opens the bus; returns the descriptor, negative when it cannot be opened.
    int initialize();

    // Sends reg followed by n data bytes in one message. 1 when acknowledged, 0 otherwise
    // (also for n beyond kMaxWrite, which is refused without a transfer).
    unsigned char i2c_write(int fd, unsigned char dev, unsigned char reg, unsigned char* data,
                            unsigned int n);
    // Writes reg, then reads n bytes with a repeated start. 1 with the bytes in data, 0 with
    // data untouched (also for n outside 1..kMaxRead, refused without a transfer).
    unsigned char i2c_read(int fd, unsigned char dev, unsigned char reg, unsigned char* data,
                           int n);
};
