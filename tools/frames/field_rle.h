// A field of cells as an RLE pattern, the text Golly and most Life programs
// read: a header line, then runs of dead (b) and live (o) cells, row ends ($)
// and the end (!), in lines of at most RleLineLimit characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

const size_t RleLineLimit = 70;

// cells: rows x columns bytes, row-major, a cell alive where bit 0 is set
// (the grid's bytes). The header is "x = columns, y = rows, rule = rule".
// Every row is placed from the top-left corner, so positions are absolute:
// leading empty rows and columns are written, trailing ones are implied.
std::string FieldRle(const uint8_t* cells, int32_t columns, int32_t rows, const char* rule);
