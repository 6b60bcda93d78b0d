#include "core/krxrampara.h"

#include <sys/stat.h>

#include <QThread>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "board/board.h"
#include "core/global.h"
#include "core/le.h"
#include "core/logMsg.h"
#include "core/para_apply.h"
#include "core/utils.h"

KrxRamPara* KrxRamPara::p_krxrampara_config = nullptr;
u8 g_cut_source_state[30] = {};

namespace {

constexpr int kLanguages = 5;
constexpr int kEnglish = 1;
constexpr u8 kModeSaved = 0xAA;
constexpr u8 kModeEmpty = 0xFF;

// Start values of the processor's own registers (multi-byte values little-endian); every
// other byte from kRegStartFrom on starts at 0.
struct RegisterStart {
    u16 first;
    u16 last;
    u8 value;
};
constexpr int kRegStartFrom = 0x25;
constexpr RegisterStart kRegisterStart[] = {
    {0x25, 0x25, 0x80},   // input-side status
    {0x26, 0x26, 0x1F},   // status word 0x071F, low byte
    {0x27, 0x27, 0x07},   // status word, high byte
    {0x35, 0x35, 0xC3},   // 0xC3
    {0x36, 0x36, 0x10},   // u16 0xFF10, low byte
    {0x37, 0x37, 0xFF},   // u16 0xFF10, high byte
    {0x38, 0x3A, 0xFF},   // u32 0xC0FFFFFF, low three bytes
    {0x3B, 0x3B, 0xC0},   // u32 0xC0FFFFFF, high byte
    {0x3C, 0x424, 0xFF},  // all ones
};

// True while this thread is inside test_signal: a slot that raises another refresh on
// the same thread must not wait for the lock its own emitter holds.
thread_local bool t_emitting = false;

bool languageOffered(u8 language, u32 valid) {
    return language < kLanguages && ((valid >> language) & 1u);
}

int lowestOfferedLanguage(u32 valid) {
    for (int language = 0; language < kLanguages; ++language) {
        if ((valid >> language) & 1u)
            return language;
    }
    return -1;
}

// The language to use instead of one that is not offered.
u8 replacementLanguage(u8 language, u32 valid) {
    int lowest = lowestOfferedLanguage(valid);
    if (lowest >= 0)
        return static_cast<u8>(lowest);
    return language < kLanguages ? language : kEnglish;
}

std::string slotFile(int slot) {
    return "/data/modes/custom_mode" + std::to_string(slot + 1);
}

QString osdCopyFile(int slot) {
    return QString::asprintf("/data/modes/MO%02x.json", slot + 1);
}

// Crop-table id word: bit 15 valid, bits 14..8 crop number - 1, bits 7..0 source port.
bool cropValid(u16 id) {
    return id & 0x8000;
}
int cropNumber(u16 id) {
    return ((id >> 8) & 0x7F) + 1;
}
int cropPort(u16 id) {
    return id & 0xFF;
}
u16 cropId(int port, int number) {
    return static_cast<u16>(0x8000 | ((number - 1) << 8) | port);
}

bool cropBit(int port, int number) {
    int bit = port * KrxRamPara::kCropNumbers + number - 1;
    return g_cut_source_state[bit / 8] & (1u << (bit % 8));
}

void setCropBit(int port, int number) {
    int bit = port * KrxRamPara::kCropNumbers + number - 1;
    g_cut_source_state[bit / 8] |= static_cast<u8>(1u << (bit % 8));
}

bool numberablePort(int port) {
    return port >= 0 && port < KrxRamPara::kCropPorts;
}

void ensureFolder(const char* devicePath) {
    std::error_code ec;
    std::filesystem::create_directories(board::path(devicePath), ec);
}

}  // namespace

KrxRamPara::KrxRamPara() : ram_para(), ram_para_shadow(), user_mode(), reg_para() {
    pthread_mutex_init(&info_mutex, nullptr);
}

KrxRamPara::~KrxRamPara() {
    pthread_mutex_destroy(&info_mutex);
}

namespace {}  // namespace

RamParaImage KrxRamPara::live_copy() {
    InfoLock lock(this);
    return ram_para;
}

void KrxRamPara::read_live(size_t offset, u8* out, size_t count) {
    InfoLock lock(this);
    memcpy(out, ram_para.data() + offset, count);
}

VideoSizePara KrxRamPara::input_size(int p) {
    const size_t at = para::input_size_at(p);
    InfoLock lock(this);
    return {ram_para.u16At(at), ram_para.u16At(at + 2), ram_para.u16At(at + 4)};
}

