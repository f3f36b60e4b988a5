// sfxpack create as a library: checks every input before the slow work, walks
// and packs the tree, checks the archive by decoding it again, and only then
// commits the installer. The command line parses the request, shows what this
// reports and turns the result into an exit code.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/levels.h"
#include "pack/installer/control_file.h"
#include "pack/names/code_page.h"
#include "pack/pe/certificate_table.h"
#include "pack/signing.h"
#include "problem/problem.h"

// What to pack, and how, as the user gave it.
struct CreateRequest {
    std::string directory;   // DIR
    std::string output;      // OUT.exe
    std::string target;      // as given; empty when not given
    bool targetGiven = false;
    const CompressionLevel* level = &DefaultCompressionLevel();
    uint32_t threads = 0;   // 0: one per processor
    std::string stub;       // empty: the first of defaultStubs that exists
    std::vector<std::string> defaultStubs;
    ControlValues control;
    bool followLinks = false;
    SigningOptions signing;
};

// Where create reports while it works; a null function is not called.
struct CreateSink {
    // A mistake that still makes a working installer, but maybe not the one meant.
    void (*warn)(void* context, const std::string& message) = nullptr;
    // A slow phase starts ("reading", "compressing"), or with null the one under way ends.
    void (*phase)(void* context, const char* name) = nullptr;
    // How far the phase under way is, in bytes.
    void (*progress)(void* context, uint64_t done, uint64_t total) = nullptr;
    void* context = nullptr;
};

// What the installer holds, for the summary.
struct CreateResult {
    size_t files = 0;
    size_t directories = 0;
    uint64_t fileBytes = 0;
    uint64_t streamSize = 0;
    uint64_t archiveSize = 0;   // its header and stored block
    bool compressed = false;
    CertificateTable signature;   // size 0: unsigned
};

// Makes the installer, with the code page of the names open. None on success
// (the result is then filled), else why; then no installer is written, and an
// existing file of its name is left as it was.
Problem CreateInstaller(const CreateRequest& request, const CodePage& codePage, const CreateSink& sink,
                        CreateResult* result);
