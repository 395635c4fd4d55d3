#include "surface/MeshFileCheck.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>

namespace meshio {

namespace {

bool is_separator(char c) { return c == ' ' || c == '\t' || c == '\r'; }

void split(std::string_view line, std::vector<std::string_view>& tokens)
{
    tokens.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && is_separator(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !is_separator(line[i]))
            ++i;
        if (i > start)
            tokens.push_back(line.substr(start, i - start));
    }
}

// Parses the whole token with from_chars, which takes '-' but not '+'.
template <typename T>
bool parse_whole(std::string_view token, T& value)
{
    if (!token.empty() && token.front() == '+') {
        token.remove_prefix(1);
        if (!token.empty() && token.front() == '-')
            return false;
    }
    const char* end = token.data() + token.size();
    const auto [stop, error] = std::from_chars(token.data(), end, value);
    return error == std::errc() && stop == end;
}

bool parse_finite(std::string_view token, double& value)
{
    return parse_whole(token, value) && std::isfinite(value);
}

bool parse_nonzero_int(std::string_view token)
{
    int value = 0;
    return parse_whole(token, value) && value != 0;
}

// One corner of an OBJ face: v, v/t, v//n or v/t/n.
bool is_obj_corner(std::string_view token)
{
    std::array<std::string_view, 3> parts;
    std::size_t count = 0;
    for (;;) {
        if (count == parts.size())
            return false;
        const std::size_t slash = token.find('/');
        parts[count++] = token.substr(0, slash);
        if (slash == std::string_view::npos)
            break;
        token.remove_prefix(slash + 1);
    }
    if (count == 3 && parts[1].empty())
        return parse_nonzero_int(parts[0]) && parse_nonzero_int(parts[2]);
    return std::all_of(parts.begin(), parts.begin() + count, parse_nonzero_int);
}

bool all_numbers(std::span<const std::string_view> tokens)
{
    float value = 0.0f;
    return std::all_of(tokens.begin(), tokens.end(), [&](std::string_view t) { return parse_float(t, value); });
}

// ---- PLY -----------------------------------------------------------------

struct PlyType {
    std::string_view name;
    std::size_t size;
    bool is_float;
    bool is_signed;
};

constexpr std::array<PlyType, 16> kPlyTypes{{
    {"char", 1, false, true},    {"int8", 1, false, true},     {"uchar", 1, false, false},
    {"uint8", 1, false, false},  {"short", 2, false, true},    {"int16", 2, false, true},
    {"ushort", 2, false, false}, {"uint16", 2, false, false},  {"int", 4, false, true},
    {"int32", 4, false, true},   {"uint", 4, false, false},    {"uint32", 4, false, false},
    {"float", 4, true, true},    {"float32", 4, true, true},   {"double", 8, true, true},
    {"float64", 8, true, true},
}};

const PlyType* find_ply_type(std::string_view name)
{
    for (const PlyType& t : kPlyTypes)
        if (t.name == name)
            return &t;
    return nullptr;
}

struct PlyProperty {
    const PlyType* type = nullptr;        // the value, or the list items
    const PlyType* count_type = nullptr;  // the list length; null for a scalar
};

struct PlyElement {
    std::string_view name;
    std::size_t count = 0;
    std::vector<PlyProperty> properties;
};

enum class PlyFormat { Ascii, LittleEndian, BigEndian };

struct PlyHeader {
    PlyFormat format = PlyFormat::Ascii;
    std::vector<PlyElement> elements;
    std::string_view body;
};

bool parse_ply_property(std::span<const std::string_view> args, PlyElement& element)
{
    PlyProperty property;
    if (args.size() == 4 && args[0] == "list") {
        property.count_type = find_ply_type(args[1]);
        property.type = find_ply_type(args[2]);
        if (!property.count_type || property.count_type->is_float)
            return false;
    } else if (args.size() == 2) {
        property.type = find_ply_type(args[0]);
    }
    if (!property.type)
        return false;
    element.properties.push_back(property);
    return true;
}

bool parse_ply_line(std::span<const std::string_view> tokens, bool& have_format, PlyHeader& header)
{
    const std::string_view key = tokens.front();
    const auto args = tokens.subspan(1);
    if (key == "comment" || key == "obj_info")
        return true;
    if (key == "format") {
        if (have_format || args.size() != 2 || args[1] != "1.0")
            return false;
        have_format = true;
        if (args[0] == "ascii")
            header.format = PlyFormat::Ascii;
        else if (args[0] == "binary_little_endian")
            header.format = PlyFormat::LittleEndian;
        else if (args[0] == "binary_big_endian")
            header.format = PlyFormat::BigEndian;
        else
            return false;
        return true;
    }
    if (key == "element") {
        PlyElement element;
        element.name = args.empty() ? std::string_view() : args[0];
        if (args.size() != 2 || !parse_whole(args[1], element.count))
            return false;
        header.elements.push_back(element);
        return true;
    }
    if (key == "property")
        return !header.elements.empty() && parse_ply_property(args, header.elements.back());
    return false;
}

bool parse_ply_header(std::string_view data, PlyHeader& header)
{
    std::vector<std::string_view> tokens;
    bool have_format = false;
    bool first = true;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t eol = data.find('\n', pos);
        if (eol == std::string_view::npos)
            return false;
        const std::string_view line = data.substr(pos, eol - pos);
        pos = eol + 1;
        split(line, tokens);
        if (first) {
            if (tokens.size() != 1 || tokens[0] != "ply")
                return false;
            first = false;
        } else if (tokens.size() == 1 && tokens[0] == "end_header") {
            header.body = data.substr(pos);
            break;
        } else if (tokens.empty() || !parse_ply_line(tokens, have_format, header)) {
            return false;
        }
    }
    // A row without properties takes no room, so its count could not be
    // checked against the file size.
    const bool rows_have_data = std::all_of(header.elements.begin(), header.elements.end(),
        [](const PlyElement& e) { return e.count == 0 || !e.properties.empty(); });
    return have_format && rows_have_data;
}

