// The parameter store: the live parameter image, its shadow (what was last applied and
// saved), the 16 user-mode slots and the processor's own register bytes.
#pragma once

#include <pthread.h>

#include <QObject>

#include "core/ramparaimage.h"
#include "core/types.h"

// One user-mode slot: header 0xAA 0xAA (saved) or 0xFF 0xFF (empty), then a 4096-byte
// copy whose first 3200 bytes are image bytes 896..4095.
struct UserModeSlot {
    static constexpr size_t kSize = 4098;
    u8 bytes[kSize];
};

// Crop-number bitmap: bit port * 40 + (number - 1) is set while that crop exists.
extern u8 g_cut_source_state[30];

class KrxRamPara : public QObject {
    Q_OBJECT
public:
    static constexpr int kRegParaSize = 1064;
    static constexpr int kUserModes = 16;
    static constexpr const char* kFile = "/data/ram_device_info";

    static KrxRamPara* p_krxrampara_config;
    static KrxRamPara* pInstance();

    pthread_mutex_t info_mutex;
    RamParaImage ram_para;
    RamParaImage ram_para_shadow;
    UserModeSlot user_mode[kUserModes];
    u8 reg_para[kRegParaSize];

    KrxRamPara();
    // The load sequence that pInstance runs on the object it creates.
    void load();

    int test_signal(int reason);
    int ram_para_save();
    int KrxRamParaDeal(const u8* data, u16 length, u32 offset);
    int KrxModeUserRamParaDeal(const u8* data, u16 length, u32 address);
    int KrxLanguageChanged();
    int KrxGetCurrentModeIndex();
    int ram_para_reset();
    // Writes image bytes 768..4095 into the parameter file so that a power cut leaves the
    // old or the new image, never a mix. Returns 0 on success.
    int ram_para_file_write(const RamParaImage& image);

    int mode_file_write(int slot, int op);
    int mode_file_deal(int slot, int op);
    int KrxUserModeSaved(int slot);
    int KrxUserModeIndex(char index, char direction);

    void KrxCropSourceInit();
    int KrxGetCropID(int port, int n);
    int KrxAddCropID(int port);
    int KrxGetSourceNum(int port, int count);
    void KrxGetCropPara(int port, int n, CROP_PARA* out, int* index);
    void KrxSetCropPara(char port, char n, CROP_PARA* in);
    void KrxAddNewCrop(int port, CROP_PARA* in);
    void KrxDeleteCrop(char port, char n);
    int KrxGetImageSource(const u8* buf, u8 window, short* is_crop, char* crop_index, u8 from_mode);
    int KrxSetImageSource(int n, char port, char window);
    void KrxSetImageFreeze();
    void KrxSetImageBlack();
    void KrxSetEDIDPara(int port, short width, short height, short refresh);

signals:
    void sig_update_para(int reason);
};

// The built-in default image in the layout of the parameter file.
extern const u8 default_para_ramlist[4096];
