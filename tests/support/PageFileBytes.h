#pragma once
// Builds page file bytes directly, laid out as the spool conversion writes
// them, so reader tests can start from a known-good file and damage it.

#include <cstdint>
#include <string>
#include <vector>

namespace fbtest {

struct PageFileLayout {
  std::vector<std::vector<uint8_t>> pages;
  std::string docName;  // ANSI bytes, at most 259
  int32_t paperSize = 9;
  int32_t orientation = 1;
};

std::vector<uint8_t> pageFileBytes(const PageFileLayout& layout);

// Little-endian helpers for poking at fixtures.
void putU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value);
uint32_t getU32(const std::vector<uint8_t>& bytes, size_t offset);

}  // namespace fbtest