KrxRamPara* KrxRamPara::pInstance() {
    if (!p_krxrampara_config) {
        p_krxrampara_config = new KrxRamPara;
        p_krxrampara_config->load();
    }
    return p_krxrampara_config;
}

// Reads the saved area of the parameter file into image; false (image untouched) for a
// file that cannot be opened, has another marker or is too short.
bool KrxRamPara::readSavedArea(const std::string& file, RamParaImage& image) {
    FILE* in = fopen(file.c_str(), "rb");
    if (!in)
        return false;
    u8 marker[2];
    u8 saved[kSavedBytes];
    bool valid = fread(marker, 1, 2, in) == 2 && marker[0] == 0xAA && marker[1] == 0xAA &&
                 fread(saved, 1, kSavedBytes, in) == kSavedBytes;
    fclose(in);
    if (valid)
        memcpy(image.data() + para::runtime_end, saved, kSavedBytes);
    return valid;
}

void KrxRamPara::loadDefaultsFile(const std::string& file, RamParaImage& image) {
    Utils::writeFileAtomic(kFile, default_para_ramlist, kFileSize);
    Utils::system_mutex("sync");
    board::msleep(100);
    // When even the file just written cannot be read back, the built-in table is used.
    if (!readSavedArea(file, image))
        memcpy(image.data() + para::runtime_end, default_para_ramlist + 2, kSavedBytes);
}

void KrxRamPara::load() {
    ensureFolder("/data/configs");
    ensureFolder("/data/modes");
    const std::string file = board::path(kFile);
    struct stat st;
    bool loaded = false;
    if (::stat(file.c_str(), &st) == 0) {
        loaded = readSavedArea(file, ram_para);
        if (!loaded) {
            remove(file.c_str());
            if (debugOn())
                printf("\n delete %s ,use the default para\n", kFile);
            board::msleep(100);
        }
    } else if (debugOn()) {
        printf("\n %s file un exist \n", kFile);
    }
    if (!loaded)
        loadDefaultsFile(file, ram_para);
    board::msleep(100);

    applyLanguageAtStart();
    applyBootResets();
    KrxCropSourceInit();
    ram_para_shadow = ram_para;
    for (int slot = 0; slot < kUserModes; ++slot) {
        mode_file_deal(slot, 0);
        board::usleep(100);
    }
    setRegisterStartValues();
}

void KrxRamPara::applyLanguageAtStart() {
    u32 valid = g_lcd_lang_valid;
    if ((valid & 1u) && (valid & (1u << 17))) {
        valid &= 0xFFFE;
        g_lcd_lang_valid = valid;
    }
    u8 language = ram_para[para::language];
    if (!languageOffered(language, valid))
        language = replacementLanguage(language, valid);
    ram_para[para::language] = language;
    g_language = language;
}

void KrxRamPara::applyBootResets() {
    ram_para.setU16(para::fpga_para, 0);
    memset(ram_para.data() + para::test_pattern, 0, 4);  // test_pattern, current_user_mode
    ram_para[para::save_user_mode + 1] = 0;
    ram_para.setU16(para::splice_mode, 0);
    for (int k = 0; k < 16; ++k) {
        ram_para[para::win_fade + 4 * k] = 60;
        ram_para[para::win_fade + 4 * k + 2] = 60;
    }
}

void KrxRamPara::setRegisterStartValues() {
    memset(reg_para + kRegStartFrom, 0, kRegParaSize - kRegStartFrom);
    for (const RegisterStart& row : kRegisterStart)
        memset(reg_para + row.first, row.value, row.last - row.first + 1);
}

int KrxRamPara::test_signal(int reason) {
    // A direct call runs the refresh inside this one, and the refresh takes the apply lock;
    // the video-processor thread emits while holding that lock. Holding the emitter lock
    // across a direct call would order the two locks both ways, so only emissions from
    // other threads, which merely post the call, are serialised.
    if (t_emitting || QThread::currentThread() == thread()) {
        bool outer = t_emitting;
        t_emitting = true;
        emit sig_update_para(reason);
        t_emitting = outer;
        return 1;
    }
    std::lock_guard<std::mutex> lock(Utils::_test_signal_mutex);
    t_emitting = true;
    emit sig_update_para(reason);
    t_emitting = false;
    return 1;
}

int KrxRamPara::ram_para_save() {
    return test_signal(1);
}

int KrxRamPara::KrxRamParaDeal(const u8* data, u16 length, u32 offset) {
    if (offset > RamParaImage::kSize || length > RamParaImage::kSize - offset)
        return 1;
    if (length == 0)
        return 0;
    InfoLock lock(this);
    memcpy(ram_para.data() + offset, data, length);
    return 0;
}

