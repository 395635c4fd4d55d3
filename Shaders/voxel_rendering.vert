#version 120
// Voxel cube mesh. The four ints of per-vertex cell data arrive as texture
// coordinate 0, converted to floats: x cell state (0 plain, 1 editable,
// 2 disconnected, 3 both), y corner number, z greedy-added flag, w z index.
//
// Slicing keeps the cells with z_slice_min <= z <= z_slice_max, or the other
// cells when z_slice_invert is 1. Bounds of 0 and 0 (a view that was never
// sliced) mean no slicing: every cell is kept.

uniform int render_removable_enabled;
uniform int render_disconnected_enabled;
uniform float z_slice_min;
uniform float z_slice_max;
uniform int z_slice_invert;
uniform int white_background;

varying vec3 eye_position;
varying vec3 cell_colour;
varying float cell_visible;

// Base colours: the first of each pair on a white background, the second on
// a black one (lighter, so the darker shaded faces still stand out).
const vec3 PLAIN_ON_WHITE = vec3(0.58, 0.62, 0.70);
const vec3 PLAIN_ON_BLACK = vec3(0.78, 0.80, 0.86);
const vec3 EDITABLE_ON_WHITE = vec3(0.16, 0.66, 0.30);
const vec3 EDITABLE_ON_BLACK = vec3(0.30, 0.85, 0.42);
const vec3 DISCONNECTED_ON_WHITE = vec3(0.86, 0.20, 0.18);
const vec3 DISCONNECTED_ON_BLACK = vec3(1.00, 0.38, 0.32);
const vec3 BOTH_ON_WHITE = vec3(0.93, 0.55, 0.05);
const vec3 BOTH_ON_BLACK = vec3(1.00, 0.72, 0.20);
const vec3 GREEDY_ON_WHITE = vec3(0.25, 0.42, 0.92);
const vec3 GREEDY_ON_BLACK = vec3(0.45, 0.62, 1.00);

vec3 pick(bool white, vec3 onWhite, vec3 onBlack)
{
    return white ? onWhite : onBlack;
}

void main()
{
    vec4 cell = gl_MultiTexCoord0;
    float state = floor(cell.x + 0.5);
    bool editable = render_removable_enabled != 0 && (state == 1.0 || state == 3.0);
    bool disconnected = render_disconnected_enabled != 0 && state >= 2.0;
    bool greedy = cell.z > 0.5;
    bool white = white_background != 0;

    // The highlights the user asked for come before the greedy tint.
    if (editable && disconnected)
        cell_colour = pick(white, BOTH_ON_WHITE, BOTH_ON_BLACK);
    else if (disconnected)
        cell_colour = pick(white, DISCONNECTED_ON_WHITE, DISCONNECTED_ON_BLACK);
    else if (editable)
        cell_colour = pick(white, EDITABLE_ON_WHITE, EDITABLE_ON_BLACK);
    else if (greedy)
        cell_colour = pick(white, GREEDY_ON_WHITE, GREEDY_ON_BLACK);
    else
        cell_colour = pick(white, PLAIN_ON_WHITE, PLAIN_ON_BLACK);

    float z = floor(cell.w + 0.5);
    bool sliced = z_slice_min != 0.0 || z_slice_max != 0.0;
    bool inside = z >= z_slice_min && z <= z_slice_max;
    bool keep = !sliced || (z_slice_invert != 0 ? !inside : inside);
    cell_visible = keep ? 1.0 : 0.0;

    eye_position = (gl_ModelViewMatrix * gl_Vertex).xyz;
    gl_Position = ftransform();
}
