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


def translate(form, source, output=None, memory=None, stdin=None):
    args = [PROGRAM, "--format", form] + (["--memory", memory] if memory else []) + [str(source)]
    args += [str(output)] if output else []
    return subprocess.run(args, input=stdin, capture_output=True)