int KrxRamPara::KrxModeUserRamParaDeal(const u8* data, u16 length, u32 address) {
    // Addresses above the 16 slots would alias a slot through the 8-bit slot number.
    u32 n = address >> 12;
    if (n < 1 || n > kUserModes)
        return 1;
    u32 offset = address & 0xFFF;
    if (length > UserModeSlot::kSize - offset)
        return 1;
    if (debugOn())
        printf("\n write ram_user_mode = %#x \n", n);
    memcpy(user_mode[n - 1].bytes + offset, data, length);
    return 0;
}

int KrxRamPara::KrxLanguageChanged() {
    if (ram_para.sameU16(ram_para_shadow, para::language))
        return 0;
    u8 language = ram_para[para::language];
    g_language = language;
    u32 valid = g_lcd_lang_valid;
    if (languageOffered(language, valid))
        return 1;
    u8 replacement = replacementLanguage(language, valid);
    if (replacement != language) {
        ram_para[para::language] = replacement;
        ram_para[para::language + 1] = 0;
        g_language = replacement;
    }
    return 1;
}

int KrxRamPara::KrxGetCurrentModeIndex() {
    u8 mode = ram_para[para::current_user_mode];
    return mode <= kUserModes ? mode : 0;
}

int KrxRamPara::ram_para_reset() {
    RamParaImage loaded;
    {
        std::lock_guard<std::mutex> lock(Utils::_file_deal_mutex);
        loadDefaultsFile(board::path(kFile), loaded);
    }
    ParaLock lock;
    memcpy(ram_para.data() + para::runtime_end, loaded.data() + para::runtime_end, kSavedBytes);
    ram_para_shadow = ram_para;
    return 0;
}

int KrxRamPara::ram_para_file_write(const RamParaImage& image) {
    u8 file[kFileSize] = {};
    file[0] = 0xAA;
    file[1] = 0xAA;
    memcpy(file + 2, image.data() + para::runtime_end, kSavedBytes);
    std::lock_guard<std::mutex> lock(Utils::_file_deal_mutex);
    if (!Utils::writeFileAtomic(kFile, file, kFileSize)) {
        if (debugOn())
            printf("\n save %s failed\n", kFile);
        writeLogMsg(LOG_MSG_ERROR, "save %s failed", kFile);
        return 255;
    }
    Utils::system_mutex("sync");
    board::msleep(100);
    return 0;
}

// ---- user-mode slots

int KrxRamPara::mode_file_write(int slot, int op) {
    if (slot < 0 || slot >= kUserModes)
        return 0;
    {
        std::lock_guard<std::mutex> lock(Utils::_file_deal_mutex);
        UserModeSlot written = user_mode[slot];
        if (op == 1)
            memcpy(written.data(), ram_para.data() + para::mode_copy_start,
                   UserModeSlot::kImageCopy);
        written.bytes[0] = kModeSaved;
        written.bytes[1] = kModeSaved;
        if (!Utils::writeFileAtomic(slotFile(slot), written.bytes, UserModeSlot::kFileSize))
            return 0;
        user_mode[slot] = written;
        Utils::system_mutex("sync");
        board::msleep(100);
    }
    if (op == 0) {
        QString command = "cp  /data/configs/omenu.json " + osdCopyFile(slot);
        writeLogMsg(LOG_MSG_CONSTRUCT, command);
        if (debugOn())
            printf("\n %s \n", command.toLatin1().constData());
        if (ram_para.u16At(para::osd_enable) == 1)
            Utils::system_mutex(command);
    }
    Utils::system_mutex("sync");
    board::usleep(100);
    return 1;
}

int KrxRamPara::mode_file_deal(int slot, int op) {
    if (slot < 0 || slot >= kUserModes)
        return 0;
    UserModeSlot& mode = user_mode[slot];
    if (op == 1) {
        Utils::system_mutex(QString::fromStdString("rm  -rf  " + slotFile(slot)));
        board::usleep(100);
        u8* osd = mode.data() + UserModeSlot::kOsdEnable;
        if (osd[0] == 1 && osd[1] == 0) {
            Utils::system_mutex("rm  -rf  " + osdCopyFile(slot));
            osd[0] = 0;
            osd[1] = 0;
        }
        board::usleep(100);
        Utils::system_mutex("sync");
        board::usleep(100);
    }
    std::lock_guard<std::mutex> lock(Utils::_file_deal_mutex);
    u8 content[UserModeSlot::kFileSize];
    size_t got = 0;
    FILE* in = fopen(board::path(slotFile(slot)).c_str(), "rb");
    if (in) {
        got = fread(content, 1, sizeof content, in);
        fclose(in);
    }
    // A short file is what a torn write leaves behind: the slot counts as empty.
    if (got < sizeof content) {
        mode.bytes[0] = kModeEmpty;
        mode.bytes[1] = kModeEmpty;
        return 0;
    }
    memcpy(mode.bytes, content, sizeof content);
    Utils::system_mutex("sync");
    board::msleep(100);
    return 1;
}

