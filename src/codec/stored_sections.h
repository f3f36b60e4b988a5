// The best level's test for incompressible input: a section of the fast
// level's that the fast level does not shrink is not worth the best level's
// search, which would cost it several times as long to find as little.
#pragma once

#include <cstdint>
#include <vector>

// Per FAST_SECTION_BYTES of the input: 1 where the fast level's parse of the
// section takes at least as many bits as the section's bytes. Only sections
// whose bytes take nearly all 8 bits by their counts alone are parsed (the
// others shrink); up to threads threads parse them. The same for any number.
std::vector<uint8_t> SectionsThatDoNotShrink(const uint8_t* data, uint32_t size, uint32_t threads);
