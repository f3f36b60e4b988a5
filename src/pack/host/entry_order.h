// The order of the entries in the stream, chosen for the compressor: the
// whole stream is one window, so alike files should lie close together.
#pragma once
#include <vector>

#include "pack/installer/entry_stream.h"

// Every directory first, in the walk's order (each after the one that holds
// it, as the installer needs), then the files by directory, by extension
// within it, then by name; all byte-wise, so the same tree gives the same order.
void OrderForCompression(std::vector<SourceEntry>* entries);
