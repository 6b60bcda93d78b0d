#include "inputs/iTE6805_cec_feture.h"

#include "inputs/iTE6805_cec_drv.h"
#include "inputs/iTE6805_cec_sys.h"
#include "inputs/iTE6805_sys.h"

using namespace ite6805;

namespace {

// Requests answered, and what with.
constexpr u8 kRecordTvScreen = 0x0F;
constexpr u8 kDeckControl = 0x42;
constexpr u8 kAbort = 0xFF;
constexpr u8 kFeatureAbort = 0x00;
constexpr u8 kAbortRefused = 4;
constexpr u8 kGiveOsdName = 0x46;
constexpr u8 kSetOsdName = 0x47;
constexpr u8 kGivePhysicalAddress = 0x83;
constexpr u8 kReportPhysicalAddress = 0x84;
constexpr u8 kDeviceTypeTv = 0;
constexpr u8 kRequestActiveSource = 0x85;
constexpr u8 kActiveSource = 0x82;
constexpr u8 kGiveVendorId = 0x8C;
constexpr u8 kDeviceVendorId = 0x87;
constexpr u8 kGivePowerStatus = 0x8F;
constexpr u8 kReportPowerStatus = 0x90;
constexpr u8 kGetCecVersion = 0x9F;
constexpr u8 kCecVersion = 0x9E;
constexpr u8 kVersion2_0 = 0x06;

void add(CEC_FRAME& f, u8 byte) {
    if (f.length == 1)
        f.opcode = byte;
    else if (f.length < kCecMaxFrame)
        f.operand[f.length - 2] = byte;
    else
        return;
    ++f.length;
}

}  // namespace

ite6805_cec_feture::ite6805_cec_feture(ite6805_sys& sys) : sys_(sys) {}

void ite6805_cec_feture::iTE6805_CEC_CMD_Feature_decode(u8 dev) {
    if (dev != 0)
        return;
    iTE6805_CEC& cec = sys_.cec->cec;
    ite6805_cec_drv& drv = *sys_.cec_drv;
    const CEC_FRAME& rx = cec.rx_frame;
    CEC_FRAME& tx = cec.tx_frame;
    u8 self = cec.logical_address;
    u8 phys1 = cec.physical_address[0];
    u8 phys2 = cec.physical_address[1];
    switch (rx.opcode) {
        case kRecordTvScreen:
        case kDeckControl:
        case kAbort:
            drv.iTE6805_CEC_INIT_CMD(self, rx.initiator, 0);
            for (u8 b : {kFeatureAbort, rx.opcode, kAbortRefused})
                add(tx, b);
            break;
        case kGiveOsdName:
            drv.iTE6805_CEC_INIT_CMD(self, rx.initiator, 0);
            for (u8 b : {kSetOsdName, u8{0x68}, u8{0x05}})
                add(tx, b);
            break;
        case kGivePhysicalAddress:
            drv.iTE6805_CEC_INIT_CMD(self, kCecBroadcast, 0);
            for (u8 b : {kReportPhysicalAddress, phys2, phys1, kDeviceTypeTv})
                add(tx, b);
            break;
        case kRequestActiveSource:
            drv.iTE6805_CEC_INIT_CMD(self, kCecBroadcast, 0);
            for (u8 b : {kActiveSource, phys2, phys1})
                add(tx, b);
            break;
        case kGiveVendorId:
            drv.iTE6805_CEC_INIT_CMD(self, kCecBroadcast, 0);
            for (u8 b : {kDeviceVendorId, u8{0}, u8{0}, u8{0}})
                add(tx, b);
            break;
        case kGivePowerStatus:
            drv.iTE6805_CEC_INIT_CMD(self, rx.initiator, 0);
            for (u8 b : {kReportPowerStatus, power_status})
                add(tx, b);
            break;
        case kGetCecVersion:
            drv.iTE6805_CEC_INIT_CMD(self, rx.initiator, 0);
            for (u8 b : {kCecVersion, kVersion2_0})
                add(tx, b);
            break;
        default:
            return;
    }
    drv.iTE6805_CEC_CMD_Ready_To_Fire(0);
}
