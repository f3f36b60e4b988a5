// libFuzzer target: the installer reader that list, verify and extract share
// (header, block, entry stream, control file) and verify's checks, on any
// bytes. The input is the stub's security entry (8 bytes, so that certificate
// tables are reached too) and then the archive; the stub around it is fixed.
#include <cstdint>
#include <cstring>

#include "format/installer_format.h"
#include "format/little_endian.h"
#include "pack/installer_checks.h"

namespace {

// Headers claiming more than this are skipped: the reader allocates what a
// header claims once the block agrees, as the installer does.
constexpr uint32_t MAX_FUZZ_STREAM = 1u << 22;
constexpr size_t SECURITY_ENTRY = 0x80 + 0x98;

std::vector<uint8_t> Stub() {
    std::vector<uint8_t> stub(ARCHIVE_OFFSET, 0);
    stub[0] = 'M';
    stub[1] = 'Z';
    stub[0x3C] = 0x80;
    stub[0x80] = 'P';
    stub[0x81] = 'E';
    stub[0x84] = 0x4C;   // i386, with a PE32 optional header of 16 data directory entries
    stub[0x85] = 0x01;
    stub[0x94] = 0xE0;
    stub[0x98] = 0x0B;
    stub[0x99] = 0x01;
    stub[0xF4] = 16;
    return stub;
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CodePage codePage;
    static bool opened = !OpenCodePage(DEFAULT_CODE_PAGE, &codePage);
    if (!opened || size < 8) return 0;
    if (size >= 8 + ARCHIVE_HEADER_SIZE && ReadLittleEndian32(data + 8) > MAX_FUZZ_STREAM) return 0;
    Installer installer;
    installer.file = Stub();
    memcpy(&installer.file[SECURITY_ENTRY], data, 8);
    installer.file.insert(installer.file.end(), data + 8, data + size);
    installer.fileRead = true;
    (void)ReadInstallerBytes(&installer);   // the record keeps what it found, for the checks
    std::vector<Check> checks = CheckInstaller(installer, "setup.exe", codePage);
    if (checks.empty() || checks.front().name != "archive") abort();
    return 0;
}
