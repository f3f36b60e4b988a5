// The warnings about an installer that works but may not do what its maker
// meant: made here alone, from the installer as it reads itself, so that
// create (from the entry stream it is about to pack) and verify (from the
// file) give the same ones.
#pragma once
#include <string>
#include <vector>

#include "pack/installer/installer_reader.h"
#include "pack/names/code_page.h"

// The warnings, in order, for an installer (its entry stream read) named
// fileName, which decides whether Windows runs it with administrator rights.
// given: the control values as create's options gave them (a relative
// command without the target in front), which the messages quote; null for
// the values as the installer holds them.
std::vector<std::string> InstallerWarnings(const Installer& installer, const std::string& fileName,
                                           const CodePage& codePage, const ControlValues* given = nullptr);