int KrxRamPara::KrxUserModeSaved(int slot) {
    if (slot < 0 || slot >= kUserModes)
        return 0;
    return user_mode[slot].saved() ? 1 : 0;
}

int KrxRamPara::KrxUserModeIndex(u8 index, u8 direction) {
    const int start = index;
    if (start > kUserModes)
        return 256;
    auto saved = [this](int slot) { return slot < kUserModes && user_mode[slot].saved(); };
    // The lowest saved slot among 0..last.
    auto lowestUpTo = [&](int last) {
        for (int slot = 0; slot <= last; ++slot) {
            if (saved(slot))
                return slot;
        }
        return 256;
    };
    switch (direction) {
        case 2:
            if (saved(start))
                return start;
            [[fallthrough]];
        case 1:
            for (int slot = start + 1; slot < kUserModes; ++slot) {
                if (saved(slot))
                    return slot;
            }
            return lowestUpTo(start);
        case 0:
            for (int slot = start - 1; slot >= 0; --slot) {
                if (saved(slot))
                    return slot;
            }
            for (int slot = kUserModes - 1; slot >= start; --slot) {
                if (saved(slot))
                    return slot;
            }
            return 256;
        default:
            return 256;
    }
}

// ---- crop table and window sources

template <class Edit>
void KrxRamPara::apply(Edit edit) {
    ParaLock lock;
    edit();
    ParaApply::para_update = 1;
}

void KrxRamPara::KrxCropSourceInit() {
    memset(g_cut_source_state, 0, sizeof g_cut_source_state);
    for (int i = 0; i < para::crop_count; ++i) {
        u16 id = ram_para.u16At(para::crop_at(i));
        // Entries written by the PC or loaded from files may name ports or numbers the
        // bitmap cannot hold: such entries get no number.
        if (cropValid(id) && numberablePort(cropPort(id)) && cropNumber(id) <= kCropNumbers)
            setCropBit(cropPort(id), cropNumber(id));
    }
}

int KrxRamPara::KrxGetCropID(int port, int n) {
    if (!numberablePort(port) || n < 1)
        return 0;
    int seen = 0;
    for (int number = 1; number <= kCropNumbers; ++number) {
        if (cropBit(port, number) && ++seen == n)
            return number;
    }
    return 0;
}

int KrxRamPara::KrxAddCropID(int port) {
    if (!numberablePort(port))
        return 0;
    for (int number = 1; number <= kCropNumbers; ++number) {
        if (!cropBit(port, number))
            return number;
    }
    return 0;
}

int KrxRamPara::KrxGetSourceNum(int port, int count) {
    int found = 0;
    for (int i = 0; i < count && i < para::crop_count; ++i) {
        u16 id = ram_para.u16At(para::crop_at(i));
        if (cropValid(id) && cropPort(id) == port)
            ++found;
    }
    return found;
}

int KrxRamPara::findCropEntry(int port, int number) const {
    if (number < 1)
        return para::crop_count;
    for (int i = 0; i < para::crop_count; ++i) {
        u16 id = ram_para.u16At(para::crop_at(i));
        if (cropValid(id) && cropPort(id) == port && cropNumber(id) == number)
            return i;
    }
    return para::crop_count;
}

void KrxRamPara::KrxGetCropPara(int port, int n, CROP_PARA* out, int* index) {
    int i = findCropEntry(port, KrxGetCropID(port, n));
    if (index)
        *index = i;
    if (i == para::crop_count || !out)
        return;
    const size_t at = para::crop_at(i);
    *out = CROP_PARA{ram_para.u16At(at), ram_para.u16At(at + 2), ram_para.u16At(at + 4),
                     ram_para.u16At(at + 6), ram_para.u16At(at + 8)};
}

