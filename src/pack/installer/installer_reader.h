// An installer read back as the installer reads itself, for list, verify and
// extract alike: the archive after the stub, the entry stream, and the
// control file that the installer would find in its target directory.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "pack/installer/control_file.h"
#include "pack/installer/entry_stream.h"
#include "pack/installer/installer_file.h"
#include "problem/problem.h"

struct Installer {
    std::vector<uint8_t> file;
    bool fileRead = false;   // false: archiveProblem says why the file could not be read
    ArchiveInfo info;
    Problem archiveProblem;   // why the installer would refuse its archive
    std::vector<uint8_t> stream;
    ParsedStream parsed;     // as far as the installer would extract
    Problem streamProblem;   // why it would stop extracting
    int controlEntry = -1;   // the entry the installer reads as its control file; -1: none
    ControlValues control;   // its values in the code page, as the installer reads them
};

// Reads installer->file (already filled) as the installer would. None on
// success, else the first problem.
Problem ReadInstallerBytes(Installer* installer);
// Reads installer->stream (already filled) as the installer would: its
// entries and its control file. None on success, else the problem.
Problem ReadInstallerStream(Installer* installer);
// The same for a file; a file that cannot be read is an archive problem.
Problem ReadInstallerFile(const std::string& path, Installer* installer);
