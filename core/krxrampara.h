// The parameter store: the live parameter image, its shadow (what was last applied and
// saved), the 16 user-mode slots and the processor's own register bytes.
//
// Writers of ram_para outside the video-processor thread follow the apply protocol
// (c331_manage::para_mutex, edit, para_update, unlock). The operations below that say
// "applied" take para_mutex themselves: do not call them with it held.
#pragma once

#include <pthread.h>

#include <QObject>
#include <string>

#include "core/ramparaimage.h"
#include "core/types.h"

// One user-mode slot: header 0xAA 0xAA (saved) or 0xFF 0xFF (empty), then a 4096-byte
// copy whose first 3200 bytes are image bytes 896..4095.
struct UserModeSlot {
    static constexpr size_t kSize = 4098;
    static constexpr size_t kHeader = 2;
    static constexpr size_t kFileSize = 4096;   // header and data bytes 0..4093
    static constexpr size_t kImageCopy = 3200;  // image bytes 896..4095
    static constexpr size_t kOsdEnable = 1228;  // data offset of the mode's osd_enable
    u8 bytes[kSize];

    u8* data() { return bytes + kHeader; }
    const u8* data() const { return bytes + kHeader; }
    bool saved() const { return bytes[0] == 0xAA && bytes[1] == 0xAA; }
};

// Crop-number bitmap: bit port * 40 + (number - 1) is set while that crop exists.
extern u8 g_cut_source_state[30];

class KrxRamPara : public QObject {
    Q_OBJECT
public:
    static constexpr int kRegParaSize = 1064;
    static constexpr int kUserModes = 16;
    static constexpr int kCropPorts = 6;       // ports the crop bitmap can number
    static constexpr int kCropNumbers = 40;    // crop numbers per port
    static constexpr int kRegFontStatus = 43;  // reg_para byte: OSD font sets found
    static constexpr const char* kFile = "/data/ram_device_info";
    static constexpr size_t kFileSize = 4096;
    static constexpr size_t kSavedBytes = RamParaImage::kSize - para::runtime_end;  // 3328

    static KrxRamPara* p_krxrampara_config;
    // Creates the store on the first call (constructor, then load()).
    static KrxRamPara* pInstance();

    pthread_mutex_t info_mutex;  // guards the input_size entries (image 256..291)
    // The live image. The input thread writes its input_size entries under info_mutex;
    // every other field is written under the apply protocol's para_mutex. A reader in
    // another thread takes the lock of what it reads, or a whole copy with live_copy().
    RamParaImage ram_para;
    RamParaImage ram_para_shadow;
    UserModeSlot user_mode[kUserModes];
    u8 reg_para[kRegParaSize];

    // Every image, slot and register byte starts at 0.
    KrxRamPara();
    ~KrxRamPara() override;
    // The start-up sequence: parameter file (or the defaults), language, boot resets, crop
    // numbers, shadow, user modes, register start values.
    void load();

    // The live image as one copy: the input_size entries read under info_mutex, the rest
    // whole while the caller holds para_mutex.
    RamParaImage live_copy();
    // Bytes offset..offset+count-1 of the live image (the range inside the image), the
    // input_size entries read under info_mutex; the caller holds para_mutex.
    void read_live(size_t offset, u8* out, size_t count);
    // Input p's input_size entry (p 0..5), read under info_mutex.
    VideoSizePara input_size(int p);

    // Emits sig_update_para(reason); returns 1. Safe from any thread, and from a slot of
    // the signal itself.
    int test_signal(int reason);
    int ram_para_save();
    // Remote write into ram_para: 1 when offset..offset+length passes the image end
    // (nothing written), else 0. The caller follows the apply protocol; the input_size
    // entries are written under info_mutex here.
    int KrxRamParaDeal(const u8* data, u16 length, u32 offset);
    // Remote write into user-mode slot (address >> 12) 1..16 at byte (address & 0xFFF) of
    // the slot: 1 for another slot or a write past the slot's end (nothing written), else 0.
    int KrxModeUserRamParaDeal(const u8* data, u16 length, u32 address);
    int KrxLanguageChanged();
    int KrxGetCurrentModeIndex();
    // Rewrites the parameter file from the defaults and reloads the saved area; 0 done.
    int ram_para_reset();
    // Saves image bytes 768..4095 as the parameter file, replacing it whole so that a
    // power cut leaves the old or the new image, never a mix; runs "sync". Takes
    // Utils::_file_deal_mutex itself. 0 done, 255 failed (the old file stays).
    int ram_para_file_write(const RamParaImage& image);

    // User-mode files of slot 0..15; results as the operations have always had (1 done).
    int mode_file_write(int slot, int op);
    int mode_file_deal(int slot, int op);
    int KrxUserModeSaved(int slot);
    int KrxUserModeIndex(u8 index, u8 direction);

    // Crop table and window sources. Ports 0..5, crop numbers 1..40.
    void KrxCropSourceInit();
    int KrxGetCropID(int port, int n);
    int KrxAddCropID(int port);
    int KrxGetSourceNum(int port, int count);
    void KrxGetCropPara(int port, int n, CROP_PARA* out, int* index);
    // The following return 0 when done, 255 when refused or not found (nothing written).
    int KrxSetCropPara(u8 port, u8 n, CROP_PARA* in);  // applied
    int KrxAddNewCrop(int port, CROP_PARA* in);        // applied
    int KrxDeleteCrop(u8 port, u8 n);                  // applied
    int KrxGetImageSource(const u8* buf, u8 window, short* is_crop, u8* crop_index, u8 from_mode);
    int KrxSetImageSource(int n, u8 port, u8 window);                        // applied
    void KrxSetImageFreeze();                                                // applied
    void KrxSetImageBlack();                                                 // applied
    int KrxSetEDIDPara(int port, short width, short height, short refresh);  // applied

signals:
    void sig_update_para(int reason);

private:
    static bool readSavedArea(const std::string& file, RamParaImage& image);
    static void loadDefaultsFile(const std::string& file, RamParaImage& image);
    void applyLanguageAtStart();
    void applyBootResets();
    void setRegisterStartValues();
    int findCropEntry(int port, int number) const;
    template <class Edit>
    void apply(Edit edit);
};

// Holds a store's info_mutex (its input_size entries) for a scope.
class InfoLock {
public:
    explicit InfoLock(KrxRamPara* store) : store_(store) {
        pthread_mutex_lock(&store_->info_mutex);
    }
    ~InfoLock() { pthread_mutex_unlock(&store_->info_mutex); }
    InfoLock(const InfoLock&) = delete;
    InfoLock& operator=(const InfoLock&) = delete;

private:
    KrxRamPara* store_;
};

// The built-in default image in the layout of the parameter file.
extern const u8 (&default_para_ramlist)[4096];
