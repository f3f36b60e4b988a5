// Helpers for the builder's tests: scratch trees, a stand-in stub, and runs
// of the sfxpack program with its output and exit code.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../common/installer_bytes.h"

typedef std::vector<uint8_t> Bytes;

// A fresh empty directory under the system's temporary directory, readable by all.
std::string MakeScratch(const std::string& label);
void RemoveTree(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);
bool PathExists(const std::string& path);
// Every path below root (relative, sorted); directories end with '/'.
std::vector<std::string> ListTree(const std::string& root);
// Empty when the trees hold the same paths and the same file contents, else the first difference.
std::string CompareTrees(const std::string& expected, const std::string& actual);

// STUB_SIZE bytes that pass for a 32-bit PE image, one that osslsigncode can
// sign; the host tests never run it. Its PE header, and the fields after it:
Bytes FakeStub();
constexpr size_t FAKE_STUB_PE_HEADER = 0x80;
constexpr size_t FAKE_STUB_CHECKSUM = FAKE_STUB_PE_HEADER + PE_CHECKSUM_AFTER_HEADER;
constexpr size_t FAKE_STUB_SECURITY_ENTRY = FAKE_STUB_PE_HEADER + PE_SECURITY_ENTRY_AFTER_HEADER;

// The PE checksum of the file, computed here the plain way, word by word with
// the carry folded in each time, the field at checksumOffset taken as zero.
uint32_t PeChecksumOf(const Bytes& file, size_t checksumOffset);

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
    long peakKilobytes = 0;   // the program's largest resident size
};

// The sfxpack under test: the Linux one, or with SFXPACK_UNDER_WINE set (the
// pack-exe tests) sfxpack.exe, which RunProgram runs under 64-bit Wine.
std::string PackProgram();
bool PackRunsUnderWine();
// The system's words for a missing file and a refused access: strerror's, or
// under Wine FormatMessage's.
// An absolute host path as the program itself names it (a Windows path under Wine).
std::string PathAsTheProgramSeesIt(const std::string& hostPath);
std::string MissingFileText();
std::string AccessDeniedText();

// Runs sfxpack (or another copy of it) with the arguments; as an unprivileged
// user when asUser is set; sent the signal, when one is given, as soon as
// something appears in the directory signalOnceIn. A program whose name ends
// in .exe runs under 64-bit Wine.
ProgramRun RunPack(const std::vector<std::string>& arguments, uid_t asUser = 0);
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments, uid_t asUser = 0,
                      int signalNumber = 0, const std::string& signalOnceIn = "");
// Whether a test can make a file unreadable for the program (root reads all).
uid_t UnprivilegedUser();