int KrxRamPara::KrxSetCropPara(u8 port, u8 n, CROP_PARA* in) {
    int i = findCropEntry(port, KrxGetCropID(port, n));
    if (i == para::crop_count || !in)
        return 255;
    const size_t at = para::crop_at(i);
    apply([&] {
        ram_para.setU16(at + 2, static_cast<u16>(in->x));
        ram_para.setU16(at + 4, static_cast<u16>(in->y));
        ram_para.setU16(at + 6, static_cast<u16>(in->w));
        ram_para.setU16(at + 8, static_cast<u16>(in->h));
    });
    return 0;
}

int KrxRamPara::KrxAddNewCrop(int port, CROP_PARA* in) {
    int number = KrxAddCropID(port);
    if (number == 0 || !in)
        return 255;
    int free = 0;
    while (free < para::crop_count && cropValid(ram_para.u16At(para::crop_at(free))))
        ++free;
    if (free == para::crop_count)
        return 255;
    const size_t at = para::crop_at(free);
    apply([&] {
        ram_para.setU16(at, cropId(port, number));
        ram_para.setU16(at + 2, static_cast<u16>(in->x));
        ram_para.setU16(at + 4, static_cast<u16>(in->y));
        ram_para.setU16(at + 6, static_cast<u16>(in->w));
        ram_para.setU16(at + 8, static_cast<u16>(in->h));
    });
    // Numbered at once, so that a second add before the caller's rebuild cannot reuse it.
    KrxCropSourceInit();
    return 0;
}

int KrxRamPara::KrxDeleteCrop(u8 port, u8 n) {
    int i = findCropEntry(port, KrxGetCropID(port, n));
    if (i == para::crop_count)
        return 255;
    apply([&] { ram_para.setU16(para::crop_at(i), 0); });
    KrxCropSourceInit();
    return 0;
}

int KrxRamPara::KrxGetImageSource(const u8* buf, u8 window, short* is_crop, u8* crop_index,
                                  u8 from_mode) {
    if (is_crop)
        *is_crop = 0;
    if (!buf || window >= para::window_count || from_mode > 1)
        return 0;
    // A user-mode slot's data starts at image offset 896.
    const size_t base = from_mode == 1 ? para::mode_copy_start : 0;
    auto word = [buf, base](size_t offset) { return get_u16(buf + offset - base); };
    u16 source = word(para::window_at(window) + para::win_source);
    if (!(source & 0x8000))
        return source & 0xFF;
    if (is_crop)
        *is_crop = 1;
    const u8 index = static_cast<u8>(source);
    if (crop_index)
        *crop_index = index;
    if (index >= para::crop_count)
        return 0;
    return cropPort(word(para::crop_at(index)));
}

int KrxRamPara::KrxSetImageSource(int n, u8 port, u8 window) {
    if (window >= para::window_count || !numberablePort(port) || n < 0)
        return 255;
    u8 source = port;
    u8 kind = 0;
    if (n >= 1) {
        int i = findCropEntry(port, KrxGetCropID(port, n));
        if (i == para::crop_count)
            return 255;
        source = static_cast<u8>(i);
        kind = para::source_is_crop;
    }
    const size_t at = para::window_at(window);
    apply([&] {
        ram_para[at + para::win_source] = source;
        ram_para[at + para::win_source_kind] = kind;
        // The settings no longer match the recalled mode.
        if (ram_para.sameU16(ram_para_shadow, para::current_user_mode))
            ram_para.setU16(para::current_user_mode, 0);
    });
    return 0;
}

void KrxRamPara::KrxSetImageFreeze() {
    const int w = g_image_current;
    bool frozen = false;
    apply([&] {
        if (w >= para::window_count)
            return;
        const size_t at = para::window_at(w);
        u16 output = ram_para.u16At(at + para::win_output);
        if (ram_para.u16At(at + para::win_enable) & 1) {
            output ^= 0x0002;
            ram_para.setU16(at + para::win_output, output);
        }
        frozen = output & 0x0002;
    });
    if (debugOn())
        printf("\n set freeze : %s \n", frozen ? "freeze " : "normal");
}

void KrxRamPara::KrxSetImageBlack() {
    const int w = g_image_current;
    apply([&] {
        if (w >= para::window_count)
            return;
        const size_t at = para::window_at(w) + para::win_output;
        ram_para.setU16(at, ram_para.u16At(at) ^ 0x0001);
    });
}

int KrxRamPara::KrxSetEDIDPara(int port, short width, short height, short refresh) {
    if (port < 0 || port >= 6)
        return 255;
    const size_t at = para::edid_para_at(port);
    apply([&] {
        ram_para.setU16(at, static_cast<u16>(width));
        ram_para.setU16(at + 2, static_cast<u16>(height));
        ram_para.setU16(at + 4, static_cast<u16>(refresh));
    });
    return 0;
}