bool ascii_value_ok(const PlyType& type, std::string_view token)
{
    double real = 0.0;
    long long integer = 0;
    return type.is_float ? parse_finite(token, real) : parse_whole(token, integer);
}

bool ascii_row_ok(const PlyElement& element, const std::vector<std::string_view>& tokens)
{
    std::size_t t = 0;
    for (const PlyProperty& p : element.properties) {
        std::size_t n = 1;
        if (p.count_type && (t >= tokens.size() || !parse_whole(tokens[t++], n)))
            return false;
        for (std::size_t k = 0; k < n; ++k)
            if (t >= tokens.size() || !ascii_value_ok(*p.type, tokens[t++]))
                return false;
    }
    return t == tokens.size();
}

// assimp reads ASCII rows line by line: it pads a short or missing row with
// zeros, ignores extra values and reads an unreadable one ("x", "1.5" as an
// index) as some number, so every row must hold exactly its values.
bool ascii_body_ok(const PlyHeader& header)
{
    TextLines lines(header.body, '\0');
    std::vector<std::string_view> tokens;
    for (const PlyElement& element : header.elements)
        for (std::size_t row = 0; row < element.count; ++row)
            if (!lines.next(tokens) || !ascii_row_ok(element, tokens))
                return false;
    return true;
}

// Reads a list length stored as `type`; false when it is negative.
bool read_list_count(const char* bytes, const PlyType& type, bool big_endian, std::uint64_t& count)
{
    count = 0;
    for (std::size_t i = 0; i < type.size; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[big_endian ? i : type.size - 1 - i]);
        count = (count << 8) | byte;
    }
    return !(type.is_signed && (count >> (8 * type.size - 1)) != 0);
}

// assimp pads a truncated binary body with zeros and allocates the declared
// counts first, so the rows must fit the bytes there are.
bool binary_body_ok(const PlyHeader& header)
{
    const bool big_endian = header.format == PlyFormat::BigEndian;
    const std::string_view body = header.body;
    std::size_t pos = 0;
    for (const PlyElement& element : header.elements) {
        // Every row holds at least its scalars and list lengths: reject a
        // count the rest of the file cannot hold before walking it.
        std::size_t min_row = 0;
        for (const PlyProperty& p : element.properties)
            min_row += p.count_type ? p.count_type->size : p.type->size;
        if (element.count > 0 && element.count > (body.size() - pos) / min_row)
            return false;
        for (std::size_t row = 0; row < element.count; ++row) {
            for (const PlyProperty& p : element.properties) {
                std::uint64_t n = 1;
                if (p.count_type) {
                    if (body.size() - pos < p.count_type->size
                        || !read_list_count(body.data() + pos, *p.count_type, big_endian, n))
                        return false;
                    pos += p.count_type->size;
                }
                if (n > (body.size() - pos) / p.type->size)
                    return false;
                pos += static_cast<std::size_t>(n) * p.type->size;
            }
        }
    }
    return true;
}

const PlyElement* find_element(const PlyHeader& header, std::string_view name)
{
    for (const PlyElement& e : header.elements)
        if (e.name == name)
            return &e;
    return nullptr;
}

}  // namespace

