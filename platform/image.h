// Further services of platform/image.cpp beyond platform.h: the resource walk over any mapped
// image, and replacing the image that counts as the program's own (tests map the built installer).
#pragma once
#include <cstdint>

bool FindResourceInImage(const unsigned char* base, uint16_t id, uint16_t type, uint32_t* dataRva,
                         uint32_t* size);
// A null base returns to the running module.
void SetOwnImage(const unsigned char* base);
