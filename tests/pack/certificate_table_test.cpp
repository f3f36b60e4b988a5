// The rule for bytes after the stored block, as the installer applies it: only
// the certificate table the stub's PE header names, starting at most 7 bytes
// after the block and running exactly to the end of the file.
#include <gtest/gtest.h>

#include "pack/installer/installer_file.h"
#include "pack/pe/certificate_table.h"
#include "pack_testing.h"

namespace {

// A stored installer of a small stream, as sfxpack writes it.
Bytes UnsignedInstaller() {
    std::string text(".\\\0\x03\0\0\0a.txt\0abc\xFF\xFF\xFF\xFF", 20);
    Bytes stream(text.begin(), text.end());
    PackedArchive archive = PackArchive(stream, *FindCompressionLevel("store"), 1, nullptr, nullptr);
    Bytes installer = FakeStub();
    Bytes header = ArchiveHeaderBytes(archive.header);
    installer.insert(installer.end(), header.begin(), header.end());
    installer.insert(installer.end(), archive.block.begin(), archive.block.end());
    return installer;
}

// The installer with padding and a table of tableSize bytes appended, and the
// security entry naming (offset, size).
Bytes WithTable(size_t padding, size_t tableSize, uint32_t offset, uint32_t size) {
    Bytes installer = UnsignedInstaller();
    installer.resize(installer.size() + padding + tableSize, 0x5A);
    SetUint32At(&installer, FAKE_STUB_SECURITY_ENTRY, offset);
    SetUint32At(&installer, FAKE_STUB_SECURITY_ENTRY + 4, size);
    return installer;
}

std::string Load(const Bytes& installer, ArchiveInfo* info) {
    Bytes stream;
    return UnpackInstallerArchive(installer, info, &stream).text;
}

}   // namespace

TEST(CertificateTable, AcceptedWithUpToSevenBytesOfPadding) {
    const uint32_t archiveEnd = (uint32_t)UnsignedInstaller().size();
    for (uint32_t padding = 0; padding <= 7; ++padding) {
        ArchiveInfo info;
        EXPECT_EQ(Load(WithTable(padding, 24, archiveEnd + padding, 24), &info), "") << padding;
        EXPECT_EQ(info.signature.offset, archiveEnd + padding);
        EXPECT_EQ(info.signature.size, 24u);
        EXPECT_EQ(info.header.storedSize, 20);
    }
    ArchiveInfo info;
    EXPECT_NE(Load(WithTable(8, 24, archiveEnd + 8, 24), &info).find("does not start within 7 bytes"),
              std::string::npos);
    EXPECT_EQ(info.signature.size, 0u);
}

TEST(CertificateTable, AnythingElseAfterTheBlockIsRefused) {
    const uint32_t archiveEnd = (uint32_t)UnsignedInstaller().size();
    struct Case {
        Bytes installer;
        const char* words;
    };
    const Case cases[] = {
        {WithTable(0, 8, 0, 0), "8 bytes follow the stored block, and the PE header names no certificate table"},
        {WithTable(4, 24, archiveEnd + 4, 23), "ends at"},                      // one byte after the table
        {WithTable(4, 24, archiveEnd + 4, 25), "not at the end of the file"},   // a table past the end
        {WithTable(4, 24, archiveEnd - 4, 32), "does not start within"},        // a table over the archive
        {WithTable(0, 24, 0xFFFFFFF0u, 0x20), "does not start within"},
        {WithTable(0, 24, archiveEnd, 0xFFFFFFFFu), "ends at 4294978"},   // summed without wrapping
    };
    for (const Case& c : cases) {
        ArchiveInfo info;
        std::string problem = Load(c.installer, &info);
        EXPECT_NE(problem.find(c.words), std::string::npos) << problem;
        EXPECT_NE(problem.find("bytes follow the stored block"), std::string::npos) << problem;
    }
}

TEST(CertificateTable, TheArchiveIsCheckedBeforeWhatFollowsIt) {
    Bytes installer = WithTable(0, 24, 0, 0);
    installer[STUB_SIZE + 12] ^= 1;   // the stream's first byte: the CRC-32 no longer matches
    ArchiveInfo info;
    EXPECT_NE(Load(installer, &info).find("CRC-32"), std::string::npos);
    Bytes negative = UnsignedInstaller();
    SetUint32At(&negative, STUB_SIZE + 4, 0xFFFFFFF0u);   // a stored size below zero names no end
    EXPECT_NE(Load(negative, &info).find("stored size would be -16"), std::string::npos);
}

TEST(CertificateTable, EntryNamingNothingWhenNothingFollows) {
    // Only bytes after the block are checked against the entry; the builder warns about this one.
    ArchiveInfo info;
    EXPECT_EQ(Load(WithTable(0, 0, 20000, 100), &info), "");
    EXPECT_EQ(info.signature.size, 0u);
    EXPECT_EQ(NamedCertificateTable(WithTable(0, 0, 20000, 100)).offset, 20000u);
}

TEST(CertificateTable, OnlyAPe32StubWithASecurityEntryCanBeSigned) {
    EXPECT_EQ(SignableStubProblem(FakeStub()).text, "");
    Bytes pe32Plus = FakeStub();
    pe32Plus[0x98] = 0x0B;
    pe32Plus[0x99] = 0x02;
    EXPECT_NE(SignableStubProblem(pe32Plus).text.find("PE32"), std::string::npos);
    Bytes fewEntries = FakeStub();
    fewEntries[0xF4] = 4;
    EXPECT_NE(SignableStubProblem(fewEntries).text.find("no security entry"), std::string::npos);
    Bytes farHeader = FakeStub();
    SetUint32At(&farHeader, PE_HEADER_POINTER,
                STUB_SIZE - PE_SECURITY_ENTRY_AFTER_HEADER);   // the entry would lie past the stub
    EXPECT_NE(SignableStubProblem(farHeader).text.find("no room"), std::string::npos);
    EXPECT_EQ(NamedCertificateTable(farHeader).size, 0u);
    Bytes signedStub = FakeStub();
    SetUint32At(&signedStub, FAKE_STUB_SECURITY_ENTRY + 4, 100);
    EXPECT_NE(SignableStubProblem(signedStub).text.find("signed itself"), std::string::npos);
}
