// What the archive reader and writer share: the record layouts of a ZIP file, the traditional
// PKWARE cipher, time conversions and the rule for a safe member name.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <zlib.h>

namespace zip::format {

// Record signatures.
constexpr uint32_t kLocalHeaderSig = 0x04034b50;
constexpr uint32_t kCentralHeaderSig = 0x02014b50;
constexpr uint32_t kEndRecordSig = 0x06054b50;
constexpr uint32_t kZip64LocatorSig = 0x07064b50;
constexpr uint32_t kDataDescriptorSig = 0x08074b50;

// Fixed sizes of the records, without their variable parts.
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kZip64LocatorSize = 20;

// General purpose flags.
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint16_t kFlagMaskedHeaders = 0x2000;

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;

// The extended timestamp extra field ("UT"): flags, then the modification time in seconds
// since 1970 (UTC). Info-ZIP writes it; it makes the time independent of time zones.
constexpr uint16_t kExtraTimestamp = 0x5455;

// The traditional encryption header before each encrypted member's data.
constexpr size_t kCryptHeaderSize = 12;

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void Put16(std::string& out, uint16_t v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>(v >> 8));
}
inline void Put32(std::string& out, uint32_t v) {
    Put16(out, static_cast<uint16_t>(v & 0xffff));
    Put16(out, static_cast<uint16_t>(v >> 16));
}

// The traditional PKWARE stream cipher: three keys stirred by every plain byte.
class Cipher {
public:
    explicit Cipher(std::string_view password) : table_(get_crc_table()) {
        for (char c : password) Update(static_cast<uint8_t>(c));
    }
    // The keys and the table live in locals in these loops: stores through a byte pointer
    // could alias the members and would force a reload on every byte.
    void Encrypt(uint8_t* data, size_t count) {
        const z_crc_t* table = table_;
        uint32_t k0 = key0_, k1 = key1_, k2 = key2_;
        for (size_t i = 0; i < count; ++i) {
            uint8_t plain = data[i];
            data[i] = plain ^ StreamByte(k2);
            Stir(table, k0, k1, k2, plain);
        }
        key0_ = k0, key1_ = k1, key2_ = k2;
    }
    void Decrypt(uint8_t* data, size_t count) {
        const z_crc_t* table = table_;
        uint32_t k0 = key0_, k1 = key1_, k2 = key2_;
        for (size_t i = 0; i < count; ++i) {
            uint8_t plain = data[i] ^ StreamByte(k2);
            data[i] = plain;
            Stir(table, k0, k1, k2, plain);
        }
        key0_ = k0, key1_ = k1, key2_ = k2;
    }

private:
    static uint8_t StreamByte(uint32_t k2) {
        uint32_t t = (k2 | 2) & 0xffff;
        return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
    }
    static uint32_t Crc(const z_crc_t* table, uint32_t crc, uint8_t b) {
        return static_cast<uint32_t>(table[(crc ^ b) & 0xff]) ^ (crc >> 8);
    }
    static void Stir(const z_crc_t* table, uint32_t& k0, uint32_t& k1, uint32_t& k2, uint8_t plain) {
        k0 = Crc(table, k0, plain);
        k1 = (k1 + (k0 & 0xff)) * 134775813u + 1;
        k2 = Crc(table, k2, static_cast<uint8_t>(k1 >> 24));
    }
    void Update(uint8_t plain) { Stir(table_, key0_, key1_, key2_, plain); }

    const z_crc_t* table_;
    uint32_t key0_ = 0x12345678, key1_ = 0x23456789, key2_ = 0x34567890;
};

// Whether the last byte of a decrypted encryption header proves the password: it repeats the
// CRC's high byte, or, when a data descriptor follows the data (the CRC was not known before
// the data was written), the high byte of the local header's time. Some writers put the
// CRC's byte there even then; the CRC check of the data still guards the password.
inline bool CheckByteMatches(uint8_t check, uint32_t crc, bool descriptor, uint16_t localDosTime) {
    return check == static_cast<uint8_t>(crc >> 24) || (descriptor && check == static_cast<uint8_t>(localDosTime >> 8));
}

// A file time (UTC) as the DOS date and time of the local clock; times before 1980 become
// 1 January 1980.
void FileTimeToDos(const FILETIME& utc, uint16_t& date, uint16_t& time);
// A DOS date and time of the local clock as a file time (UTC); false for an invalid date.
bool DosToFileTime(uint16_t date, uint16_t time, FILETIME& utc);
// Seconds since 1970 (UTC) and back; false when the time does not fit the timestamp field.
bool FileTimeToUnix(const FILETIME& utc, uint32_t& seconds);
FILETIME UnixToFileTime(uint32_t seconds);

// A member name that names a file directly in the target folder: not empty, no folder
// separators, no drive, not "." or "..", no character Windows refuses in a file name, no
// trailing dot or blank (Windows would drop them) and no device name such as CON or NUL.
bool IsSafeMemberName(std::wstring_view name);

// Names as stored: plain ASCII as is, anything else in UTF-8 with the UTF-8 flag.
std::string EncodeMemberName(const std::wstring& name, uint16_t& flags);
// Names as read: UTF-8 when flagged, the OEM code page otherwise; false when the bytes
// are not a valid name in that encoding.
bool DecodeMemberName(const uint8_t* bytes, size_t count, uint16_t flags, std::wstring& name);

}  // namespace zip::format
