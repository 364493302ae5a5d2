#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace quillon {

// The build's attribute record: 68 bytes, little-endian, as embedded under the resource name
// "RESOURCEATTRIBUTES_". Kept by the main window as m_Attributes and read once at start-up.
struct ResourceAttributes {
    static constexpr size_t kSize = 68;
    static constexpr size_t kVersionFieldSize = 10;

    uint32_t LoaderCount = 0;
    uint32_t CodeCount = 0;
    uint32_t BootLoaderCount = 0;
    uint32_t BootCodeCount = 0;
    uint32_t BootTwoLoaderCount = 0;
    uint32_t BootTwoCodeCount = 0;
    uint32_t BootMajor = 0;
    uint32_t BootMinor = 0;
    uint32_t BootTwoMajor = 0;
    uint32_t BootTwoMinor = 0;
    std::array<char, kVersionFieldSize> TesseraVersion{};
    std::array<char, kVersionFieldSize> VernierVersion{};
    uint8_t RadioModel = 0;        // 0 = 6700 (portable), 1 = 6900 (mobile)
    uint8_t MobileTypeSelect = 0;  // 6900 only: 0 makes the build's radio type code 1
    uint8_t Series = 0;
    uint8_t UpgradeType = 0;   // 0 Application, 1 Boot, 2 DSP, 3 Application/Boot
    uint8_t Processor416 = 0;  // 1 = Series 1 radios with 416 processors
    std::array<char, 3> Reserved{'0', '0', '0'};

    static constexpr uint8_t kUpgradeApplication = 0;
    static constexpr uint8_t kUpgradeBoot = 1;
    static constexpr uint8_t kUpgradeDsp = 2;
    static constexpr uint8_t kUpgradeApplicationBoot = 3;

    // A version field as text: up to its first zero byte (or all ten bytes without one).
    static std::string FieldText(const std::array<char, kVersionFieldSize>& field) {
        size_t n = 0;
        while (n < field.size() && field[n] != '\0') {
            ++n;
        }
        return std::string(field.data(), n);
    }
    // Stores `text` in a version field, cut to nine characters and zero-filled.
    static void SetField(std::array<char, kVersionFieldSize>& field, const std::string& text) {
        field.fill('\0');
        std::memcpy(field.data(), text.data(), std::min(text.size(), field.size() - 1));
    }

    std::array<uint8_t, kSize> Encode() const {
        std::array<uint8_t, kSize> out{};
        const uint32_t words[10] = {
            LoaderCount,      CodeCount, BootLoaderCount, BootCodeCount, BootTwoLoaderCount,
            BootTwoCodeCount, BootMajor, BootMinor,       BootTwoMajor,  BootTwoMinor};
        for (size_t w = 0; w < 10; ++w) {
            for (size_t b = 0; b < 4; ++b) {
                out[w * 4 + b] = static_cast<uint8_t>(words[w] >> (8 * b));
            }
        }
        std::memcpy(out.data() + 40, TesseraVersion.data(), kVersionFieldSize);
        std::memcpy(out.data() + 50, VernierVersion.data(), kVersionFieldSize);
        out[60] = RadioModel;
        out[61] = MobileTypeSelect;
        out[62] = Series;
        out[63] = UpgradeType;
        out[64] = Processor416;
        std::memcpy(out.data() + 65, Reserved.data(), Reserved.size());
        return out;
    }

    static ResourceAttributes Decode(const uint8_t* in) {
        ResourceAttributes a;
        uint32_t* words[10] = {&a.LoaderCount,   &a.CodeCount,          &a.BootLoaderCount,
                               &a.BootCodeCount, &a.BootTwoLoaderCount, &a.BootTwoCodeCount,
                               &a.BootMajor,     &a.BootMinor,          &a.BootTwoMajor,
                               &a.BootTwoMinor};
        for (size_t w = 0; w < 10; ++w) {
            uint32_t v = 0;
            for (size_t b = 0; b < 4; ++b) {
                v |= static_cast<uint32_t>(in[w * 4 + b]) << (8 * b);
            }
            *words[w] = v;
        }
        std::memcpy(a.TesseraVersion.data(), in + 40, kVersionFieldSize);
        std::memcpy(a.VernierVersion.data(), in + 50, kVersionFieldSize);
        a.RadioModel = in[60];
        a.MobileTypeSelect = in[61];
        a.Series = in[62];
        a.UpgradeType = in[63];
        a.Processor416 = in[64];
        std::memcpy(a.Reserved.data(), in + 65, a.Reserved.size());
        return a;
    }
};

}  // namespace quillon
