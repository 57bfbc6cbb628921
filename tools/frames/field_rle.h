// A field of cells as an RLE pattern, the text Golly and most Life programs
// read: a header line, then runs of dead (b) and live (o) cells, or of the
// states of a rule of more (. dead, A..X, pA.. and on to yO), row ends ($)
// and the end (!), in lines of at most RleLineLimit characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/rule.h"

const size_t RleLineLimit = 70;

// cells: rows x columns bytes, row-major, the grid's bytes: a cell alive
// where bit 0 is set, dying where CellDying is, in the state its byte of
// decay holds (rows x columns bytes too; only read for rules of more than two
// states), or with decay null the state its byte holds (see StatesInPlane). The header is "x = columns,
// y = rows, rule = rule". Every row is placed from the top-left corner, so
// positions are absolute: leading empty rows and columns are written,
// trailing ones are implied. With states of 2 the body is of b and o.
std::string FieldRle(const uint8_t* cells, int32_t columns, int32_t rows, const char* rule,
                     const uint8_t* decay = nullptr, int32_t states = 2);
// The header's rule for a dump of a columns x rows field that Golly's bgolly
// continues as it stands: the rule as bgolly reads it, on a torus of the
// field's size ("B36/S23:T1024,768", "/2/3:T64,48"); a hexagonal MAP rule of
// two states as Generations of two ("MAP...AA/2:T64,48"), for bgolly -a
// Generations, which reads its table as tumbra runs it. A bounded plane
// (topology 'P') is written as such.
std::string FieldRleRule(const CellRule& rule, int32_t columns, int32_t rows, char topology = 'T');