bool is_text(std::string_view data)
{
    return std::none_of(data.begin(), data.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\t' && c != '\n' && c != '\r') || u == 0x7f;
    });
}

bool parse_float(std::string_view token, float& value)
{
    // Below the midpoint between the largest float and 2^128 a number rounds
    // to a finite float; "3.40282347e+38" is written for the largest one.
    constexpr double kRoundsToInfinity = 0x1.ffffffp+127;
    constexpr double kMax = std::numeric_limits<float>::max();
    double real = 0.0;
    if (!parse_finite(token, real) || std::fabs(real) >= kRoundsToInfinity)
        return false;
    value = static_cast<float>(std::clamp(real, -kMax, kMax));
    return true;
}

bool TextLines::next(std::vector<std::string_view>& tokens)
{
    while (!_rest.empty()) {
        const std::size_t eol = _rest.find_first_of("\r\n");
        const std::string_view line = _rest.substr(0, eol);
        _rest = eol == std::string_view::npos ? std::string_view() : _rest.substr(eol + 1);
        split(line, tokens);
        if (!tokens.empty() && (_comment == '\0' || tokens.front().front() != _comment))
            return true;
    }
    tokens.clear();
    return false;
}

bool check_obj(std::string_view text)
{
    TextLines lines(text);
    std::vector<std::string_view> tokens;
    while (lines.next(tokens)) {
        // A statement may end in a comment.
        const auto comment = std::find_if(tokens.begin(), tokens.end(),
                                          [](std::string_view t) { return t.front() == '#'; });
        const auto args = std::span<const std::string_view>(tokens.begin() + 1, comment);
        // tinyobjloader would read a missing or unreadable coordinate as 0.
        if (tokens.front() == "v" && (args.size() < 3 || !all_numbers(args)))
            return false;
        // It would drop a face of fewer corners and read "2x" as corner 2.
        if (tokens.front() == "f" && (args.size() < 3 || !std::all_of(args.begin(), args.end(), is_obj_corner)))
            return false;
    }
    return true;
}

std::optional<DeclaredCounts> check_off(std::string_view text)
{
    static constexpr std::array<std::string_view, 4> kKeywords{"OFF", "COFF", "NOFF", "CNOFF"};
    TextLines lines(text);
    std::vector<std::string_view> tokens;
    if (!lines.next(tokens))
        return std::nullopt;
    // The counts follow the keyword on its line or on the next one.
    std::span<const std::string_view> counts(tokens);
    if (std::find(kKeywords.begin(), kKeywords.end(), tokens.front()) != kKeywords.end()) {
        counts = counts.subspan(1);
        if (counts.empty()) {
            if (!lines.next(tokens))
                return std::nullopt;
            counts = tokens;
        }
    }
    DeclaredCounts declared;
    std::size_t edges = 0;
    if (counts.size() < 2 || counts.size() > 3 || !parse_whole(counts[0], declared.vertices)
        || !parse_whole(counts[1], declared.faces) || (counts.size() == 3 && !parse_whole(counts[2], edges)))
        return std::nullopt;

    // assimp allocates whatever the header declares: every declared line
    // must be there. Each row reads one more line, so the loops stop at the
    // end of the text whatever the declared counts. A vertex line assimp
    // cannot read makes it refuse the file.
    for (std::size_t i = 0; i < declared.vertices; ++i)
        if (!lines.next(tokens))
            return std::nullopt;
    // assimp clamps an index past the last vertex and reads a negative,
    // fractional, unreadable or missing one as some other vertex.
    for (std::size_t i = 0; i < declared.faces; ++i) {
        std::size_t corners = 0;
        if (!lines.next(tokens) || !parse_whole(tokens[0], corners) || tokens.size() - 1 < corners)
            return std::nullopt;
        const auto indices = std::span<const std::string_view>(tokens).subspan(1, corners);
        const bool indices_ok = std::all_of(indices.begin(), indices.end(), [&](std::string_view t) {
            std::size_t index = 0;
            return parse_whole(t, index) && index < declared.vertices;
        });
        if (!indices_ok)
            return std::nullopt;
    }
    return declared;
}

std::optional<DeclaredCounts> check_ply(std::string_view data)
{
    PlyHeader header;
    if (!parse_ply_header(data, header))
        return std::nullopt;
    const bool body_ok = header.format == PlyFormat::Ascii ? ascii_body_ok(header) : binary_body_ok(header);
    const PlyElement* vertex = find_element(header, "vertex");
    if (!body_ok || !vertex)
        return std::nullopt;
    const PlyElement* face = find_element(header, "face");
    return DeclaredCounts{vertex->count, face ? face->count : 0};
}

}  // namespace meshio
