// The throwaway prefixes of try. A template is made once for each version of
// Wine, in the user's cache folder: a new prefix that presents itself as
// Windows 10, traces what try reads, and has no way out to the host through
// a drive (no Z:) or a user folder linked to the home folder. Each run gets a
// copy of it.
#pragma once
#include <set>
#include <string>

#include "problem/problem.h"

// $XDG_CACHE_HOME/sfxpack, else ~/.cache/sfxpack, made when missing.
Problem FindCacheFolder(std::string* folder);

// The template for this version of Wine in the cache folder, made when it is
// missing (which note says, as it takes a while). When Wine itself fails,
// *wineProblem is set.
Problem FindOrMakeTemplate(const std::string& cache, const std::string& wineVersion,
                           void (*note)(const std::string& message), std::string* templatePath, bool* wineProblem);

// Copies the template into the new folder prefix. Files of 64 KiB and more
// are Wine's own program images, which no installer should change: the
// template keeps them read-only, and the copy links to them (copying them
// would take seconds); *linked gets their paths (below the prefix, '/'
// between parts). Where links cannot be made, they are copied.
Problem CopyTemplate(const std::string& templatePath, const std::string& prefix, std::set<std::string>* linked);

// The prefix's user folder, drive_c/users/NAME; empty when it has none.
std::string PrefixUserFolder(const std::string& prefix);

// A new folder named prefix and a few characters.
Problem CreateUniqueFolder(const std::string& prefix, std::string* folder);
