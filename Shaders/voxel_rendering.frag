#version 120
// Lit voxel faces, or the flat silhouette. Hidden cells get alpha 0, which the
// renderer's alpha test (alpha > 0.5) discards.

uniform int render_silhouette_enabled;
uniform int white_background;

varying vec3 eye_position;
varying vec3 cell_colour;
varying float cell_visible;

// Directional lights in eye space: key light from the upper right front, a
// weaker fill from the left, a faint one from below.
const vec3 KEY_LIGHT = vec3(0.35, 0.55, 0.75);
const vec3 FILL_LIGHT = vec3(-0.60, 0.25, 0.45);
const vec3 LOW_LIGHT = vec3(0.0, -0.70, 0.30);
const float AMBIENT = 0.30;

float diffuse(vec3 n, vec3 lightDirection, float weight)
{
    return weight * max(dot(n, normalize(lightDirection)), 0.0);
}

void main()
{
    float alpha = cell_visible > 0.5 ? 1.0 : 0.0;
    if (render_silhouette_enabled != 0) {
        gl_FragColor = vec4(white_background != 0 ? vec3(0.0) : vec3(1.0), alpha);
        return;
    }
    // The cube mesh averages normals at the corners; the face normal comes
    // from the screen-space derivatives of the position instead, so every
    // face is lit evenly and edges stay crisp.
    vec3 n = normalize(cross(dFdx(eye_position), dFdy(eye_position)));
    float light = AMBIENT + diffuse(n, KEY_LIGHT, 0.55) + diffuse(n, FILL_LIGHT, 0.25) + diffuse(n, LOW_LIGHT, 0.15);
    gl_FragColor = vec4(min(cell_colour * light, vec3(1.0)), alpha);
}
