#pragma once
// Checks that a mesh file held in memory is complete and well formed before a
// library decodes it. tinyobjloader and assimp accept broken files silently
// (missing numbers read as 0, truncated binary PLY padded, OFF indices clamped,
// huge declared counts allocated), so every file passes one of these checks
// first. The checks only walk the data; they allocate nothing per element.

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace meshio {

// Element counts a file declares in its header.
struct DeclaredCounts {
    std::size_t vertices = 0;
    std::size_t faces = 0;
};

// True when data holds no control character other than tab, LF and CR.
bool is_text(std::string_view data);

// Parses the whole token as a finite number that fits a float. Accepts an
// optional sign and exponent, never "nan" or "inf"; independent of the locale.
bool parse_float(std::string_view token, float& value);

// Splits text into lines (ended by LF, CR or both) and each line into tokens
// separated by spaces or tabs.
class TextLines {
public:
    // Lines whose first token starts with `comment` are skipped; pass '\0' to
    // keep every line.
    explicit TextLines(std::string_view text, char comment = '#') : _rest(text), _comment(comment) {}

    // Tokens of the next line that has any and is not a comment; false at the
    // end of the text.
    bool next(std::vector<std::string_view>& tokens);

private:
    std::string_view _rest;
    char _comment;
};

// The text checks (OBJ, OFF, ASCII PLY) also require is_text.

// OBJ: every "v" line has at least three numbers, every "f" line at least three
// corners of the form v, v/t, v//n or v/t/n with non-zero integers. Index
// ranges are left to the caller, which sees the resolved indices.
bool check_obj(std::string_view text);

// OFF (optional OFF/COFF/NOFF/CNOFF keyword): the declared vertex and face
// lines are all present, vertices have three or more finite numbers, faces
// have at least three corners that are valid vertex indices.
std::optional<DeclaredCounts> check_off(std::string_view text);

// PLY, ASCII or binary: the header is well formed, it declares a "vertex"
// element, and the body holds every declared element row completely. The
// faces are the rows of a "face" element, if any.
std::optional<DeclaredCounts> check_ply(std::string_view data);

}  // namespace meshio
