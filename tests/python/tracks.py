"""Track files made in Python, so that a test knows every stored value, and
runs of the translator on them."""

import os
import subprocess

import numpy as np

PROGRAM = os.environ["TRK_TO_ZRP"]

# DataType -> (element type, components)
DATA_TYPES = {
    "Unsigned4": (np.dtype("<u4"), 1),
    "Float4": (np.dtype("<f4"), 1),
    "Float8": (np.dtype("<f8"), 1),
    "Vector<3,Float4>": (np.dtype("<f4"), 3),
    "Vector<3,Float8>": (np.dtype("<f8"), 3),
}


def values(rng, data_type, count):
    dtype, components = DATA_TYPES[data_type]
    shape = (count, components) if components == 3 else (count,)
    if dtype.kind == "u":
        return rng.integers(0, 2**32, size=shape).astype(dtype)
    # Magnitudes from tiny to huge, so that every digit counts.
    return (rng.standard_normal(shape) * 10.0 ** rng.integers(-30, 30, size=shape)).astype(dtype)


class Chunk:
    """A steady chunk: its tag group, parcel indexes, position and written
    variables [(name, Type 0 or 2, DataType, values)], drawn at random unless
    given."""

    def __init__(self, rng, group, parcels, position, variables=(), position_values=None):
        self.group = group
        self.parcels = np.array(parcels, dtype="<u4")
        self.position_type = position
        n = len(parcels)
        self.position = position_values if position_values is not None else values(rng, position, n)
        self.variables = [(name, kind, t, values(rng, t, n)) for name, kind, t in variables]


def quoted(text):
    return "'" + text.replace("\\", "\\\\").replace("'", "\\'") + "'"


def descriptor(name, kind, data_type, tag=None):
    size = DATA_TYPES[data_type][0].itemsize * DATA_TYPES[data_type][1]
    keys = f"'DataSize': {size}, 'DataType': {quoted(data_type)}, 'Name': {quoted(name)}"
    if tag:
        keys += f", 'Tag': {quoted(tag)}"
    return "{" + keys + f", 'Type': {kind}" + "}"


def track_bytes(chunks):
    out = b""
    for number, chunk in enumerate(chunks, 1):
        variables = [descriptor("Parcel Index", 0, "Unsigned4", "ParcelId"), descriptor("Position", 3, chunk.position_type)]
        variables += [descriptor(name, kind, t) for name, kind, t, _ in chunk.variables]
        block = (f"{{'ClassName': 'TrackChunk', 'Id': {number}, 'Name': {quoted(chunk.group)}, "
                 f"'Size': {len(chunk.parcels)}, 'Steady': true, 'Variables': [{', '.join(variables)}]}}")
        out += block.encode() + b"\n" + chunk.parcels.tobytes() + chunk.position.tobytes()
        out += b"".join(v.tobytes() for _, _, _, v in chunk.variables)
    return out


def paths(chunks):
    """The paths in ZRP order: (group number from 1, tag, parcel, [(chunk, row)])."""
    groups, points = [], {}
    for c, chunk in enumerate(chunks):
        if chunk.group not in groups:
            groups.append(chunk.group)
        for row, parcel in enumerate(chunk.parcels):
            points.setdefault((chunk.group, int(parcel)), []).append((c, row))
    return [(number, tag, parcel, points[(tag, parcel)])
            for number, tag in enumerate(groups, 1)
            for parcel in sorted(p for (t, p) in points if t == tag)]


F4, F8, U4, V4, V8 = "Float4", "Float8", "Unsigned4", "Vector<3,Float4>", "Vector<3,Float8>"
TOP = 4294967295


def several_groups(rng):
    # Sparse indexes, paths of one point, a name XML must escape.
    variables = [("Temperature <\"&'>", 0, F8), ("Count", 0, U4), ("Velocity", 2, V4), ("Mass", 0, F4)]
    return [Chunk(rng, "inlet", [TOP, 0, 7, 0], V4, variables), Chunk(rng, "outlet", [0, 5], V4, variables),
            Chunk(rng, "inlet", [7, TOP, 3], V4, variables)]


def float8(rng):
    variables = [("Velocity", 2, V8), ("Mass", 0, F8)]
    return [Chunk(rng, "A", [1, 2, 1], V8, variables), Chunk(rng, "B", [2], V8, variables),
            Chunk(rng, "A", [2, 2], V8, variables)]


def types_that_differ_between_chunks(rng):
    return [Chunk(rng, "A", [0, 1], V4, [("T", 0, F4), ("N", 0, U4), ("U", 0, U4), ("V", 2, V4)]),
            Chunk(rng, "B", [0], V8, [("T", 0, F8), ("N", 0, F4), ("U", 0, U4), ("V", 2, V8)])]


def scalar_then_vector_position(rng):
    return [Chunk(rng, "only", [5, 6], F4, [("T", 0, F4)]), Chunk(rng, "only", [5], V4, [("T", 0, F4)])]


def unsigned_position_and_no_variable(rng):
    return [Chunk(rng, "only", [0, 1, 0], U4)]


# The tracks every VTK output is read back from.
VTK_CASES = [several_groups, float8, types_that_differ_between_chunks, scalar_then_vector_position,
             unsigned_position_and_no_variable]


def array_type(data_types, position=False):
    """Each array keeps its type unless the chunks disagree; then, as for an
    unsigned position, Float64 holds every value exactly."""
    kinds = {DATA_TYPES[t][0] for t in data_types}
    if kinds == {np.dtype("<f4")} or (kinds == {np.dtype("<u4")} and not position):
        return kinds.pop()
    return np.dtype("<f8")


def point_arrays(chunks):
    """The VTK outputs' point arrays in ZRP order: the positions, (n, 3) in
    a floating type, and each variable of the first chunk by name."""
    points = [point for path in paths(chunks) for point in path[3]]
    position_type = array_type([c.position_type for c in chunks], position=True)

    def xyz(chunk, row):
        value = chunk.position[row].astype(position_type)
        return value if chunk.position.ndim == 2 else [value, 0, 0]

    positions = np.array([xyz(chunks[c], row) for c, row in points], dtype=position_type).reshape(-1, 3)
    variables = {}
    for k, (name, _, _, _) in enumerate(chunks[0].variables):
        want_type = array_type([c.variables[k][2] for c in chunks])
        variables[name] = np.array([chunks[c].variables[k][3][row].astype(want_type) for c, row in points],
                                   dtype=want_type)
    return positions, variables


def assert_same_bits(got, want):
    assert got.dtype == want.dtype
    assert got.shape == want.shape
    assert got.tobytes() == want.tobytes()


def read_vtk(reader, path):
    """The dataset a VTK reader makes of the file, which it must read without
    an error or a warning."""
    complaints = []
    for event in ("ErrorEvent", "WarningEvent"):
        reader.AddObserver(event, lambda caller, name: complaints.append(name))
    reader.SetFileName(str(path))
    reader.Update()
    assert complaints == []
    return reader.GetOutput()


def translate(form, source, output=None, memory=None, stdin=None):
    args = [PROGRAM, "--format", form] + (["--memory", memory] if memory else []) + [str(source)]
    args += [str(output)] if output else []
    return subprocess.run(args, input=stdin, capture_output=True)
