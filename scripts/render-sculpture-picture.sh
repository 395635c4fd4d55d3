#!/usr/bin/env bash
# Renders docs/sculpture.png: the sculpture the README's `kalvex-cli sculpt`
# command makes from the animals pictures, held in a corner of two walls and a
# floor and lit by three parallel lights, one along each projection, so that
# each wall shows one picture as a shadow.
#
#   scripts/render-sculpture-picture.sh [BUILD_DIR]      (default: build)
#
# Needs a built kalvex-cli (`make run` or `make test` builds it), python3 and
# povray. Everything in between lives in a temporary folder; only
# docs/sculpture.png is written. Not part of `make test`.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
build="${1:-build}"
out="$root/docs/sculpture.png"

[ -x "$build/kalvex-cli" ] || { echo "No $build/kalvex-cli: run 'make run' or 'make test' first." >&2; exit 1; }
command -v povray >/dev/null || { echo "povray is not installed." >&2; exit 1; }
command -v python3 >/dev/null || { echo "python3 is not installed." >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# 1. The sculpture, exactly as the README's command makes it.
"$build/kalvex-cli" sculpt --out "$work/sculpture" \
  IncludedData/animals/bird.png IncludedData/animals/dog.png IncludedData/animals/puppy.png >"$work/sculpt.json"

# 2. The STL as a POV-Ray mesh2 and a scene around it.
#
# Frames: sculpt writes the volume turned half a turn about x, in millimetres,
# z up: STL = (x, -y, -z) of the volume, up to scale and offset. The pictures
# are cast along the volume's x, y and z axes, so in the STL frame the lights
# run along +x (picture 0), +y (picture 1) and -z (picture 2, on the floor);
# seen from the lit side, each shadow then reads as its picture does. POV-Ray
# is left-handed with y up, so an STL point (x, y, z) goes to <x, z, y>.
python3 - "$work/sculpture/sculpture.stl" "$work/scene.pov" <<'PY'
import math
import struct
import sys

stl_path, pov_path = sys.argv[1], sys.argv[2]

with open(stl_path, "rb") as f:
    data = f.read()
count = struct.unpack_from("<I", data, 80)[0]
if len(data) < 84 + 50 * count:
    sys.exit("render-sculpture-picture: truncated STL")

index = {}
points = []
faces = []
for t in range(count):
    values = struct.unpack_from("<12f", data, 84 + 50 * t)
    corners = []
    for c in range(3):
        x, y, z = values[3 + 3 * c: 6 + 3 * c]
        key = (x, z, y)  # STL (x, y, z) -> POV <x, z, y>
        if key not in index:
            index[key] = len(points)
            points.append(key)
        corners.append(index[key])
    if len(set(corners)) == 3:
        faces.append(corners)

# Area-weighted vertex normals, for smooth shading.
normals = [[0.0, 0.0, 0.0] for _ in points]
for a, b, c in faces:
    pa, pb, pc = points[a], points[b], points[c]
    u = [pb[i] - pa[i] for i in range(3)]
    v = [pc[i] - pa[i] for i in range(3)]
    n = [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]
    for k in (a, b, c):
        for i in range(3):
            normals[k][i] += n[i]
for n in normals:
    length = math.sqrt(sum(x * x for x in n)) or 1.0
    for i in range(3):
        n[i] /= length

low = [min(p[i] for p in points) for i in range(3)]
high = [max(p[i] for p in points) for i in range(3)]
centre = [(low[i] + high[i]) / 2 for i in range(3)]
size = max(high[i] - low[i] for i in range(3))


def vec(p):
    return "<%.4f,%.4f,%.4f>" % tuple(p)


gap = 0.75 * size  # from the sculpture's box to each wall
wall_x = high[0] + gap  # picture 0, light along +x
wall_z = high[2] + gap  # picture 1, light along +z (STL +y)
floor_y = low[1] - gap  # picture 2, light along -y (STL -z)
corner = [wall_x, floor_y, wall_z]
# The camera looks into the corner from the open side, from above, so that
# the floor's shadow shows beside the sculpture rather than under it.
look = [centre[i] + 0.35 * (corner[i] - centre[i]) for i in range(3)]
look[1] -= 0.4 * size
towards_camera = [-0.8, 1.4, -1.15]
length = math.sqrt(sum(x * x for x in towards_camera))
camera = [look[i] + 6.6 * size * towards_camera[i] / length for i in range(3)]

with open(pov_path, "w") as out:
    out.write("#version 3.7;\n")
    out.write("global_settings { assumed_gamma 1.0 ambient_light rgb 1 }\n")
    out.write("background { rgb 1 }\n")
    out.write("camera { perspective location %s look_at %s right x*4/3 angle 34 }\n" % (vec(camera), vec(look)))
    for direction in ([1, 0, 0], [0, 0, 1], [0, -1, 0]):
        source = [centre[i] - 10 * size * direction[i] for i in range(3)]
        out.write("light_source { %s rgb 0.95 parallel point_at %s }\n" % (vec(source), vec(centre)))
    wall = "pigment { rgb %s } finish { ambient 0.12 diffuse 0.88 }"
    out.write("plane { x, %.4f %s }\n" % (wall_x, wall % "<0.97,0.97,0.96>"))
    out.write("plane { z, %.4f %s }\n" % (wall_z, wall % "<0.97,0.97,0.96>"))
    out.write("plane { y, %.4f %s }\n" % (floor_y, wall % "<0.86,0.86,0.85>"))
    out.write("mesh2 {\n vertex_vectors { %d" % len(points))
    for p in points:
        out.write(",\n" + vec(p))
    out.write("\n }\n normal_vectors { %d" % len(normals))
    for n in normals:
        out.write(",\n" + vec(n))
    out.write("\n }\n face_indices { %d" % len(faces))
    for a, b, c in faces:
        out.write(",\n<%d,%d,%d>" % (a, b, c))
    out.write("\n }\n")
    out.write(" texture { pigment { rgb <0.86,0.42,0.16> }\n"
              "           finish { ambient 0.25 diffuse 0.55 specular 0.25 roughness 0.02 } }\n}\n")
PY

# 3. Render. POV-Ray may only write beside the scene, so it renders in the
# temporary folder; fixed anti-aliasing (no jitter) keeps runs identical.
(cd "$work" && povray +Iscene.pov +Osculpture.png +FN8 +W800 +H600 +A0.05 +AM2 +R3 -J -D -V \
  >povray.log 2>&1) || { cat "$work/povray.log" >&2; exit 1; }
# Without POV-Ray's render date and time chunks, a run on the same build
# writes the same bytes.
python3 - "$work/sculpture.png" "$out" <<'PY'
import struct
import sys

data = open(sys.argv[1], "rb").read()
kept = [data[:8]]
pos = 8
while pos < len(data):
    length, kind = struct.unpack(">I4s", data[pos:pos + 8])
    if kind not in (b"tIME", b"tEXt", b"zTXt", b"iTXt"):
        kept.append(data[pos:pos + 12 + length])
    pos += 12 + length
open(sys.argv[2], "wb").write(b"".join(kept))
PY
echo "Wrote $out ($(stat -c %s "$out") bytes)."
