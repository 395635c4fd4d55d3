#pragma once
// What a library would silently accept in a broken mesh file, checked in
// memory before it decodes the file. Only those faults are checked here:
// a malformed number where assimp or tinyobjloader refuses the file itself
// is left to them, and a decoded mesh is checked again for index range and
// finite coordinates (TriMeshIO), so neither is repeated. The checks only
// walk the data; they allocate nothing per element.

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

// True when data holds no control character other than tab, LF and CR (the
// ASC reader's check; the library formats need no such check, since a
// control character never forms a number).
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

// OBJ, for tinyobjloader, which reads a missing or unreadable coordinate as 0
// ("v 1 2", "v 1 x 3", "v 1 nan 3", "v 0 0 1x"), a corner "2x" as 2, and
// drops a face of fewer than three corners: every "v" line has at least three
// numbers, every "f" line at least three corners of the form v, v/t, v//n or
// v/t/n with non-zero integers. Index ranges are left to the caller, which
// sees the resolved indices.
bool check_obj(std::string_view text);

// OFF (optional OFF/COFF/NOFF/CNOFF keyword), for assimp, which allocates
// whatever counts the header declares, clamps an index past the last vertex,
// and reads a negative, fractional, unreadable or missing index as some other
// vertex: the declared vertex and face lines are all present, and each face
// line holds its declared number of corners, all integers naming a declared
// vertex. Vertex lines are assimp's to refuse.
std::optional<DeclaredCounts> check_off(std::string_view text);

// PLY, ASCII or binary, for assimp, which allocates whatever counts the header
// declares, pads a truncated body (binary or ASCII) with zeros and, in ASCII,
// reads a short row, an unreadable value ("x" -> 0, "1.5" -> 1) or a list of
// the wrong length without complaint: the header is well formed, it declares a
// "vertex" element, and the body holds every declared row completely, each
// ASCII row with exactly its values, each a number of its type. The faces are
// the rows of a "face" element, if any.
std::optional<DeclaredCounts> check_ply(std::string_view data);

}  // namespace meshio
